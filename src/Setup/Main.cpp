// The installer's entry point: no arguments are read; the exit code is always 0.
#include "Platform/Host.h"
#include "Setup/InstallRun.h"

int main() { return Ferrowind::RunInstallation(Ferrowind::SystemHost()); }
