#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <Qt>

// The space a window reserves at the edges of the root window (the twelve values of
// _NET_WM_STRUT_PARTIAL), in root pixels: the depth of each reserved band from its edge of the
// root window, and the span of each band along that edge (first and last pixel).
struct Strut {
    int left = 0, right = 0, top = 0, bottom = 0;
    int leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    int topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;

    bool operator==(const Strut&) const = default;
};

// Where the strip goes: the top right corner of a screen's area that other windows (panels)
// leave free. The strip's own reservation never counts, so placing it again gives the same
// place instead of chasing itself down the screen. Everything in root pixels.
namespace StripPlacement {

// The rectangle of the strip, `size` big, on the screen, below any top panel and no higher than
// `barsBottom` (the first row below bars that are not windows with a strut; 0 for none), in the
// span that side panels (the struts of the other windows) leave free: at its right end
// (Qt::AlignRight), in its middle (Qt::AlignHCenter) or at its left end (Qt::AlignLeft).
QRect stripRect(const QRect& screen, const QSize& root, const QList<Strut>& others,
                const QSize& size, int barsBottom = 0, Qt::Alignment alignment = Qt::AlignRight);

// The first row below every bar of the top edge as the work area the window manager publishes
// tells it, leaving out the strip's own reservation: compositors (GNOME Shell under XWayland)
// draw their top bar themselves and count it only there. `workAreaTop` is the work area's top
// row, `ownReservation` the depth of the strip's top reservation in force now (0 for none), and
// `previous` what this gave last time. A work area that ends exactly at the strip's own
// reservation cannot tell how deep the bars are: the previous answer stands, so that the strip
// never chases its own reservation down the screen, and never goes under a bar.
int barsBottom(int workAreaTop, int ownReservation, int previous);

// The reservation of the strip: a band along the top edge of the root window, down to the
// strip's bottom, over exactly the strip's own columns.
Strut strutOf(const QRect& strip);

// Which screen the strip goes on: the one named `preferred` when it is there; else the first
// screen that a top panel reserves space on; else the primary screen (index `primary`).
// Returns -1 only when there is no screen at all.
int chooseScreen(const QList<QRect>& screens, const QStringList& names, int primary,
                 const QString& preferred, const QList<Strut>& others);

} // namespace StripPlacement
