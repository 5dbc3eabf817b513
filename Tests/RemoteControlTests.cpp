#include "AppDelegate.h"
#include "DesktopNotifier.h"
#include "Localization.h"
#include "PrivateBus.h"
#include "QuotesDocument.h"
#include "RemoteControl.h"
#include "Settings.h"
#include "StatusItem.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString service = RemoteControl::serviceName;
const QString interface = RemoteControl::interfaceName;
const QString properties = u"org.freedesktop.DBus.Properties"_s;
const QString invalidArgs = u"org.freedesktop.DBus.Error.InvalidArgs"_s;

// Runs the body on a thread of its own, as a script beside the program would, while this thread
// goes on with its events: the program under test answers on it.
template <typename Body> auto fromOutside(Body body) {
    auto result = std::async(std::launch::async, std::move(body));
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QCoreApplication::processEvents();
        runMainQueue();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result.get();
}

// A delegate on a private bus, and a second connection to it that calls and listens.
struct RemoteApp {
    RemoteApp() { LocalizationManager::shared().currentLanguage = AppLanguage::english; }

    PrivateBus bus;
    TempHome home;
    ManualTiming manual;
    std::unique_ptr<AppDelegate> delegate;
    QDBusConnection client = bus.connect(u"client"_s);
    BusSignals signals;

    void launch() {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        delegate = std::make_unique<AppDelegate>(
            AppEnvironment{home.path(), XdgAutostartService::forThisProgram(), manual.timing(),
                           bus.connect(u"app"_s)});
        delegate->applicationDidFinishLaunching();
        runMainQueue();
        for (const auto& [on, name] : {std::pair(interface, u"QuotesChanged"_s),
                                       std::pair(properties, u"PropertiesChanged"_s)})
            ASSERT_TRUE(signals.listen(client, service, u"/"_s, on, name));
    }
    // Through QDBusInterface, which reads the object's introspection first.
    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      const QString& on = interface) {
        const QDBusMessage answer = fromOutside([&] {
            QDBusInterface remote(service, u"/"_s, on, client);
            return remote.isValid() ? remote.callWithArgumentList(QDBus::Block, method, arguments)
                                    : QDBusMessage::createError(remote.lastError());
        });
        runMainQueue();
        return answer;
    }
    QVariant get(const QString& name) {
        return call(u"Get"_s, {interface, name}, properties)
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    }
    QDBusMessage set(const QString& name, const QVariant& value) {
        return call(u"Set"_s, {interface, name, QVariant::fromValue(QDBusVariant(value))},
                    properties);
    }
    // One more answer from the program, after which the signals it sent before are in: the bus
    // keeps their order, and the client's connection posts each signal to this thread as it
    // reads it, before it reads the answer.
    void settle() {
        get(u"Paused"_s);
        QCoreApplication::sendPostedEvents();
    }
    // The properties announced so far, each at its latest value.
    QVariantMap changed() const {
        QVariantMap all;
        for (const QDBusMessage& message : signals.named(u"PropertiesChanged"_s))
            all.insert(qdbus_cast<QVariantMap>(message.arguments().at(1)));
        return all;
    }
    QStringList saved() const {
        QString error;
        return QuoteManager::listFromFile(readBytes(home.quotesFile()), &error)
            .value_or(QStringList());
    }
};

bool isError(const QDBusMessage& answer, const QString& name) {
    return answer.type() == QDBusMessage::ErrorMessage && answer.errorName() == name;
}

} // namespace

