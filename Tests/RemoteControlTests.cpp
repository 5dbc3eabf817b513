#include "AppDelegate.h"
#include "Localization.h"
#include "PrivateBus.h"
#include "RemoteControl.h"
#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString service = RemoteControl::serviceName;
const QString interface = RemoteControl::interfaceName;

// Every signal of the program's object that reaches the connection.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    QList<QDBusMessage> messages;
    QStringList names() const {
        QStringList found;
        for (const QDBusMessage& message : messages)
            found.append(message.member());
        return found;
    }
    // The changed properties of every PropertiesChanged, merged in order.
    QVariantMap changedProperties() const {
        QVariantMap changed;
        for (const QDBusMessage& message : messages) {
            if (message.member() == u"PropertiesChanged" &&
                message.arguments().at(0).toString() == interface) {
                const QVariantMap map = qdbus_cast<QVariantMap>(message.arguments().at(1));
                changed.insert(map);
            }
        }
        return changed;
    }

public Q_SLOTS:
    void record(const QDBusMessage& message) { messages.append(message); }
};

// Runs the body on a thread of its own, as a script beside the program would, while this thread
// goes on with its events: the program under test answers on it.
template <typename Body> auto fromOutside(Body body) {
    auto result = std::async(std::launch::async, std::move(body));
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        runMainQueue();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result.get();
}

struct RemoteApp {
    RemoteApp() {
        LocalizationManager::shared().currentLanguage = AppLanguage::english;
        runMainQueue();
    }

    PrivateBus bus;
    TempHome home;
    ManualTiming manual;
    std::unique_ptr<AppDelegate> delegate;
    QDBusConnection client = bus.connect(u"client"_s);
    SignalRecorder signals;

    void launch() {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        delegate = std::make_unique<AppDelegate>(
            AppEnvironment{home.path(), XdgAutostartService::forThisProgram(), manual.timing(),
                           bus.connect(u"app"_s)});
        delegate->applicationDidFinishLaunching();
        runMainQueue();
        ASSERT_TRUE(client.connect(service, u"/"_s, interface, u"QuotesChanged"_s, &signals,
                                   SLOT(record(QDBusMessage))));
        ASSERT_TRUE(client.connect(service, u"/"_s, u"org.freedesktop.DBus.Properties"_s,
                                   u"PropertiesChanged"_s, &signals, SLOT(record(QDBusMessage))));
    }

    // A call through QDBusInterface, which reads the object's introspection first.
    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      const QString& onInterface = interface) {
        return fromOutside([&] {
            QDBusInterface remote(service, u"/"_s, onInterface, client);
            if (!remote.isValid())
                return QDBusMessage::createError(remote.lastError());
            return remote.callWithArgumentList(QDBus::Block, method, arguments);
        });
    }
    QVariant property(const QString& name) {
        const QDBusMessage answer =
            call(u"Get"_s, {interface, name}, u"org.freedesktop.DBus.Properties"_s);
        return answer.type() == QDBusMessage::ReplyMessage
                   ? answer.arguments().at(0).value<QDBusVariant>().variant()
                   : QVariant();
    }
    QDBusMessage setProperty(const QString& name, const QVariant& value) {
        return call(u"Set"_s, {interface, name, QVariant::fromValue(QDBusVariant(value))},
                    u"org.freedesktop.DBus.Properties"_s);
    }
    // Lets the signals the program sent before answering one more call arrive.
    void settle() {
        property(u"Paused"_s);
        QTest::qWait(20);
    }
    QStringList quotesInFile() const {
        QString error;
        const auto list = QuoteManager::listFromFile(readBytes(home.quotesFile()), &error);
        return list ? *list : QStringList();
    }
};

bool isError(const QDBusMessage& answer, const QString& name) {
    return answer.type() == QDBusMessage::ErrorMessage && answer.errorName() == name;
}

} // namespace

