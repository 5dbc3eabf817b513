#pragma once

#include "StripPlacement.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// What Qt offers no API for on X11. Each does nothing (or finds nothing) on other platforms.

// The dock window type, presence on every workspace, out of the task bar and the pager, and the
// WM_CLASS of a window. Call before the window is shown.
void makeX11DockWindow(QWidget* window, const char* instanceName, const char* className);

// Makes sure that the window manager never gives the window the input focus: the input hint is
// false and WM_TAKE_FOCUS is not among its protocols (Qt offers it for every window). Call
// after the window is shown too, since Qt writes its hints again when it maps a window.
void refuseX11Focus(QWidget* window);

// Reserves the band of the root window that the strut describes (_NET_WM_STRUT_PARTIAL, and
// _NET_WM_STRUT for window managers that know only that).
void setX11Strut(QWidget* window, const Strut& strut);

// The reservations of every other window on the display: top-level windows and the client
// windows inside window-manager frames. The windows that hold them go to `holders` when given.
QList<Strut> otherX11Struts(const QWidget* except, QList<quint32>* holders = nullptr);

// The work area the window manager publishes for the current desktop (_NET_WORKAREA), in root
// pixels; empty when it publishes none, and off X11.
QRect x11WorkArea();

// The name the window manager gives itself (_NET_WM_NAME of its _NET_SUPPORTING_WM_CHECK
// window); empty without one, and off X11.
QString x11WindowManagerName();

// The size of the root window in pixels; empty off X11.
QSize x11RootSize();

// Whether a compositing manager runs on the default screen.
bool x11CompositingManagerRunning();
