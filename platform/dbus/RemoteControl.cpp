#include "RemoteControl.h"

#include "MainQueue.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString propertiesInterface = u"org.freedesktop.DBus.Properties"_s;
const QString invalidArgs = u"org.freedesktop.DBus.Error.InvalidArgs"_s;

// QtDBus adds the standard interfaces (properties, introspection, peer) to this.
const QString interfaceXml = uR"(  <interface name="io.github.sayvane.Sayvane">
    <method name="EditQuotes"/>
    <method name="Reload"/>
    <method name="Quit"/>
    <method name="Pause"/>
    <method name="Resume"/>
    <method name="TogglePause"/>
    <method name="AddQuote">
      <arg name="quote" type="s" direction="in"/>
      <arg name="added" type="u" direction="out"/>
    </method>
    <method name="AddQuotes">
      <arg name="quotes" type="as" direction="in"/>
      <arg name="added" type="u" direction="out"/>
    </method>
    <method name="WatchDisplay">
      <arg name="revision" type="u" direction="in"/>
      <arg name="display" type="s" direction="out"/>
    </method>
    <signal name="QuotesChanged"/>
    <signal name="DisplayChanged"/>
    <property name="CurrentQuote" type="s" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
    <property name="DisplayText" type="s" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
    <property name="Language" type="s" access="readwrite"/>
    <property name="Paused" type="b" access="read"/>
)"_s;

void printProblem(const QString& line) {
    std::fprintf(stderr, "sayvane: %s\n", line.toLocal8Bit().constData());
}

QString errorName(RemoteControl::Refusal::Kind kind) {
    switch (kind) {
    case RemoteControl::Refusal::Kind::badInput:
        return invalidArgs;
    case RemoteControl::Refusal::Kind::notLoaded:
        return RemoteControl::notLoadedError;
    case RemoteControl::Refusal::Kind::failed:
        break;
    }
    return RemoteControl::failedError;
}

} // namespace

std::unique_ptr<RemoteControl> RemoteControl::publish(QDBusConnection connection, Actions actions) {
    if (!connection.isConnected())
        return nullptr;
    std::unique_ptr<RemoteControl> control(new RemoteControl(connection, std::move(actions)));
    // The object first, so that it answers as soon as the name shows.
    if (!connection.registerVirtualObject(objectPath, control.get(), QDBusConnection::SingleNode)) {
        printProblem(u"could not export the D-Bus object %1 (something else is there); going "
                     u"on without the D-Bus interface"_s.arg(objectPath));
        return nullptr;
    }
    if (!connection.registerService(serviceName)) {
        connection.unregisterObject(objectPath);
        QString owner;
        if (QDBusConnectionInterface* bus = connection.interface()) {
            if (const auto pid = bus->servicePid(serviceName); pid.isValid() && pid.value() > 0)
                owner = u" (process %1)"_s.arg(pid.value());
        }
        printProblem(u"the D-Bus name %1 belongs to another program%2; going on without the "
                     u"D-Bus interface"_s.arg(serviceName, owner));
        return nullptr;
    }
    control->announced = control->current();
    return control;
}

RemoteControl::RemoteControl(QDBusConnection connection, Actions actions)
    : connection(connection)
    , actions(std::move(actions))
    , feed(connection) {
    QObject::connect(&feed, &DisplayFeed::changed, this, [this] {
        this->connection.send(
            QDBusMessage::createSignal(objectPath, interfaceName, u"DisplayChanged"_s));
    });
}

RemoteControl::~RemoteControl() {
    if (connection.isConnected()) {
        connection.unregisterService(serviceName);
        connection.unregisterObject(objectPath);
    }
}

RemoteControl::Announced RemoteControl::current() const {
    Announced now{actions.language ? actions.language() : QString(),
                  actions.isPaused && actions.isPaused(),
                  {}};
    for (const Setting& setting : actions.settings)
        now.settings.insert(setting.name,
                            actions.setting ? actions.setting(setting.name) : QVariant());
    return now;
}

const RemoteControl::Setting* RemoteControl::findSetting(const QString& name) const {
    for (const Setting& setting : actions.settings) {
        if (setting.name == name)
            return &setting;
    }
    return nullptr;
}

