// One installation: reads Setup.cfg from the working folder, asks for confirmation, acts
// on each directive in file order and ends with one summary box. Every outcome reaches the
// user through message boxes only; the result is the process exit code, always 0.
#pragma once

#include <string>

#include "Platform/Host.h"

namespace Ferrowind {

int RunInstallation(THost& host, const std::string& configPath = "Setup.cfg");

}  // namespace Ferrowind
