#include "TickerStatus.h"

using namespace Qt::StringLiterals;

namespace TickerStatus {

QString sentenceKey(const TickerPlaces& places) {
    const bool inPanel = places.labelInPanel || places.widgetInPanel;
    if (places.stripShown) {
        if (inPanel)
            return u"TickerInStripAndPanel"_s;
        return places.stripSetting == u"auto"_s ? u"TickerInStripNoPanel"_s : u"TickerInStrip"_s;
    }
    if (places.stripSetting == u"off"_s)
        return inPanel ? u"TickerOffInPanel"_s : u"TickerOffNowhere"_s;
    if (places.widgetInPanel)
        return u"TickerInWidget"_s;
    if (places.labelInPanel)
        return u"TickerInLabel"_s;
    return places.tilingWindowManager ? u"TickerTiling"_s : u"TickerOffNowhere"_s;
}

} // namespace TickerStatus