std::optional<QVariant> RemoteControl::property(const QString& name) const {
    if (name == u"CurrentQuote")
        return QVariant(actions.currentQuote ? actions.currentQuote() : QString());
    if (name == u"DisplayText")
        return QVariant(feed.displayText());
    if (name == u"Language")
        return QVariant(current().language);
    if (name == u"Paused")
        return QVariant(current().paused);
    if (findSetting(name))
        return actions.setting ? actions.setting(name) : QVariant();
    return std::nullopt;
}

void RemoteControl::announceQuotesChanged() {
    connection.send(QDBusMessage::createSignal(objectPath, interfaceName, u"QuotesChanged"_s));
}

void RemoteControl::announcePropertyChanges() {
    const Announced now = current();
    QVariantMap changed;
    if (now.language != announced.language)
        changed.insert(u"Language"_s, now.language);
    if (now.paused != announced.paused)
        changed.insert(u"Paused"_s, now.paused);
    for (auto setting = now.settings.cbegin(); setting != now.settings.cend(); ++setting) {
        if (announced.settings.value(setting.key()) != setting.value())
            changed.insert(setting.key(), setting.value());
    }
    announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, propertiesInterface, u"PropertiesChanged"_s);
    signal << interfaceName << changed << QStringList();
    connection.send(signal);
}

QString RemoteControl::introspect(const QString& path) const {
    if (path != objectPath)
        return {};
    QString xml = interfaceXml;
    for (const Setting& setting : actions.settings)
        xml += u"    <property name=\"%1\" type=\"%2\" access=\"readwrite\"/>\n"_s.arg(
            setting.name, setting.type);
    return xml + u"  </interface>\n"_s;
}

bool RemoteControl::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage || message.path() != objectPath)
        return false;
    const QString interface = message.interface();
    if (interface == propertiesInterface) {
        handlePropertyCall(message);
        return true;
    }
    if (interface.isEmpty() || interface == interfaceName) {
        // Introspection and the peer interface are QtDBus's and the bus library's to answer.
        if (interface.isEmpty() &&
            (message.member() == u"Introspect" || message.member() == u"Ping" ||
             message.member() == u"GetMachineId"))
            return false;
        handleMethod(message);
        return true;
    }
    return false;
}

void RemoteControl::reply(const QDBusMessage& answer) {
    connection.send(answer);
}

void RemoteControl::handleMethod(const QDBusMessage& message) {
    const QString member = message.member();
    const QString signature = message.signature();
    const auto run = [&](const std::function<void()>& action) {
        if (!signature.isEmpty()) {
            reply(message.createErrorReply(invalidArgs, u"%1 takes no arguments."_s.arg(member)));
            return;
        }
        if (action)
            action();
        reply(message.createReply());
        announcePropertyChanges();
    };
    const auto pause = [this](std::optional<bool> paused) {
        return [this, paused] {
            if (actions.setPaused)
                actions.setPaused(paused.value_or(!current().paused));
        };
    };
    if (member == u"EditQuotes")
        run(actions.editQuotes);
    else if (member == u"Reload")
        run(actions.reload);
    else if (member == u"Pause")
        run(pause(true));
    else if (member == u"Resume")
        run(pause(false));
    else if (member == u"TogglePause")
        run(pause(std::nullopt));
    else if (member == u"Quit")
        // The answer goes out before the program leaves its event loop.
        run([this] {
            QTimer::singleShot(0, this, [quit = actions.quit] {
                if (quit)
                    quit();
            });
        });
    else if (member == u"WatchDisplay" && signature == u"u")
        feed.watch(message);
    else if (member == u"AddQuote" && signature == u"s")
        addQuotes(message, {message.arguments().at(0).toString()});
    else if (member == u"AddQuotes" && signature == u"as")
        addQuotes(message, message.arguments().at(0).toStringList());
    else if (member == u"AddQuote" || member == u"AddQuotes")
        reply(message.createErrorReply(
            invalidArgs, member == u"AddQuote" ? u"AddQuote takes one string."_s
                                               : u"AddQuotes takes an array of strings."_s));
    else
        reply(message.createErrorReply(
            u"org.freedesktop.DBus.Error.UnknownMethod"_s,
            u"%1 has no method %2 with signature \"%3\"."_s.arg(interfaceName, member, signature)));
}

