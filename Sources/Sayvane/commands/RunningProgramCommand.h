#pragma once

#include "SingleInstance.h"

// `sayvane --edit`, `sayvane --preferences` and `sayvane --reload`: asks the running program, or
// starts one.
namespace RunningProgramCommand {

int run(SingleInstance::Request request);

} // namespace RunningProgramCommand
