#include "StatusItem.h"

#include "AccessibleWindows.h"
#include "X11Window.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// The button as assistive technologies see it: a push button whose press drops the menu down,
// rather than a plain unnamed filler.
class StatusBarButtonAccessible : public QAccessibleWidget {
public:
    explicit StatusBarButtonAccessible(StatusBarButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction())
            static_cast<StatusBarButton*>(widget())->press();
    }
};

QAccessibleInterface* accessibleStatusBarButton(const QString& className, QObject* object) {
    if (className == u"StatusBarButton"_s && object && object->isWidgetType())
        return new StatusBarButtonAccessible(static_cast<StatusBarButton*>(object));
    return nullptr;
}

} // namespace

StatusBarButton::StatusBarButton(QWidget* parent)
    : QWidget(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(accessibleStatusBarButton);
        return true;
    }();
    Q_UNUSED(accessible);
    setAccessibleName(u"Sayvane"_s);
    // Whatever the button hosts is pinned to cover it exactly.
    auto* layout = new QStackedLayout(this);
    layout->setStackingMode(QStackedLayout::StackAll);
    layout->setContentsMargins(0, 0, 0, 0);
}

void StatusBarButton::setTitle(const QString& title) {
    titleText = title;
    update();
}

QColor StatusBarButton::background() const {
    return backgroundColor.isValid() ? backgroundColor : palette().color(QPalette::Window);
}

void StatusBarButton::setBackground(const QColor& color) {
    if (color == backgroundColor)
        return;
    backgroundColor = color;
    update();
    Q_EMIT backgroundChanged(background());
}

void StatusBarButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !backgroundColor.isValid())
        Q_EMIT backgroundChanged(background());
}

void StatusBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Source: a transparent background clears what is under it instead of drawing nothing.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), background());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
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

StatusItem::StatusItem(int length, bool shown, QObject* parent)
    : QObject(parent)
    , itemLength(length)
    // No stays-on-top hint: the above state would keep the strip over a focused fullscreen
    // window on some window managers, while the dock type alone stacks it as panels are.
    , stripWindow(std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                         Qt::WindowDoesNotAcceptFocus |
                                                         Qt::NoDropShadowWindowHint)) {
    stripShown = shown;
    installAccessibleWindows();
    stripWindow->setWindowTitle(u"Sayvane"_s);
    stripWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    // Where a compositing manager runs, the desktop or the panel shows through the strip.
    translucent = x11CompositingManagerRunning();
    if (translucent)
        stripWindow->setAttribute(Qt::WA_TranslucentBackground);
    stripWindow->setFixedSize(itemLength, stripHeight);
    auto* layout = new QStackedLayout(stripWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);
    statusButton = new StatusBarButton;
    layout->addWidget(statusButton);
    connect(statusButton, &StatusBarButton::pressed, this, &StatusItem::popUpMenu);

    // Made whether or not a tray is there yet: at log-in the panel often starts later, and Qt
    // docks the icon as soon as a tray appears.
    tray = new QSystemTrayIcon(QIcon(u":/icons/sayvane.svg"_s), this);
    tray->setToolTip(u"Sayvane"_s);
    connect(tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && statusMenu)
                    statusMenu->popup(QCursor::pos());
            });
    // Shown once the event loop runs, so that an owner that has the desktop's panel show an
    // item of its own can keep the icon from ever appearing twice.
    QTimer::singleShot(0, this, [this] { tray->setVisible(trayWanted); });

    backgroundTimer.setSingleShot(true);
    backgroundTimer.setInterval(1000);
    connect(&backgroundTimer, &QTimer::timeout, this, &StatusItem::updateBackground);

    makeX11DockWindow(stripWindow.get(), "sayvane", "Sayvane");
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        schedulePlacement();
        Q_EMIT screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] {
        schedulePlacement();
        Q_EMIT screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &StatusItem::schedulePlacement);
    connect(&strutWatch, &StrutWatch::changed, this, &StatusItem::schedulePlacement);
    placeStrip();
    if (stripShown) {
        stripWindow->show();
        refuseX11Focus(stripWindow.get());
    }
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
    if (menu && menu->accessibleName().isEmpty())
        menu->setAccessibleName(u"Sayvane"_s);
    tray->setContextMenu(menu);
}

void StatusItem::setStripShown(bool shown) {
    if (shown == stripShown)
        return;
    stripShown = shown;
    placeStrip();
    if (shown) {
        stripWindow->show();
        refuseX11Focus(stripWindow.get());
    } else {
        if (statusMenu && statusMenu->isVisible())
            statusMenu->hide();
        stripWindow->hide();
    }
}