TEST(RemoteControl, MethodsActOnTheRunningProgram) {
    RemoteApp app;
    app.launch();

    EXPECT_FALSE(app.delegate->quotesWindow);
    EXPECT_EQ(app.call(u"EditQuotes"_s).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(app.delegate->quotesWindow);
    EXPECT_TRUE(app.delegate->quotesWindow->isVisible());

    EXPECT_EQ(app.property(u"Paused"_s), QVariant(false));
    app.call(u"Pause"_s);
    EXPECT_TRUE(app.delegate->displayController->isPaused());
    EXPECT_EQ(app.property(u"Paused"_s), QVariant(true));
    app.call(u"TogglePause"_s);
    EXPECT_FALSE(app.delegate->displayController->isPaused());
    app.call(u"TogglePause"_s);
    EXPECT_TRUE(app.delegate->displayController->isPaused());
    app.call(u"Resume"_s);
    EXPECT_FALSE(app.delegate->displayController->isPaused());
    app.settle();
    QStringList pauses;
    for (const QDBusMessage& message : app.signals.messages) {
        if (message.member() == u"PropertiesChanged")
            pauses.append(
                qdbus_cast<QVariantMap>(message.arguments().at(1)).value(u"Paused"_s).toString());
    }
    EXPECT_EQ(pauses, QStringList({u"true"_s, u"false"_s, u"true"_s, u"false"_s}));
    // A pause from elsewhere in the program (a click) is announced too.
    app.signals.messages.clear();
    app.delegate->displayController->setPaused(true);
    app.settle();
    EXPECT_EQ(app.signals.changedProperties(), QVariantMap({{u"Paused"_s, true}}));

    // A change made elsewhere, then Reload: the new list everywhere, and one QuotesChanged.
    writeBytes(app.home.quotesFile(), R"({"quotes": ["Reloaded one", "Reloaded two"]})");
    app.signals.messages.clear();
    EXPECT_EQ(app.call(u"Reload"_s).type(), QDBusMessage::ReplyMessage);
    runMainQueue();
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(),
              QStringList({u"Reloaded one"_s, u"Reloaded two"_s}));
    EXPECT_EQ(app.delegate->displayController->quotes, app.delegate->quoteManager->quotes.get());
    app.settle();
    EXPECT_EQ(app.signals.names(), QStringList{u"QuotesChanged"_s});

    // A reload that finds the same list announces nothing.
    app.signals.messages.clear();
    app.call(u"Reload"_s);
    runMainQueue();
    app.settle();
    EXPECT_TRUE(app.signals.names().isEmpty()) << app.signals.names().join(u' ').toStdString();
}

TEST(RemoteControl, AddQuoteReachesTheEditorTheStripAndTheFile) {
    RemoteApp app;
    app.launch();
    app.call(u"EditQuotes"_s);

    const QDBusMessage added = app.call(u"AddQuote"_s, {u"  Slow and steady \n"_s});
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
    EXPECT_EQ(added.arguments().at(0), QVariant(1u));
    runMainQueue();
    const QStringList expected = QuoteManager::defaultQuotes + QStringList{u"Slow and steady"_s};
    EXPECT_EQ(app.quotesInFile(), expected);
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), expected);
    EXPECT_EQ(app.delegate->displayController->quotes, expected);
    EXPECT_FALSE(app.delegate->quoteManager->hasUnsavedEdits());
    app.settle();
    EXPECT_EQ(app.signals.names(), QStringList{u"QuotesChanged"_s});

    // What is there already is not added again, and nothing is written.
    const QByteArray before = readBytes(app.home.quotesFile());
    app.signals.messages.clear();
    EXPECT_EQ(app.call(u"AddQuote"_s, {u"Slow and steady"_s}).arguments().value(0), QVariant(0u));
    EXPECT_EQ(readBytes(app.home.quotesFile()), before);

    // A batch: each new quote once, in its order.
    const QDBusMessage batch =
        app.call(u"AddQuotes"_s,
                 {QStringList{u"Two"_s, u"One"_s, u"Two"_s, QuoteManager::defaultQuotes[0]}});
    EXPECT_EQ(batch.arguments().value(0), QVariant(2u));
    runMainQueue();
    EXPECT_EQ(app.quotesInFile(), expected + QStringList({u"Two"_s, u"One"_s}));
    app.settle();
    EXPECT_EQ(app.signals.names(), QStringList{u"QuotesChanged"_s});
}