TEST(RemoteControl, MethodsAndPropertiesActOnTheRunningProgram) {
    RemoteApp app;
    app.launch();
    app.call(u"EditQuotes"_s);
    ASSERT_TRUE(app.delegate->quotesWindow);
    EXPECT_TRUE(app.delegate->quotesWindow->isVisible());

    for (const auto& [method, paused] : {std::pair(u"Pause"_s, true),
                                         {u"TogglePause"_s, false},
                                         {u"TogglePause"_s, true},
                                         {u"Resume"_s, false}}) {
        app.call(method);
        EXPECT_EQ(app.delegate->displayController->isPaused(), paused) << method.toStdString();
        EXPECT_EQ(app.get(u"Paused"_s), QVariant(paused));
        app.settle();
        EXPECT_EQ(app.changed().value(u"Paused"_s), QVariant(paused));
    }
    // Changes made elsewhere in the program (a click, the language menu) are announced too.
    app.delegate->displayController->setPaused(true);
    LocalizationManager::shared().currentLanguage = AppLanguage::chinese;
    runMainQueue();
    app.settle();
    EXPECT_EQ(
        app.changed(),
        QVariantMap({{u"Paused"_s, true}, {u"Language"_s, u"zh"_s}, {u"AppLanguage"_s, u"zh"_s}}));

    EXPECT_EQ(app.set(u"Language"_s, u"vi"_s).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::vietnamese);
    EXPECT_EQ(app.get(u"Language"_s), QVariant(u"vi"_s));

    // A reload that finds a new list announces it once; one that finds the same, not at all.
    writeBytes(app.home.quotesFile(), R"({"quotes": ["Reloaded"]})");
    app.settle();
    app.signals.received.clear();
    app.call(u"Reload"_s);
    app.call(u"Reload"_s);
    app.settle();
    EXPECT_EQ(app.delegate->displayController->quotes, QStringList{u"Reloaded"_s});
    EXPECT_EQ(app.signals.members(), QStringList{u"QuotesChanged"_s});
    EXPECT_EQ(app.get(u"CurrentQuote"_s), QVariant(u"Reloaded"_s));
}

TEST(RemoteControl, EachSettingIsAPropertyOfItsNameReadWrittenAndAnnouncedWhoeverChangesIt) {
    RemoteApp app;
    app.launch();
    EXPECT_EQ(app.get(u"StripWidth"_s), QVariant(250));
    EXPECT_EQ(app.get(u"PauseOnHover"_s), QVariant(true));
    EXPECT_EQ(app.get(u"Strip"_s), QVariant(u"auto"_s));

    ASSERT_EQ(app.set(u"StripWidth"_s, 400).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(app.delegate->statusItem->strip()->width(), 400);
    EXPECT_EQ(Settings::open()->value(u"StripWidth"_s).toString(), u"400"_s);
    for (const auto& [name, value] : {std::pair(u"StripWidth"_s, QVariant(5000)),
                                      {u"StripWidth"_s, QVariant(u"400"_s)},
                                      {u"PauseOnHover"_s, QVariant(1)},
                                      {u"Order"_s, QVariant(u"backwards"_s)}})
        EXPECT_TRUE(isError(app.set(name, value), invalidArgs)) << name.toStdString();
    EXPECT_EQ(app.get(u"StripWidth"_s), QVariant(400));

    // A hand edit of the file, as a text editor saves it.
    ASSERT_TRUE(replaceByRename(Settings::path(), "[General]\nStripWidth=400\nStripSpeed=90\n"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            app.settle();
            return app.changed().value(u"StripSpeed"_s) == QVariant(90);
        },
        5000));
    EXPECT_EQ(app.changed().value(u"StripWidth"_s), QVariant(400));
    EXPECT_EQ(app.delegate->displayController->marqueeStyle().speed, 90);

    const QString introspection =
        app.call(u"Introspect"_s, {}, u"org.freedesktop.DBus.Introspectable"_s)
            .arguments()
            .value(0)
            .toString();
    EXPECT_TRUE(
        introspection.contains(uR"(<property name="StripWidth" type="i" access="readwrite"/>)"_s));
}