void RemoteControl::addQuotes(const QDBusMessage& message, const QStringList& quotes) {
    // Work the program has already queued runs first: a list that a reload or a change made
    // elsewhere has read reaches the quote manager through the main queue, and the quotes are
    // added to that list rather than to the one it is about to replace. The answer goes out
    // once the quotes are on disk.
    MainQueue::async([control = QPointer<RemoteControl>(this), message, quotes] {
        if (!control)
            return;
        auto answer = [control, message](std::variant<uint, Refusal> result) {
            if (!control)
                return;
            if (const auto* refusal = std::get_if<Refusal>(&result))
                control->reply(
                    message.createErrorReply(errorName(refusal->kind), refusal->message));
            else
                control->reply(message.createReply(QVariant::fromValue(std::get<uint>(result))));
        };
        if (control->actions.addQuotes)
            control->actions.addQuotes(quotes, std::move(answer));
        else
            answer(Refusal{});
    });
}

void RemoteControl::handlePropertyCall(const QDBusMessage& message) {
    const QString member = message.member();
    const QString signature = message.signature();
    const QList<QVariant> arguments = message.arguments();
    const QString interface = arguments.isEmpty() ? QString() : arguments.at(0).toString();
    if (!arguments.isEmpty() && !interface.isEmpty() && interface != interfaceName) {
        reply(message.createErrorReply(u"org.freedesktop.DBus.Error.UnknownInterface"_s,
                                       u"The object has no interface %1."_s.arg(interface)));
        return;
    }
    const auto unknownProperty = [&](const QString& name) {
        reply(message.createErrorReply(u"org.freedesktop.DBus.Error.UnknownProperty"_s,
                                       u"%1 has no property %2."_s.arg(interfaceName, name)));
    };
    if (member == u"GetAll" && signature == u"s") {
        QVariantMap all;
        for (const QString& name :
             {u"CurrentQuote"_s, u"DisplayText"_s, u"Language"_s, u"Paused"_s})
            all.insert(name, *property(name));
        for (const Setting& setting : actions.settings)
            all.insert(setting.name, *property(setting.name));
        reply(message.createReply(QVariant::fromValue(all)));
    } else if (member == u"Get" && signature == u"ss") {
        const QString name = arguments.at(1).toString();
        if (const auto value = property(name))
            reply(message.createReply(QVariant::fromValue(QDBusVariant(*value))));
        else
            unknownProperty(name);
    } else if (member == u"Set" && signature == u"ssv") {
        const QString name = arguments.at(1).toString();
        const QVariant value = arguments.at(2).value<QDBusVariant>().variant();
        if (!property(name)) {
            unknownProperty(name);
        } else if (const Setting* setting = findSetting(name)) {
            setSetting(message, *setting, value);
        } else if (name != u"Language") {
            reply(message.createErrorReply(u"org.freedesktop.DBus.Error.PropertyReadOnly"_s,
                                           u"%1 can be read, not set."_s.arg(name)));
        } else if (value.typeId() != QMetaType::QString) {
            reply(message.createErrorReply(invalidArgs, u"Language takes a string."_s));
        } else {
            replyToSet(message, actions.setLanguage ? actions.setLanguage(value.toString())
                                                    : std::optional<Refusal>(Refusal{}));
        }
    } else {
        reply(message.createErrorReply(u"org.freedesktop.DBus.Error.UnknownMethod"_s,
                                       u"%1 has no method %2 with signature \"%3\"."_s.arg(
                                           propertiesInterface, member, signature)));
    }
}

void RemoteControl::setSetting(const QDBusMessage& message, const Setting& setting,
                               const QVariant& value) {
    static const QHash<QString, std::pair<int, QString>> types = {
        {u"s"_s, {QMetaType::QString, u"a string"_s}},
        {u"i"_s, {QMetaType::Int, u"an integer (i)"_s}},
        {u"b"_s, {QMetaType::Bool, u"a boolean"_s}},
    };
    const auto type = types.value(setting.type);
    if (value.typeId() != type.first) {
        reply(message.createErrorReply(invalidArgs,
                                       u"%1 takes %2."_s.arg(setting.name, type.second)));
        return;
    }
    replyToSet(message, actions.setSetting ? actions.setSetting(setting.name, value)
                                           : std::optional<Refusal>(Refusal{}));
}

void RemoteControl::replyToSet(const QDBusMessage& message, const std::optional<Refusal>& refusal) {
    if (refusal)
        reply(message.createErrorReply(errorName(refusal->kind), refusal->message));
    else
        reply(message.createReply());
    announcePropertyChanges();
}
