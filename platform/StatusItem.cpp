#include "StatusItem.h"

#include "X11Window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

StatusBarButton::StatusBarButton(QWidget* parent)
    : QWidget(parent) {
    // Whatever the button hosts is pinned to cover it exactly.
    auto* layout = new QStackedLayout(this);
    layout->setStackingMode(QStackedLayout::StackAll);
    layout->setContentsMargins(0, 0, 0, 0);
}

void StatusBarButton::setTitle(const QString& title) {
    titleText = title;
    update();
}

void StatusBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!titleText.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(4, 0, -4, 0),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, titleText);
    }
}

void StatusBarButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        event->accept();
        Q_EMIT pressed();
        return;
    }
    QWidget::mousePressEvent(event);
}

StatusItem::StatusItem(int length, QObject* parent)
    : QObject(parent)
    , itemLength(length)
    , stripWindow(std::make_unique<QWidget>(
          nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)) {
    stripWindow->setWindowTitle(u"Sayvane"_s);
    stripWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    stripWindow->setFixedSize(itemLength, barHeight);
    auto* layout = new QStackedLayout(stripWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);
    statusButton = new StatusBarButton;
    layout->addWidget(statusButton);
    connect(statusButton, &StatusBarButton::pressed, this, &StatusItem::popUpMenu);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        trayIcon = new QSystemTrayIcon(QIcon(u":/icons/sayvane.svg"_s), this);
        trayIcon->setToolTip(u"Sayvane"_s);
        connect(trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger && statusMenu)
                        statusMenu->popup(QCursor::pos());
                });
        trayIcon->show();
    }

    makeX11DockWindow(stripWindow.get(), "sayvane", "Sayvane");
    followPrimaryScreen(QGuiApplication::primaryScreen());
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
            &StatusItem::followPrimaryScreen);
    stripWindow->show();
}

StatusItem::~StatusItem() {
    delete statusMenu;
}

void StatusItem::setMenu(QMenu* menu) {
    if (statusMenu == menu)
        return;
    if (statusMenu) {
        // The old menu may be the one whose action is running right now.
        statusMenu->hide();
        statusMenu->deleteLater();
    }
    statusMenu = menu;
    if (trayIcon)
        trayIcon->setContextMenu(menu);
}

void StatusItem::popUpMenu() {
    if (!statusMenu)
        return;
    if (statusMenu->isVisible()) {
        statusMenu->hide();
        return;
    }
    statusMenu->popup(statusButton->mapToGlobal(QPoint(0, statusButton->height())));
}

void StatusItem::followPrimaryScreen(QScreen* screen) {
    disconnect(screenConnection);
    if (screen)
        screenConnection =
            connect(screen, &QScreen::availableGeometryChanged, this, &StatusItem::placeStrip);
    placeStrip();
}

void StatusItem::placeStrip() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    stripWindow->move(available.right() + 1 - itemLength, available.top());
}