TEST(RemoteControl, AddQuoteReachesTheEditorTheStripAndTheFileAndBadInputChangesNothing) {
    RemoteApp app;
    app.launch();
    const QByteArray untouched = readBytes(app.home.quotesFile());
    const QDBusMessage blank = app.call(u"AddQuote"_s, {u" \t\n "_s});
    EXPECT_TRUE(isError(blank, invalidArgs) && blank.errorMessage().contains(u"blank"_s));
    EXPECT_TRUE(isError(app.call(u"AddQuotes"_s, {QStringList{u"Fine"_s, u""_s}}), invalidArgs));
    // Invisible characters alone (a zero-width space, a byte order mark) show nothing either.
    EXPECT_TRUE(isError(app.call(u"AddQuote"_s, {u"\u200B"_s}), invalidArgs));
    const QDBusMessage french = app.set(u"Language"_s, u"fr"_s);
    EXPECT_TRUE(isError(french, invalidArgs) && french.errorMessage().contains(u"\"fr\""_s) &&
                french.errorMessage().contains(u"\"vi\""_s))
        << french.errorMessage().toStdString();
    EXPECT_TRUE(
        isError(app.set(u"Paused"_s, true), u"org.freedesktop.DBus.Error.PropertyReadOnly"_s));

    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::english);
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), QuoteManager::defaultQuotes);
    EXPECT_EQ(readBytes(app.home.quotesFile()), untouched);

    const QDBusMessage added = app.call(u"AddQuote"_s, {u"  Slow and steady \n"_s});
    EXPECT_EQ(added.arguments().value(0), QVariant(1u)) << added.errorMessage().toStdString();
    const QStringList expected = QuoteManager::defaultQuotes + QStringList{u"Slow and steady"_s};
    EXPECT_EQ(app.saved(), expected);
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), expected);
    EXPECT_EQ(app.delegate->displayController->quotes, expected);
    app.settle();
    EXPECT_EQ(app.signals.members(), QStringList{u"QuotesChanged"_s});

    const QByteArray before = readBytes(app.home.quotesFile());
    EXPECT_EQ(app.call(u"AddQuote"_s, {u"Slow and steady"_s}).arguments().value(0), QVariant(0u));
    EXPECT_EQ(readBytes(app.home.quotesFile()), before) << "nothing new, nothing written";
    const QDBusMessage batch =
        app.call(u"AddQuotes"_s,
                 {QStringList{u"Two"_s, u"One"_s, u"Two"_s, QuoteManager::defaultQuotes[0]}});
    EXPECT_EQ(batch.arguments().value(0), QVariant(2u));
    EXPECT_EQ(app.saved(), expected + QStringList({u"Two"_s, u"One"_s}));

    writeBytes(app.home.quotesFile(), R"({"quotes": ["From elsewhere"]})");
    // Both calls are in before the program runs its queue: the quote goes to the reloaded list,
    // not to the one the reload replaces.
    fromOutside([&] {
        QDBusInterface remote(service, u"/"_s, interface, app.client);
        remote.call(QDBus::NoBlock, u"Reload"_s);
        return remote.call(u"AddQuote"_s, u"Added"_s);
    });
    runMainQueue();
    EXPECT_EQ(app.saved(), QStringList({u"From elsewhere"_s, u"Added"_s}));
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), app.saved());
}

TEST(RemoteControl, AnAdditionGoesByWhatTheLoadFound) {
    RemoteApp app;
    const QByteArray broken = "{\"quotes\": [\"Half a thought";
    writeBytes(app.home.quotesFile(), broken);
    {
        CapturedStdout loadFailure;
        app.launch();
    }
    const QDBusMessage refused = app.call(u"AddQuote"_s, {u"New"_s});
    EXPECT_TRUE(isError(refused, RemoteControl::notLoadedError))
        << refused.errorName().toStdString();
    EXPECT_EQ(readBytes(app.home.quotesFile()), broken);
    EXPECT_EQ(QDir(app.home.quotesFolder()).entryList({u"quotes.json*"_s}, QDir::Files),
              QStringList{u"quotes.json"_s})
        << "no copy kept, since nothing was saved";

    // An empty list: the quote takes the place of the no-quotes placeholder.
    writeBytes(app.home.quotesFile(), R"({"quotes": []})");
    app.call(u"Reload"_s);
    EXPECT_EQ(app.call(u"AddQuote"_s, {u"First"_s}).arguments().value(0), QVariant(1u));
    EXPECT_EQ(app.saved(), QStringList{u"First"_s});
}

