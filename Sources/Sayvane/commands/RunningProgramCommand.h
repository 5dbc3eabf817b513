#pragma once

#include "SingleInstance.h"

// `sayvane --edit`, `sayvane --preferences` and `sayvane --reload`: asks the running program, or
// starts one. `sayvane --toggle-pause`: asks the running program; fails when none runs.
namespace RunningProgramCommand {

int run(SingleInstance::Request request);

} // namespace RunningProgramCommand
