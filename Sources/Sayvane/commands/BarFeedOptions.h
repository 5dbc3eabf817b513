#pragma once

#include "BarLines.h"
#include "Files.h"

#include <QString>

// How a bar's feed runs: its format, its window's width in columns and the time between steps.
struct BarFeedOptions {
    BarFormat format = BarFormat::plain;
    int columns = 30;
    int intervalMilliseconds = 200;
    QString homeFolder = Files::homeFolder();
};
