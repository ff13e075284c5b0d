// The installer's entry point: no arguments are read; the exit code is always 0.
#include "Setup/InstallRun.h"
#include "Platform/Host.h"

int main() { return Ferrowind::RunInstallation(Ferrowind::SystemHost()); }
