#include "StatusNotifierItem.h"

#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString watcherPath = u"/StatusNotifierWatcher"_s;
const QString watcherInterface = u"org.kde.StatusNotifierWatcher"_s;

StatusNotifierPixmaps iconPictures() {
    StatusNotifierPixmaps made;
    const QIcon icon(u":/icons/sayvane.svg"_s);
    for (const int size : {16, 22, 24, 32, 48}) {
        const QImage image =
            icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        StatusNotifierPixmap pixmap{image.width(), image.height(), {}};
        pixmap.bytes.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<uchar*>(pixmap.bytes.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian(line[x], out);
        }
        made.append(pixmap);
    }
    return made;
}

} // namespace

QString StatusNotifierItem::themePathFor(const QString& folder) {
    // Installed, the icon is found by its name in the hicolor theme.
    if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                u"icons/hicolor/scalable/apps/"_s + iconName() + u".svg"_s)
             .isEmpty())
        return {};
    // Not installed (run from the build tree): Ayatana's hosts draw only a named icon, looked up
    // in the item's theme path as well, so the icon goes there, at the top (where GTK finds
    // icons of no theme) and in a hicolor folder.
    const QImage image = QIcon(u":/icons/sayvane.svg"_s).pixmap(48, 48).toImage();
    const QString themed = folder + u"/hicolor/48x48/apps"_s;
    if (image.isNull() || !QDir().mkpath(themed))
        return {};
    const QString file = iconName() + u".png"_s;
    if (!image.save(folder + u'/' + file) || !image.save(themed + u'/' + file))
        return {};
    return folder;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierPixmap& pixmap) {
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierPixmap& pixmap) {
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& toolTip) {
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& toolTip) {
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

// The item's face on the bus: org.kde.StatusNotifierItem.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(StatusNotifierPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(StatusNotifierPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(StatusNotifierPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(StatusNotifierToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)

public:
    // On `face`, the object the item shows on the bus.
    StatusNotifierItemAdaptor(QObject* face, StatusNotifierItem* item)
        : QDBusAbstractAdaptor(face)
        , item(item) {
        connect(item, &StatusNotifierItem::newToolTip, this,
                &StatusNotifierItemAdaptor::NewToolTip);
    }

    QString category() const { return u"ApplicationStatus"_s; }
    QString id() const { return u"sayvane"_s; }
    QString title() const { return u"Sayvane"_s; }
    QString status() const { return u"Active"_s; }
    int windowId() const { return 0; }
    QString iconName() const { return StatusNotifierItem::iconName(); }
    StatusNotifierPixmaps iconPixmap() const { return item->iconPixmaps(); }
    QString iconThemePath() const { return item->iconThemePath(); }
    QString emptyText() const { return {}; }
    StatusNotifierPixmaps noPixmaps() const { return {}; }
    StatusNotifierToolTip toolTip() const { return item->toolTip(); }
    // A panel shows an exported menu itself on a click; without one it asks the item.
    bool itemIsMenu() const { return item->menuObjectPath() == QLatin1StringView(item->menuPath); }
    QDBusObjectPath menu() const { return QDBusObjectPath(item->menuObjectPath()); }
    uint orderingIndex() const { return 0; }

public Q_SLOTS:
    void Activate(int x, int y) { item->activate(x, y); }
    void SecondaryActivate(int x, int y) { item->secondaryActivate(x, y); }
    void ContextMenu(int x, int y) { item->contextMenu(x, y); }
    void Scroll(int delta, const QString& orientation) { item->scroll(delta, orientation); }
    // The Ayatana hosts' middle click, with the event's time instead of a position.
    void XAyatanaSecondaryActivate(uint timestamp) {
        Q_UNUSED(timestamp);
        item->secondaryActivate(0, 0);
    }

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

protected:
    StatusNotifierItem* item;
};

// The same with the Ayatana label that panels show as text beside the icon.
class LabelledItemAdaptor : public StatusNotifierItemAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    LabelledItemAdaptor(QObject* face, StatusNotifierItem* item)
        : StatusNotifierItemAdaptor(face, item) {
        connect(item, &StatusNotifierItem::newLabel, this, &LabelledItemAdaptor::XAyatanaNewLabel);
    }

    QString label() const { return item->label(); }
    QString labelGuide() const { return item->labelGuide(); }

Q_SIGNALS:
    void XAyatanaNewLabel(const QString& label, const QString& guide);
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection connection, Labelling labelling,
                                       QObject* parent)
    : QObject(parent)
    , bus(std::move(connection))
    , service(u"org.kde.StatusNotifierItem-%1-1"_s.arg(QCoreApplication::applicationPid()))
    , pixmaps(iconPictures())
    , themePath(themePathFor(SingleInstance::userFolder() + u"/sayvane-icons"_s)) {
    qDBusRegisterMetaType<StatusNotifierPixmap>();
    qDBusRegisterMetaType<StatusNotifierPixmaps>();
    qDBusRegisterMetaType<StatusNotifierToolTip>();
    if (!bus.isConnected())
        return;
    if (!showFace(labelling))
        return;
    if (!bus.registerService(service)) {
        bus.unregisterObject(QString::fromLatin1(objectPath));
        return;
    }
    exported = true;
    const QString watcherName = QString::fromLatin1(watcherService);
    watcher = std::make_unique<QDBusServiceWatcher>(watcherName, bus,
                                                    QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                watcherPresent = !newOwner.isEmpty();
                setRegistered(false);
                // A watcher that starts, or one that takes over from another.
                if (!newOwner.isEmpty())
                    registerWithWatcher();
            });
    bus.connect(watcherName, watcherPath, watcherInterface, u"StatusNotifierItemRegistered"_s, this,
                SLOT(watcherRegisteredItem(QString)));
    watcherPresent = bus.interface() && bus.interface()->isServiceRegistered(watcherName);
    if (watcherPresent)
        registerWithWatcher();
}