TEST(RemoteControl, AReloadFollowedAtOnceByAnAdditionKeepsBoth) {
    RemoteApp app;
    app.launch();
    writeBytes(app.home.quotesFile(), R"({"quotes": ["From elsewhere"]})");
    // Both calls are in before the program runs its queue: the addition goes to the reloaded
    // list, not to the one the reload replaces.
    const QDBusMessage answer = fromOutside([&] {
        QDBusInterface remote(service, u"/"_s, interface, app.client);
        remote.call(QDBus::NoBlock, u"Reload"_s);
        return remote.call(u"AddQuote"_s, u"Added"_s);
    });
    EXPECT_EQ(answer.arguments().value(0), QVariant(1u));
    runMainQueue();
    EXPECT_EQ(app.quotesInFile(), QStringList({u"From elsewhere"_s, u"Added"_s}));
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), app.quotesInFile());
}

TEST(RemoteControl, BadInputIsRefusedInPlainWords) {
    RemoteApp app;
    app.launch();
    const QByteArray before = readBytes(app.home.quotesFile());
    const QString invalidArgs = u"org.freedesktop.DBus.Error.InvalidArgs"_s;

    const QDBusMessage blank = app.call(u"AddQuote"_s, {u" \t\n "_s});
    EXPECT_TRUE(isError(blank, invalidArgs));
    EXPECT_TRUE(blank.errorMessage().contains(u"blank"_s)) << blank.errorMessage().toStdString();
    EXPECT_TRUE(isError(app.call(u"AddQuotes"_s, {QStringList{u"Fine"_s, u""_s}}), invalidArgs))
        << "one blank quote refuses the batch";
    EXPECT_TRUE(isError(app.call(u"AddQuote"_s, {42}), invalidArgs));

    const QDBusMessage french = app.setProperty(u"Language"_s, u"fr"_s);
    EXPECT_TRUE(isError(french, invalidArgs));
    EXPECT_TRUE(french.errorMessage().contains(u"\"fr\""_s) &&
                french.errorMessage().contains(u"\"vi\""_s))
        << french.errorMessage().toStdString();
    EXPECT_TRUE(isError(app.setProperty(u"Language"_s, 1), invalidArgs));
    EXPECT_TRUE(isError(app.setProperty(u"Paused"_s, true),
                        u"org.freedesktop.DBus.Error.PropertyReadOnly"_s));
    EXPECT_TRUE(
        isError(app.call(u"Get"_s, {interface, u"Volume"_s}, u"org.freedesktop.DBus.Properties"_s),
                u"org.freedesktop.DBus.Error.UnknownProperty"_s));

    runMainQueue();
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::english);
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), QuoteManager::defaultQuotes);
    EXPECT_EQ(readBytes(app.home.quotesFile()), before);
}

TEST(RemoteControl, AFileThatCouldNotBeLoadedIsLeftAsItIs) {
    RemoteApp app;
    const QByteArray broken = "{\"quotes\": [\"Half a thought";
    writeBytes(app.home.quotesFile(), broken);
    {
        CapturedStdout loadFailure;
        app.launch();
    }

    const QDBusMessage answer = app.call(u"AddQuote"_s, {u"New"_s});
    EXPECT_TRUE(isError(answer, RemoteControl::notLoadedError)) << answer.errorName().toStdString();
    EXPECT_TRUE(answer.errorMessage().contains(u"could not be loaded"_s));
    runMainQueue();
    EXPECT_EQ(readBytes(app.home.quotesFile()), broken);
    EXPECT_EQ(QDir(app.home.quotesFolder()).entryList({u"quotes.json*"_s}, QDir::Files),
              QStringList{u"quotes.json"_s})
        << "no copy kept, since nothing was saved";
}

TEST(RemoteControl, AnEmptyFileGetsTheQuoteWithoutTheNoQuotesPlaceholder) {
    RemoteApp app;
    writeBytes(app.home.quotesFile(), R"({"quotes": []})");
    app.launch();
    ASSERT_EQ(app.delegate->quoteManager->quotes.get(),
              QStringList{QuoteManager::noQuotesPlaceholder});
    EXPECT_EQ(app.call(u"AddQuote"_s, {u"First"_s}).arguments().value(0), QVariant(1u));
    runMainQueue();
    EXPECT_EQ(app.quotesInFile(), QStringList{u"First"_s});
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), QStringList{u"First"_s});
}

