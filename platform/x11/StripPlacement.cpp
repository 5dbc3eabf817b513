#include "StripPlacement.h"

#include <algorithm>

namespace {

bool overlaps(int firstStart, int firstEnd, int secondStart, int secondEnd) {
    return firstStart <= secondEnd && secondStart <= firstEnd;
}

// The lowest row that top bands reserve over the screen's columns, or the screen's top.
int freeTop(const QRect& screen, const QList<Strut>& others) {
    int top = screen.top();
    for (const Strut& strut : others) {
        // A band that ends above the screen (a panel on a screen stacked above it) reserves
        // nothing here.
        if (strut.top > screen.top() &&
            overlaps(strut.topStartX, strut.topEndX, screen.left(), screen.right()))
            top = std::max(top, std::min(strut.top, screen.bottom() + 1));
    }
    return top;
}

} // namespace

namespace StripPlacement {

QRect stripRect(const QRect& screen, const QSize& root, const QList<Strut>& others,
                const QSize& size, int barsBottom, Qt::Alignment alignment) {
    int top = freeTop(screen, others);
    // Bars that end above this screen or below its bottom say nothing about it.
    if (barsBottom > screen.top() && barsBottom <= screen.bottom())
        top = std::max(top, barsBottom);
    const int bottom = top + size.height() - 1;
    int left = screen.left();
    int right = screen.right();
    for (const Strut& strut : others) {
        const int firstReserved = root.width() - strut.right;
        if (strut.right > 0 && firstReserved > screen.left() && firstReserved <= right &&
            overlaps(strut.rightStartY, strut.rightEndY, top, bottom))
            right = firstReserved - 1;
        // A left band reaches from the root's left edge to its depth.
        if (strut.left > left && strut.left <= screen.right() &&
            overlaps(strut.leftStartY, strut.leftEndY, top, bottom))
            left = strut.left;
    }
    int x = right + 1 - size.width();
    if (alignment & Qt::AlignLeft)
        x = left;
    else if (alignment & Qt::AlignHCenter)
        x = left + (right + 1 - left - size.width()) / 2;
    return QRect(QPoint(x, top), size);
}

int barsBottom(int workAreaTop, int ownReservation, int previous) {
    if (ownReservation > 0 && workAreaTop == ownReservation)
        return previous;
    // Above the strip's reservation: a window manager that does not count it, so the work
    // area's top is the bars' own. Below it: a bar deeper than the strip.
    return std::max(workAreaTop, 0);
}

Strut strutOf(const QRect& strip) {
    Strut strut;
    strut.top = strip.bottom() + 1;
    strut.topStartX = strip.left();
    strut.topEndX = strip.right();
    return strut;
}

int chooseScreen(const QList<QRect>& screens, const QStringList& names, int primary,
                 const QString& preferred, const QList<Strut>& others) {
    if (screens.isEmpty())
        return -1;
    if (!preferred.isEmpty()) {
        if (const qsizetype index = names.indexOf(preferred); index >= 0 && index < screens.size())
            return int(index);
    }
    for (qsizetype index = 0; index < screens.size(); ++index) {
        if (freeTop(screens[index], others) > screens[index].top())
            return int(index);
    }
    return primary >= 0 && primary < screens.size() ? primary : 0;
}

} // namespace StripPlacement