void StatusItem::setTrayIconShown(bool shown) {
    trayWanted = shown;
    tray->setVisible(shown);
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

void StatusItem::setSize(int length, int height) {
    if (length == itemLength && height == stripHeight)
        return;
    itemLength = length;
    stripHeight = height;
    stripWindow->setFixedSize(itemLength, stripHeight);
    placeStrip();
}

void StatusItem::setAlignment(Qt::Alignment alignment) {
    if (alignment == stripAlignment)
        return;
    stripAlignment = alignment;
    placeStrip();
}

void StatusItem::setPreferredScreen(const QString& name) {
    preferredScreenName = name;
    placeStrip();
}

void StatusItem::watchScreen(QScreen* screen) {
    // The work area changes when a panel comes, goes or changes its reserved space.
    connect(screen, &QScreen::availableGeometryChanged, this, &StatusItem::schedulePlacement);
    connect(screen, &QScreen::geometryChanged, this, &StatusItem::schedulePlacement);
}

void StatusItem::schedulePlacement() {
    // Screens and panels change in bursts; place once after the burst.
    if (placementScheduled)
        return;
    placementScheduled = true;
    QTimer::singleShot(0, this, [this] {
        placementScheduled = false;
        placeStrip();
    });
}

namespace {

// A screen's geometry in root pixels: Qt keeps a screen's origin and divides its size by the
// device pixel ratio.
QRect nativeGeometry(const QScreen* screen) {
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return QRect(logical.topLeft(),
                 QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
}

QPoint logicalPosition(const QScreen* screen, const QPoint& native) {
    const QPoint origin = screen->geometry().topLeft();
    const qreal ratio = screen->devicePixelRatio();
    return origin + QPoint(qRound((native.x() - origin.x()) / ratio),
                           qRound((native.y() - origin.y()) / ratio));
}

// The colour that covers most of a row of pixels: a panel's own colour, whatever it shows.
QColor commonColor(const QImage& row) {
    QHash<QRgb, int> counts;
    QRgb best = 0;
    int bestCount = 0;
    for (int x = 0; x < row.width(); ++x) {
        const QRgb pixel = row.pixel(x, 0);
        if (const int count = ++counts[pixel]; count > bestCount) {
            best = pixel;
            bestCount = count;
        }
    }
    return bestCount > 0 ? QColor::fromRgb(best) : QColor();
}

} // namespace

void StatusItem::placeStrip() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    QList<QRect> geometries;
    QStringList names;
    for (const QScreen* screen : screens) {
        geometries.append(nativeGeometry(screen));
        names.append(screen->name());
    }
    QList<quint32> holders;
    const QList<Strut> others = otherX11Struts(stripWindow.get(), &holders);
    strutWatch.watch(holders);
    QSize root = x11RootSize();
    if (root.isEmpty())
        root = QGuiApplication::primaryScreen()->virtualGeometry().size();
    const int index = StripPlacement::chooseScreen(geometries, names,
                                                   int(screens.indexOf(qGuiApp->primaryScreen())),
                                                   preferredScreenName, others);
    QScreen* screen = screens[index];
    const qreal ratio = screen->devicePixelRatio();
    // Bars that the compositor draws itself (GNOME Shell's top bar under XWayland) are no
    // windows with a strut: the work area is the only word on them.
    if (const QRect workArea = x11WorkArea(); !workArea.isEmpty())
        barsBottom = StripPlacement::barsBottom(workArea.top(), reservedStrut.top, barsBottom);
    const QRect strip = StripPlacement::stripRect(
        geometries[index], root, others,
        QSize(qRound(itemLength * ratio), qRound(stripHeight * ratio)), barsBottom, stripAlignment);

    const bool screenChanged = currentScreen != screen;
    currentScreen = screen;
    if (screenChanged && stripWindow->windowHandle())
        stripWindow->windowHandle()->setScreen(screen);
    stripWindow->move(logicalPosition(screen, strip.topLeft()));
    // A strip kept off the screen reserves nothing.
    const Strut strut = stripShown ? StripPlacement::strutOf(strip) : Strut();
    if (strut != reservedStrut || screenChanged) {
        reservedStrut = strut;
        setX11Strut(stripWindow.get(), strut);
    }
    updateBackground();
    // A panel that has just reserved its space may not have drawn itself yet: look again.
    backgroundTimer.start();
}

void StatusItem::updateBackground() {
    if (translucent) {
        statusButton->setBackground(Qt::transparent);
        return;
    }
    QColor color;
    const QPoint topLeft = stripWindow->pos();
    const QRect screenRect = currentScreen ? currentScreen->geometry() : QRect();
    // A panel above the strip: take its colour, from a row halfway down its height (its edge
    // rows are often a border line).
    if (currentScreen && topLeft.y() > screenRect.top()) {
        const int row = (screenRect.top() + topLeft.y()) / 2;
        const QPixmap grabbed = currentScreen->grabWindow(0, topLeft.x() - screenRect.left(),
                                                          row - screenRect.top(), itemLength, 1);
        if (!grabbed.isNull())
            color = commonColor(grabbed.toImage());
    }
    // Without a panel colour the button follows the palette, also when the theme changes.
    statusButton->setBackground(color);
}