TEST(RemoteControl, LanguageIsReadWrittenAndAnnouncedWhateverChangesIt) {
    RemoteApp app;
    app.launch();
    EXPECT_EQ(app.property(u"Language"_s), QVariant(u"en"_s));

    EXPECT_EQ(app.setProperty(u"Language"_s, u"vi"_s).type(), QDBusMessage::ReplyMessage);
    runMainQueue();
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::vietnamese);
    EXPECT_EQ(app.property(u"Language"_s), QVariant(u"vi"_s));
    app.settle();
    EXPECT_EQ(app.signals.changedProperties(), QVariantMap({{u"Language"_s, u"vi"_s}}));

    // The menu's choice, not a call, is announced as well.
    LocalizationManager::shared().currentLanguage = AppLanguage::chinese;
    runMainQueue();
    app.settle();
    EXPECT_EQ(app.signals.changedProperties().value(u"Language"_s), QVariant(u"zh"_s));

    const QDBusMessage all =
        app.call(u"GetAll"_s, {interface}, u"org.freedesktop.DBus.Properties"_s);
    const QVariantMap properties = qdbus_cast<QVariantMap>(all.arguments().value(0));
    EXPECT_EQ(properties.keys(), QStringList({u"CurrentQuote"_s, u"Language"_s, u"Paused"_s}));
    EXPECT_TRUE(
        QuoteManager::defaultQuotes.contains(properties.value(u"CurrentQuote"_s).toString()));
}

TEST(RemoteControl, ANameTakenByAnotherProgramLeavesThisOneWithoutTheInterface) {
    RemoteApp app;
    ASSERT_TRUE(app.bus.isRunning());
    QDBusConnection other = app.bus.connect(u"other"_s);
    ASSERT_TRUE(other.registerService(service));

    QTemporaryDir errors;
    const QString errorFile = errors.filePath(u"stderr"_s);
    const int saved = ::dup(2);
    const int file = ::open(QFile::encodeName(errorFile).constData(), O_WRONLY | O_CREAT, 0600);
    ::dup2(file, 2);
    app.launch();
    ::dup2(saved, 2);
    ::close(file);
    ::close(saved);

    const QString said = QString::fromUtf8(readBytes(errorFile));
    EXPECT_EQ(said.count(u"sayvane:"_s), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(service) && said.contains(u"without the D-Bus interface"_s))
        << said.toStdString();
    EXPECT_EQ(app.client.interface()->serviceOwner(service).value(), other.baseService());
    // The program itself goes on.
    EXPECT_TRUE(app.delegate->displayController->segments().size() > 0);
}

#ifdef SAYVANE_EXECUTABLE
TEST(RemoteControl, TheProgramAnswersAScriptOnTheSessionBusAndQuitsWhenAsked) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    TempHome home;
    QProcessEnvironment environment = programEnvironment(home.path(), home.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(SAYVANE_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted());

    // Another process, so a blocking call is what a script makes.
    QDBusConnection script = bus.connect(u"script"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return script.interface()->isServiceRegistered(service).value(); }, 30000));
    QDBusInterface remote(service, u"/"_s, interface, script);
    ASSERT_TRUE(remote.isValid()) << remote.lastError().message().toStdString();
    const QDBusMessage added = remote.call(u"AddQuote"_s, u"From a script"_s);
    EXPECT_EQ(added.arguments().value(0), QVariant(1u)) << added.errorMessage().toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readBytes(home.quotesFile()).contains("From a script"); }, 5000));

    const QDBusMessage quit = remote.call(u"Quit"_s);
    EXPECT_EQ(quit.type(), QDBusMessage::ReplyMessage) << quit.errorMessage().toStdString();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(script.interface()->isServiceRegistered(service).value());
    const QByteArray errors = program.readAllStandardError();
    EXPECT_FALSE(errors.contains("D-Bus")) << errors.toStdString();
}
#endif

#include "RemoteControlTests.moc"
