#include "AccessibleTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString accessibleInterface = u"org.a11y.atspi.Accessible"_s;
const QString propertiesInterface = u"org.freedesktop.DBus.Properties"_s;
const QString registry = u"org.a11y.atspi.Registry"_s;
const QString rootPath = u"/org/a11y/atspi/accessible/root"_s;

// The state names in the order of AT-SPI's state numbers (AtspiStateType).
const QStringList stateNames = {
    u"invalid"_s,   u"active"_s,      u"armed"_s,           u"busy"_s,
    u"checked"_s,   u"collapsed"_s,   u"defunct"_s,         u"editable"_s,
    u"enabled"_s,   u"expandable"_s,  u"expanded"_s,        u"focusable"_s,
    u"focused"_s,   u"has tooltip"_s, u"horizontal"_s,      u"iconified"_s,
    u"modal"_s,     u"multi line"_s,  u"multiselectable"_s, u"opaque"_s,
    u"pressed"_s,   u"resizable"_s,   u"selectable"_s,      u"selected"_s,
    u"sensitive"_s, u"showing"_s,     u"single line"_s,     u"stale"_s,
    u"transient"_s, u"vertical"_s,    u"visible"_s,
};

} // namespace

AccessibleTree::AccessibleTree(const QDBusConnection& sessionBus) {
    // The session bus starts the accessibility bus's launcher on the first call.
    const QDBusMessage answer =
        sessionBus.call(QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s,
                                                       u"org.a11y.Bus"_s, u"GetAddress"_s),
                        QDBus::Block, 15000);
    if (answer.type() != QDBusMessage::ReplyMessage) {
        problem = u"no accessibility bus: "_s + answer.errorMessage();
        return;
    }
    static int connections = 0;
    busName = u"accessibility-%1"_s.arg(++connections);
    bus = QDBusConnection::connectToBus(answer.arguments().value(0).toString(), busName);
    if (!bus.isConnected())
        problem = u"the accessibility bus did not answer: "_s + bus.lastError().message();
}

AccessibleTree::~AccessibleTree() {
    if (!busName.isEmpty())
        QDBusConnection::disconnectFromBus(busName);
}

QList<AccessibleTree::Node> AccessibleTree::children(const Node& node) const {
    const QDBusMessage answer =
        bus.call(QDBusMessage::createMethodCall(node.service, node.path, accessibleInterface,
                                                u"GetChildren"_s),
                 QDBus::Block, 5000);
    QList<Node> found;
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty())
        return found;
    const auto array = answer.arguments().at(0).value<QDBusArgument>();
    array.beginArray();
    while (!array.atEnd()) {
        Node child;
        QDBusObjectPath path;
        array.beginStructure();
        array >> child.service >> path;
        array.endStructure();
        child.path = path.path();
        found.append(child);
    }
    array.endArray();
    return found;
}

QList<AccessibleTree::Node> AccessibleTree::subtree(const Node& node) const {
    QList<Node> all{node};
    for (const Node& child : children(node))
        all += subtree(child);
    return all;
}

AccessibleTree::Node AccessibleTree::application(const QString& applicationName,
                                                 int milliseconds) const {
    Node found;
    (void)QTest::qWaitFor(
        [&] {
            for (const Node& candidate : children({registry, rootPath})) {
                if (name(candidate) == applicationName) {
                    found = candidate;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

QString AccessibleTree::call(const Node& node, const QString& interface,
                             const QString& method) const {
    const QDBusMessage answer =
        bus.call(QDBusMessage::createMethodCall(node.service, node.path, interface, method),
                 QDBus::Block, 5000);
    return answer.arguments().value(0).toString();
}

QString AccessibleTree::name(const Node& node) const {
    const QDBusMessage answer = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, propertiesInterface, u"Get"_s)
            << accessibleInterface << u"Name"_s,
        QDBus::Block, 5000);
    return answer.arguments().value(0).value<QDBusVariant>().variant().toString();
}

QString AccessibleTree::description(const Node& node) const {
    const QDBusMessage answer = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, propertiesInterface, u"Get"_s)
            << accessibleInterface << u"Description"_s,
        QDBus::Block, 5000);
    return answer.arguments().value(0).value<QDBusVariant>().variant().toString();
}

QString AccessibleTree::role(const Node& node) const {
    return call(node, accessibleInterface, u"GetRoleName"_s);
}

QStringList AccessibleTree::states(const Node& node) const {
    const QDBusMessage answer = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, accessibleInterface, u"GetState"_s),
        QDBus::Block, 5000);
    QList<uint> words;
    if (!answer.arguments().isEmpty())
        answer.arguments().at(0).value<QDBusArgument>() >> words;
    QStringList set;
    for (int bit = 0; bit < 64 && bit / 32 < words.size(); ++bit) {
        if (words[bit / 32] & (1u << (bit % 32)))
            set.append(stateNames.value(bit, QString::number(bit)));
    }
    return set;
}

AccessibleTree::Node AccessibleTree::find(const Node& from, const QString& wantedRole,
                                          const std::function<bool(const QString&)>& wantedName,
                                          int milliseconds) const {
    Node found;
    (void)QTest::qWaitFor(
        [&] {
            for (const Node& node : subtree(from)) {
                if (role(node) == wantedRole && wantedName(name(node))) {
                    found = node;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

AccessibleTree::Node AccessibleTree::find(const Node& from, const QString& wantedRole,
                                          const QString& wantedName, int milliseconds) const {
    return find(
        from, wantedRole, [&](const QString& name) { return name == wantedName; }, milliseconds);
}

bool AccessibleTree::doAction(const Node& node, const QString& action) const {
    const QString actionInterface = u"org.a11y.atspi.Action"_s;
    const QDBusMessage actions = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, actionInterface, u"GetActions"_s),
        QDBus::Block, 5000);
    if (actions.arguments().isEmpty())
        return false;
    const auto array = actions.arguments().at(0).value<QDBusArgument>();
    int index = -1;
    array.beginArray();
    for (int i = 0; !array.atEnd(); ++i) {
        QString actionName, description, keys;
        array.beginStructure();
        array >> actionName >> description >> keys;
        array.endStructure();
        if (index < 0 && actionName.compare(action, Qt::CaseInsensitive) == 0)
            index = i;
    }
    array.endArray();
    if (index < 0)
        return false;
    const QDBusMessage done = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, actionInterface, u"DoAction"_s)
            << index,
        QDBus::Block, 5000);
    return done.arguments().value(0).toBool();
}

bool AccessibleTree::setValue(const Node& node, double value) const {
    const QDBusMessage done = bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, propertiesInterface, u"Set"_s)
            << u"org.a11y.atspi.Value"_s << u"CurrentValue"_s
            << QVariant::fromValue(QDBusVariant(value)),
        QDBus::Block, 5000);
    return done.type() == QDBusMessage::ReplyMessage;
}

QRect AccessibleTree::extents(const Node& node) const {
    const QDBusMessage answer =
        bus.call(QDBusMessage::createMethodCall(node.service, node.path,
                                                u"org.a11y.atspi.Component"_s, u"GetExtents"_s)
                     << uint(0),
                 QDBus::Block, 5000);
    int x = 0, y = 0, width = 0, height = 0;
    if (answer.arguments().isEmpty())
        return {};
    const auto box = answer.arguments().at(0).value<QDBusArgument>();
    box.beginStructure();
    box >> x >> y >> width >> height;
    box.endStructure();
    return {x, y, width, height};
}