bool StatusNotifierItem::showFace(Labelling labelling) {
    // QtDBus exports the adaptors an object has when it is registered: a face of another kind
    // is a new object.
    if (face) {
        bus.unregisterObject(QString::fromLatin1(objectPath));
        delete face;
    }
    face = new QObject(this);
    if (labelling == Labelling::labelled)
        new LabelledItemAdaptor(face, this);
    else
        new StatusNotifierItemAdaptor(face, this);
    labelKind = labelling;
    return bus.registerObject(QString::fromLatin1(objectPath), face,
                              QDBusConnection::ExportAdaptors);
}

void StatusNotifierItem::setLabelling(Labelling labelling) {
    if (!exported || labelling == labelKind)
        return;
    // Hosts read an item's properties once, when it comes: the item leaves the bus and comes
    // again with its new face, so that the host makes it anew.
    bus.unregisterService(service);
    if (!showFace(labelling) || !bus.registerService(service)) {
        exported = false;
        bus.unregisterObject(QString::fromLatin1(objectPath));
    }
    retries = 0;
    setRegistered(false);
    if (exported && watcherPresent)
        registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (exported) {
        bus.unregisterService(service);
        bus.unregisterObject(QString::fromLatin1(objectPath));
    }
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(watcherService), watcherPath,
                                       watcherInterface, u"RegisterStatusNotifierItem"_s);
    call << service;
    ++registrationsPending;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                --registrationsPending;
                if (!finished->isError()) {
                    retries = 0;
                    setRegistered(true);
                    return;
                }
                // A watcher that is still starting (GNOME Shell's extension as the shell comes
                // up) may refuse an item it has found on the bus by itself: its list says.
                askWatcherList();
            });
    // GNOME's extension lists the item at once but answers only once the shell has finished
    // starting, which may take longer than the call may: the list says meanwhile.
    QTimer::singleShot(1000, this, [this] {
        if (watcherPresent && !registered)
            askWatcherList();
    });
}

void StatusNotifierItem::askWatcherList() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(watcherService), watcherPath,
                                       u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    call << watcherInterface << u"RegisteredStatusNotifierItems"_s;
    // Not waited for: the watcher may live in a shell too busy to answer soon (GNOME Shell while
    // it starts), and the label and the strip go on meanwhile.
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                const QStringList items =
                    reply.isValid() ? reply.value().variant().toStringList() : QStringList();
                if (registered)
                    return;
                setRegistered(
                    std::any_of(items.cbegin(), items.cend(), [this](const QString& name) {
                        return name == service || name.startsWith(service + u'/');
                    }));
                // Asked again while a registration is still unanswered, else registered again.
                if (!registered && watcherPresent && ++retries <= 5)
                    QTimer::singleShot(1000, this, [this] {
                        if (!watcherPresent || registered)
                            return;
                        if (registrationsPending > 0)
                            askWatcherList();
                        else
                            registerWithWatcher();
                    });
            });
}

void StatusNotifierItem::watcherRegisteredItem(const QString& name) {
    if (!registered && (name == service || name.startsWith(service + u'/')))
        setRegistered(true);
}

void StatusNotifierItem::setRegistered(bool value) {
    registered = value;
    Q_EMIT registeredChanged(registered);
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide) {
    if (label == labelText && guide == guideText)
        return;
    labelText = label;
    guideText = guide;
    Q_EMIT newLabel(labelText, guideText);
}

void StatusNotifierItem::setToolTipText(const QString& text) {
    if (text == toolTipBody)
        return;
    toolTipBody = text;
    Q_EMIT newToolTip();
}

StatusNotifierToolTip StatusNotifierItem::toolTip() const {
    return {iconName(), {}, u"Sayvane"_s, toolTipBody};
}

QString StatusNotifierItem::iconName() {
    // The name the package installs the icon under in the hicolor theme, as the desktop entry's
    // Icon key has it. Where it is not installed, panels draw IconPixmap instead.
    return u"sayvane"_s;
}

QString StatusNotifierItem::menuObjectPath() const {
    const QString path = QString::fromLatin1(menuPath);
    return bus.isConnected() && bus.objectRegisteredAt(path) ? path : u"/NO_DBUSMENU"_s;
}

void StatusNotifierItem::scroll(int delta, const QString& orientation) {
    Q_UNUSED(orientation);
    // Either wheel, one step a call however far it turned. GTK panels (Ayatana's indicators,
    // waybar) send a positive delta for down or right, which goes on to the next quote.
    if (delta != 0)
        Q_EMIT scrolled(delta > 0 ? 1 : -1);
}

#include "StatusNotifierItem.moc"