TEST(RemoteControl, ANameTakenByAnotherProgramLeavesThisOneWithoutTheInterface) {
    RemoteApp app;
    QDBusConnection other = app.bus.connect(u"other"_s);
    ASSERT_TRUE(other.registerService(service));
    app.launch();
    EXPECT_EQ(app.client.interface()->serviceOwner(service).value(), other.baseService());
    EXPECT_FALSE(app.delegate->displayController->segments().isEmpty()) << "the program goes on";
}

// The Plasma widget's side: it asks with the revision it has, and the answer waits for the next
// change; while it waits, a view shows the ticker and the strip stays away.
TEST(RemoteControl, AViewWaitsForTheNextDisplayAndTheStripMakesWayForIt) {
    RemoteApp app;
    app.launch();
    const auto display = [](const QDBusMessage& answer) {
        return QJsonDocument::fromJson(answer.arguments().value(0).toString().toUtf8()).object();
    };
    const QJsonObject now = display(app.call(u"WatchDisplay"_s, {0U}));
    ASSERT_TRUE(now.contains(u"revision"_s)) << "answered at once: a newer revision than 0";
    EXPECT_EQ(now[u"segments"_s].toArray().first().toString(), u"Stay foolish, stay hungry."_s);
    EXPECT_EQ(app.get(u"DisplayText"_s).toString(),
              app.delegate->displayController->segments().join(QString()));

    bool stripShownWhileWaiting = true;
    QTimer::singleShot(300, [&] {
        stripShownWhileWaiting = app.delegate->statusItem->isStripShown();
        LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    });
    const QJsonObject next =
        display(app.call(u"WatchDisplay"_s, {uint(now[u"revision"_s].toInt())}));
    EXPECT_GT(next[u"revision"_s].toInt(), now[u"revision"_s].toInt());
    const QJsonArray menu = next[u"menu"_s].toArray();
    EXPECT_TRUE(std::any_of(menu.begin(), menu.end(), [](const QJsonValue& entry) {
        return entry.toObject()[u"title"_s].toString() == u"Tải lại"_s;
    })) << "the menu in the new language";
    EXPECT_FALSE(stripShownWhileWaiting) << "a view waiting shows the ticker";
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
}

// `sayvane --add A` and at once AddQuote B: B goes on the end of the file as it is, with A.
TEST(RemoteControl, AnAdditionGoesOnTheFileAsItIsNow) {
    RemoteApp app;
    app.launch();
    const QStringList withA = QuoteManager::defaultQuotes + QStringList{u"A"_s};
    writeBytes(app.home.quotesFile(), QuotesDocument::encode(withA));
    EXPECT_EQ(app.call(u"AddQuote"_s, {u"B"_s}).arguments().value(0), QVariant(1u));
    EXPECT_EQ(app.saved(), withA + QStringList{u"B"_s});
    EXPECT_EQ(QDir(app.home.quotesFolder()).entryList({u"quotes.json.*"_s}, QDir::Files),
              QStringList{});
}

namespace {

// A notification server: records each Notify and answers with an id.
class NotificationServer final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != u"Notify")
            return false;
        calls.append(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }
    QList<QVariantList> calls;
};

} // namespace

TEST(RemoteControl, ANoticeGoesToTheDesktopsNotificationServer) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    QDBusConnection server = bus.connect(u"server"_s);
    NotificationServer notifications;
    ASSERT_TRUE(server.registerVirtualObject(FreedesktopNotifier::objectPath, &notifications));
    ASSERT_TRUE(server.registerService(FreedesktopNotifier::serviceName));
    FreedesktopNotifier notifier(bus.connect(u"app"_s));
    notifier.notify(u"Sayvane kept a copy of your quotes"_s, u"kept as <~/quotes.json.x>"_s);
    ASSERT_TRUE(eventually([&] { return !notifications.calls.isEmpty(); }));
    const QVariantList call = notifications.calls.first();
    ASSERT_EQ(call.size(), 8);
    EXPECT_EQ(call[0].toString(), u"Sayvane"_s);
    EXPECT_EQ(call[3].toString(), u"Sayvane kept a copy of your quotes"_s);
    EXPECT_EQ(call[4].toString(), u"kept as &lt;~/quotes.json.x&gt;"_s) << "markup is escaped";
}
