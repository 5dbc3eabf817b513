#pragma once

class QWidget;

// What Qt offers no API for on X11: the dock window type, presence on every workspace and the
// WM_CLASS of a window. Does nothing on other platforms. Call before the window is shown.
void makeX11DockWindow(QWidget* window, const char* instanceName, const char* className);
