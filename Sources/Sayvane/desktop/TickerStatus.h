#pragma once

#include <QString>

// Where the ticker shows now: the strip, a panel's label, the program's panel widget.
struct TickerPlaces {
    // The "Strip" setting: "auto", "on" or "off".
    QString stripSetting = QStringLiteral("auto");
    bool stripShown = true;
    // A panel shows the label beside the program's item.
    bool labelInPanel = false;
    // The program's own widget in a panel shows the ticker.
    bool widgetInPanel = false;
    // The window manager tiles windows, and would make the strip a tile or a bar.
    bool tilingWindowManager = false;
    // The menu can be reached without the strip: the program's item in a panel, or its icon in
    // a tray.
    bool menuElsewhere = false;
};

namespace TickerStatus {

// The string key of the sentence that says which ticker shows and why, such as "TickerInLabel"
// ("The panel shows the label, so the strip stays hidden.").
QString sentenceKey(const TickerPlaces& places);

} // namespace TickerStatus
