#pragma once

#include "BarFeedOptions.h"

// `sayvane --bar [FORMAT]`: the ticker on standard output for a status bar, until the bar goes.
namespace BarCommand {

int run(const BarFeedOptions& options);

} // namespace BarCommand
