#include "PanelMenuPosition.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

QPoint PanelMenuPosition::at(QPoint pointer, const QRect& workArea) {
    if (!workArea.isValid())
        return pointer;
    if (pointer.y() < workArea.top())
        pointer.setY(workArea.top());
    else if (pointer.y() > workArea.bottom())
        pointer.setY(workArea.bottom() + 1);
    return pointer;
}

QPoint PanelMenuPosition::now() {
    const QPoint pointer = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return at(pointer, screen ? screen->availableGeometry() : QRect());
}
