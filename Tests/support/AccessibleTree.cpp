#include "AccessibleTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString accessible = u"org.a11y.atspi.Accessible"_s;
const QString properties = u"org.freedesktop.DBus.Properties"_s;

// The state names in the order of AT-SPI's state numbers (AtspiStateType), up to "visible".
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

QVariant AccessibleTree::call(const Node& node, const QString& interface, const QString& method,
                              const QVariantList& arguments) const {
    QDBusMessage message =
        QDBusMessage::createMethodCall(node.service, node.path, interface, method);
    message.setArguments(arguments);
    const QVariant first = bus.call(message, QDBus::Block, 5000).arguments().value(0);
    // A property comes wrapped in a variant.
    return first.canConvert<QDBusVariant>() ? first.value<QDBusVariant>().variant() : first;
}

QList<AccessibleTree::Node> AccessibleTree::children(const Node& node) const {
    QList<Node> found;
    const auto array = call(node, accessible, u"GetChildren"_s).value<QDBusArgument>();
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

AccessibleTree::Node AccessibleTree::application(const QString& applicationName) const {
    const Node desktop{u"org.a11y.atspi.Registry"_s, u"/org/a11y/atspi/accessible/root"_s};
    Node found;
    (void)QTest::qWaitFor(
        [&] {
            for (const Node& candidate : children(desktop)) {
                if (name(candidate) == applicationName)
                    found = candidate;
            }
            return !found.isNull();
        },
        15000);
    return found;
}

QString AccessibleTree::name(const Node& node) const {
    return call(node, properties, u"Get"_s, {accessible, u"Name"_s}).toString();
}

QString AccessibleTree::description(const Node& node) const {
    return call(node, properties, u"Get"_s, {accessible, u"Description"_s}).toString();
}

QString AccessibleTree::role(const Node& node) const {
    return call(node, accessible, u"GetRoleName"_s).toString();
}

QStringList AccessibleTree::states(const Node& node) const {
    QList<uint> words;
    call(node, accessible, u"GetState"_s).value<QDBusArgument>() >> words;
    QStringList set;
    for (int bit = 0; bit < stateNames.size() && bit / 32 < words.size(); ++bit) {
        if (words[bit / 32] & (1u << (bit % 32)))
            set.append(stateNames[bit]);
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
                                          const QString& wantedName) const {
    return find(from, wantedRole, [&](const QString& name) { return name == wantedName; });
}

bool AccessibleTree::doAction(const Node& node, const QString& action) const {
    const QString actions = u"org.a11y.atspi.Action"_s;
    const auto array = call(node, actions, u"GetActions"_s).value<QDBusArgument>();
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
    return index >= 0 && call(node, actions, u"DoAction"_s, {index}).toBool();
}

bool AccessibleTree::setValue(const Node& node, double value) const {
    QDBusMessage message =
        QDBusMessage::createMethodCall(node.service, node.path, properties, u"Set"_s);
    message.setArguments(
        {u"org.a11y.atspi.Value"_s, u"CurrentValue"_s, QVariant::fromValue(QDBusVariant(value))});
    return bus.call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

QRect AccessibleTree::extents(const Node& node) const {
    int x = 0, y = 0, width = 0, height = 0;
    const auto box = call(node, u"org.a11y.atspi.Component"_s, u"GetExtents"_s, {uint(0)})
                         .value<QDBusArgument>();
    box.beginStructure();
    box >> x >> y >> width >> height;
    box.endStructure();
    return {x, y, width, height};
}
