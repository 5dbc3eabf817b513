#include "AppDelegate.h"
#include "Localization.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "QuotesDocument.h"
#include "QuotesView.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A login-item service that does what the test says.
class FakeLoginItems final : public LoginItemService {
public:
    LoginItemStatus status() const override { return currentStatus; }
    bool registerApp(QString* error) override {
        ++registers;
        if (!succeed) {
            *error = u"the service said no"_s;
            return false;
        }
        currentStatus = statusAfterRegister;
        return true;
    }
    bool unregisterApp(QString* error) override {
        ++unregisters;
        if (!succeed) {
            *error = u"the service said no"_s;
            return false;
        }
        currentStatus = LoginItemStatus::notRegistered;
        return true;
    }

    LoginItemStatus currentStatus = LoginItemStatus::notRegistered;
    LoginItemStatus statusAfterRegister = LoginItemStatus::enabled;
    bool succeed = true;
    int registers = 0;
    int unregisters = 0;
};

struct App {
    // The language is the process's, shared by every test in it; each starts from English,
    // whatever order the tests run in.
    App() {
        LocalizationManager::shared().currentLanguage = AppLanguage::english;
        runMainQueue();
    }

    TempHome home;
    std::shared_ptr<FakeLoginItems> loginItems = std::make_shared<FakeLoginItems>();
    ManualTiming manual;
    std::unique_ptr<AppDelegate> delegate =
        std::make_unique<AppDelegate>(AppEnvironment{home.path(), loginItems, manual.timing()});

    void launch() {
        delegate->applicationDidFinishLaunching();
        runMainQueue();
    }
    MarqueeView* marquee() const {
        return delegate->statusItem->button()->findChild<MarqueeView*>();
    }
    QMenu* menu() const { return delegate->statusItem->menu(); }
    QList<QAction*> items() const { return menu()->actions(); }
    QAction* languageItem(const QString& rawValue) const {
        for (QAction* item : items()[7]->menu()->actions()) {
            if (item->data().toString() == rawValue)
                return item;
        }
        return nullptr;
    }
    // Counts every "LanguageChanged" from now on. The centre keeps its observers for the life of
    // the process, so the count lives as long as anyone holds it and the observer does nothing
    // once this test has ended.
    const int& countLanguageNotices() {
        NotificationCenter::defaultCenter().addObserver(
            u"LanguageChanged"_s, [weak = std::weak_ptr<int>(languageNotices)] {
                if (const auto count = weak.lock())
                    ++*count;
            });
        return *languageNotices;
    }
    std::shared_ptr<int> languageNotices = std::make_shared<int>(0);

    QuotesView* editor() const {
        return delegate->quotesWindow ? delegate->quotesWindow->findChild<QuotesView*>() : nullptr;
    }
};

void setLanguage(AppLanguage language) {
    LocalizationManager::shared().currentLanguage = language;
    runMainQueue();
}

} // namespace

TEST(AppDelegate, StartUpShowsTheStillNoQuotesTextThenTheLoadedList) {
    App app;
    CapturedStdout out;
    app.delegate->applicationDidFinishLaunching();
    MarqueeView* marquee = app.marquee();
    ASSERT_TRUE(marquee);
    EXPECT_EQ(marquee->text(), u"No quotes"_s);
    EXPECT_FALSE(marquee->isRunning());
    EXPECT_EQ(app.delegate->statusItem->button()->title(), u""_s);

    runMainQueue();
    EXPECT_TRUE(marquee->text().startsWith(QuoteManager::defaultQuotes[0] + u"  "_s));
    EXPECT_TRUE(marquee->text().contains(QuoteManager::defaultQuotes[2]));
    EXPECT_TRUE(marquee->isRunning());
    EXPECT_EQ(app.delegate->displayController->quotes, QuoteManager::defaultQuotes);
    EXPECT_TRUE(out.text().isEmpty()) << "start-up prints nothing when all goes well";
}

TEST(AppDelegate, EverySavedEditReachesTheDisplay) {
    App app;
    app.launch();
    app.delegate->quoteManager->quotes.append(u"Fresh"_s);
    EXPECT_FALSE(app.marquee()->text().contains(u"Fresh"_s)) << "an edit alone does not reach it";
    app.delegate->quoteManager->saveQuotes();
    runMainQueue();
    EXPECT_TRUE(app.marquee()->text().contains(u"Fresh  "_s));
}

TEST(AppDelegate, TheStatusMenuInEveryLanguage) {
    struct Expected {
        AppLanguage language;
        QStringList titles;
    };
    const Expected expectations[] = {
        {AppLanguage::english,
         {u"Edit Quotes..."_s, u"Open Quotes File"_s, u"Reload Quotes"_s, u"Pause"_s,
          u"Launch at Login"_s, u"Preferences..."_s, u"Language"_s, u"About Sayvane"_s, u"Quit"_s}},
        {AppLanguage::vietnamese,
         {u"Chỉnh sửa trích dẫn..."_s, u"Mở tệp trích dẫn"_s, u"Tải lại"_s, u"Tạm dừng"_s,
          u"Mở lúc đăng nhập"_s, u"Tùy chọn..."_s, u"Ngôn ngữ"_s, u"Giới thiệu Sayvane"_s,
          u"Thoát"_s}},
        {AppLanguage::chinese,
         {u"编辑引语..."_s, u"打开引语文件"_s, u"重新加载"_s, u"暂停"_s, u"登录时启动"_s,
          u"偏好设置..."_s, u"语言"_s, u"关于 Sayvane"_s, u"退出"_s}},
    };
    App app;
    app.launch();
    for (const Expected& expected : expectations) {
        setLanguage(expected.language);
        const QList<QAction*> items = app.items();
        ASSERT_EQ(items.size(), 11);
        EXPECT_TRUE(items[6]->isSeparator());
        EXPECT_TRUE(items[8]->isSeparator());
        const QList<QAction*> titled = {items[0], items[1], items[2], items[3], items[4],
                                        items[5], items[7], items[9], items[10]};
        for (int i = 0; i < titled.size(); ++i)
            EXPECT_EQ(titled[i]->text(), expected.titles[i]);
        EXPECT_EQ(items[0]->shortcut(), QKeySequence(u"Ctrl+E"_s));
        EXPECT_EQ(items[2]->shortcut(), QKeySequence(u"Ctrl+R"_s));
        EXPECT_TRUE(items[4]->shortcut().isEmpty());
        EXPECT_EQ(items[5]->shortcut(), QKeySequence(u"Ctrl+,"_s));
        EXPECT_EQ(items[10]->shortcut(), QKeySequence(u"Ctrl+Q"_s));
        for (QAction* toggle : {items[3], items[4]}) {
            EXPECT_TRUE(toggle->isCheckable());
            EXPECT_FALSE(toggle->isChecked());
        }

        QMenu* languages = items[7]->menu();
        EXPECT_EQ(languages->accessibleName(), expected.titles[6])
            << "a submenu is named for assistive technologies";
        ASSERT_TRUE(languages);
        const QList<QAction*> choices = languages->actions();
        ASSERT_EQ(choices.size(), 3);
        const QStringList names = {u"English"_s, u"Tiếng Việt"_s, u"中文"_s};
        const QStringList codes = {u"en"_s, u"vi"_s, u"zh"_s};
        int checked = 0;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(choices[i]->text(), names[i]);
            EXPECT_EQ(choices[i]->data().toString(), codes[i]);
            if (choices[i]->isChecked()) {
                ++checked;
                EXPECT_EQ(codes[i], AppLanguages::rawValue(expected.language));
            }
        }
        EXPECT_EQ(checked, 1);
    }
}

TEST(AppDelegate, ALanguageChoiceRebuildsTheMenuRetitlesTheWindowAndResetsTheDisplay) {
    App app;
    app.launch();
    app.delegate->openQuotesUI();
    app.delegate->quotesWindow->close();
    ASSERT_FALSE(app.delegate->quotesWindow->isVisible());
    app.manual.clock->advance(1);
    app.manual.link().fire();
    ASSERT_LT(app.marquee()->currentOffset(), 0);
    QMenu* before = app.menu();

    app.languageItem(u"vi"_s)->trigger();
    runMainQueue();
    EXPECT_NE(app.menu(), before) << "the whole menu is replaced";
    EXPECT_EQ(app.items()[0]->text(), u"Chỉnh sửa trích dẫn..."_s);
    EXPECT_TRUE(app.languageItem(u"vi"_s)->isChecked());
    EXPECT_EQ(app.delegate->quotesWindow->windowTitle(), u"Chỉnh sửa"_s) << "retitled while closed";
    EXPECT_EQ(app.marquee()->currentOffset(), 0.0);

    // The Edit menu and Qt's own texts in the editor follow the language too.
    QMenu* edit = app.delegate->mainMenu()->actions()[1]->menu();
    EXPECT_EQ(edit->title(), u"Sửa"_s);
    EXPECT_EQ(edit->actions()[0]->text(), u"Hoàn tác"_s);
    EXPECT_EQ(edit->actions()[6]->text(), u"Chọn tất cả"_s);
    const std::unique_ptr<QMenu> fieldMenu(
        app.editor()->newQuoteField()->createStandardContextMenu());
    EXPECT_TRUE(fieldMenu->actions()[0]->text().startsWith(u"Hoàn tác"_s))
        << fieldMenu->actions()[0]->text().toStdString();

    app.languageItem(u"en"_s)->trigger();
    runMainQueue();
    EXPECT_EQ(edit->title(), u"Edit"_s);
    EXPECT_EQ(edit->actions()[0]->text(), u"Undo"_s);
    const std::unique_ptr<QMenu> englishMenu(
        app.editor()->newQuoteField()->createStandardContextMenu());
    EXPECT_TRUE(englishMenu->actions()[0]->text().startsWith(u"&Undo"_s));
}

TEST(AppDelegate, ALanguageChangeBeforeTheEditorWasOpenedMakesNoWindow) {
    App app;
    app.launch();
    setLanguage(AppLanguage::chinese);
    EXPECT_FALSE(app.delegate->quotesWindow);
    app.delegate->openQuotesUI();
    EXPECT_EQ(app.delegate->quotesWindow->windowTitle(), u"编辑引语"_s);
}

TEST(AppDelegate, ChoosingTheCheckedLanguageAgainRepeatsEverything) {
    App app;
    app.launch();
    const int& notices = app.countLanguageNotices();
    QMenu* before = app.menu();
    app.languageItem(u"en"_s)->trigger();
    runMainQueue();
    EXPECT_EQ(notices, 1);
    EXPECT_NE(app.menu(), before);
    EXPECT_TRUE(app.languageItem(u"en"_s)->isChecked());
}

TEST(AppDelegate, ItemsWithoutAKnownLanguageChangeNothing) {
    App app;
    app.launch();
    const int& notices = app.countLanguageNotices();
    QMenu* before = app.menu();
    QAction noData;
    QAction number;
    number.setData(42);
    QAction bytes;
    bytes.setData(QByteArray("vi"));
    QAction unknown;
    unknown.setData(u"fr"_s);
    QAction upper;
    upper.setData(u"VI"_s);
    for (QAction* item : {&noData, &number, &bytes, &unknown, &upper})
        app.delegate->changeLanguage(item->data());
    runMainQueue();
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(app.menu(), before);
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::english);
}

TEST(AppDelegate, EverySettingReachesTheRunningPartsAtOnce) {
    App app;
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many.append(u"Quote %1"_s.arg(i));
    writeBytes(app.home.quotesFile(), QuotesDocument::encode(many));
    app.launch();
    Preferences& preferences = *app.delegate->preferences;
    const auto set = [&](const QString& name, const QVariant& value) {
        ASSERT_EQ(preferences.set(name, value), std::nullopt) << name.toStdString();
    };
    QWidget* strip = app.delegate->statusItem->strip();
    const QRect screen = app.delegate->statusItem->screen()->geometry();
    set(u"StripWidth"_s, 500);
    set(u"StripFontSize"_s, 30);
    set(u"StripAlign"_s, u"left"_s);
    EXPECT_EQ(strip->geometry(), QRect(screen.topLeft(), QSize(500, 40)));
    EXPECT_EQ(app.marquee()->fontPixelSize(), 30);

    set(u"StripSpeed"_s, 90);
    app.manual.clock->advance(1);
    app.manual.link().fire();
    EXPECT_DOUBLE_EQ(app.marquee()->currentOffset(), -90);
    set(u"PauseOnHover"_s, false);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(app.delegate->statusItem->button(), &enter);
    EXPECT_TRUE(app.marquee()->isRunning()) << "the pointer no longer stops it";

    set(u"Order"_s, u"shuffled"_s);
    QStringList shown;
    for (qsizetype i = 0; i < app.delegate->displayController->segments().size(); i += 2)
        shown.append(app.delegate->displayController->segments()[i]);
    EXPECT_NE(shown, many);
    std::sort(shown.begin(), shown.end());
    std::sort(many.begin(), many.end());
    EXPECT_EQ(shown, many) << "every quote once, in another order";

    set(u"Strip"_s, u"off"_s);
    EXPECT_FALSE(app.delegate->statusItem->isStripShown());
    set(u"Strip"_s, u"auto"_s);
    EXPECT_TRUE(app.delegate->statusItem->isStripShown()) << "no panel shows the label here";

    set(u"AppLanguage"_s, u"vi"_s);
    runMainQueue();
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::vietnamese);
    EXPECT_EQ(app.items()[0]->text(), u"Chỉnh sửa trích dẫn..."_s);
}

TEST(AppDelegate, ReloadResetsAtOnceWithTheOldListAndAgainWithTheNewOne) {
    App app;
    app.launch();
    writeBytes(app.home.quotesFile(), R"({"quotes": ["Reloaded"]})");
    app.manual.clock->advance(2);
    app.manual.link().fire();
    ASSERT_LT(app.marquee()->currentOffset(), 0);
    const QString before = app.marquee()->text();

    app.items()[2]->trigger();
    EXPECT_EQ(app.marquee()->currentOffset(), 0.0);
    EXPECT_TRUE(app.marquee()->text().startsWith(QuoteManager::defaultQuotes[0]));
    EXPECT_NE(app.marquee()->text(), before) << "reset with fresh emojis";
    runMainQueue();
    EXPECT_TRUE(app.marquee()->text().startsWith(u"Reloaded  "_s));
    EXPECT_EQ(app.delegate->quoteManager->quotes.get(), QStringList{u"Reloaded"_s});
}

TEST(AppDelegate, TheEditorWindowIsMadeOnceCentredAndKept) {
    App app;
    app.launch();
    app.items()[0]->trigger();
    QWidget* window = app.delegate->quotesWindow.get();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), u"Edit Quotes"_s);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_GE(window->width(), 400);
    EXPECT_GE(window->height(), 300);
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    // Centred up to the size of the window frame, which a platform adds around the window.
    EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 10);

    app.editor()->newQuoteField()->setText(u"half typed"_s);
    window->move(window->pos() + QPoint(40, 30));
    const QPoint moved = window->pos();
    window->close();
    EXPECT_FALSE(window->isVisible());
    app.delegate->openQuotesUI();
    EXPECT_EQ(app.delegate->quotesWindow.get(), window) << "the same window";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), moved) << "not centred again";
    EXPECT_EQ(app.editor()->newQuote(), u"half typed"_s);
}

TEST(AppDelegate, TheEditMenuActsOnTheFocusedField) {
    App app;
    app.launch();
    app.delegate->openQuotesUI();
    QWidget* window = app.delegate->quotesWindow.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    const QList<QAction*> main = app.delegate->mainMenu()->actions();
    ASSERT_EQ(main.size(), 2);
    EXPECT_TRUE(main[0]->text().isEmpty());
    ASSERT_TRUE(main[0]->menu());
    EXPECT_TRUE(main[0]->menu()->actions().isEmpty());
    QMenu* edit = main[1]->menu();
    ASSERT_TRUE(edit);
    const QList<QAction*> commands = edit->actions();
    const QStringList titles = {u"Undo"_s,    u"Redo"_s,  u""_s,           u"Cut"_s,
                                u"Copy"_s,    u"Paste"_s, u"Select All"_s, u""_s,
                                u"Find..."_s, u""_s,      u"Move Up"_s,    u"Move Down"_s};
    const QStringList keys = {u"Ctrl+Z"_s, u"Ctrl+Shift+Z"_s, u""_s, u"Ctrl+X"_s, u"Ctrl+C"_s,
                              u"Ctrl+V"_s, u"Ctrl+A"_s,       u""_s, u"Ctrl+F"_s, u""_s,
                              u"Alt+Up"_s, u"Alt+Down"_s};
    ASSERT_EQ(commands.size(), titles.size());
    for (int i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(commands[i]->text(), titles[i]);
        EXPECT_EQ(commands[i]->shortcut(), QKeySequence(keys[i]));
    }
    EXPECT_TRUE(commands[2]->isSeparator());
    EXPECT_EQ(window->findChild<QMenuBar*>()->actions().size(), 1)
        << "the window shows the Edit menu";

    QLineEdit* field = app.editor()->newQuoteField();
    field->setFocus();
    QTest::keyClicks(field, u"abc"_s);
    commands[0]->trigger();
    EXPECT_EQ(field->text(), u""_s) << "undo";
    commands[1]->trigger();
    EXPECT_EQ(field->text(), u"abc"_s) << "redo";
    commands[6]->trigger();
    EXPECT_EQ(field->selectedText(), u"abc"_s);
    commands[3]->trigger();
    EXPECT_EQ(field->text(), u""_s) << "cut";
    commands[5]->trigger();
    commands[5]->trigger();
    EXPECT_EQ(field->text(), u"abcabc"_s) << "paste";
    QTest::keyClick(field, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), app.editor()->findField()) << "find";
}

TEST(AppDelegate, LaunchAtLoginFollowsTheServiceAndTheCallsSuccess) {
    App app;
    app.loginItems->currentStatus = LoginItemStatus::enabled;
    app.launch();
    QAction* item = app.items()[4];
    EXPECT_TRUE(item->isChecked());

    // A failed removal keeps the check mark and prints the line.
    app.loginItems->succeed = false;
    {
        CapturedStdout out;
        item->trigger();
        EXPECT_EQ(out.lines(),
                  QStringList{u"Failed to toggle launch at login: the service said no"_s});
    }
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(app.loginItems->unregisters, 1);

    app.loginItems->succeed = true;
    item->trigger();
    EXPECT_FALSE(item->isChecked());

    // A registration that succeeds but awaits approval shows the mark until the next rebuild.
    app.loginItems->statusAfterRegister = LoginItemStatus::requiresApproval;
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    setLanguage(AppLanguage::english);
    EXPECT_FALSE(app.items()[4]->isChecked());
}

TEST(AppDelegate, AnythingButEnabledIsOffAndChoosingItRegisters) {
    for (const LoginItemStatus status :
         {LoginItemStatus::notRegistered, LoginItemStatus::requiresApproval,
          LoginItemStatus::notFound}) {
        App app;
        app.loginItems->currentStatus = status;
        app.loginItems->succeed = false;
        app.launch();
        QAction* item = app.items()[4];
        EXPECT_FALSE(item->isChecked());
        CapturedStdout out;
        item->trigger();
        EXPECT_EQ(app.loginItems->registers, 1);
        EXPECT_EQ(app.loginItems->unregisters, 0);
        EXPECT_FALSE(item->isChecked()) << "a failed registration leaves no mark";
        EXPECT_EQ(out.lines().size(), 1);
    }
}

TEST(AppDelegate, QuitEndsTheEventLoopWithStatusZero) {
    App app;
    app.launch();
    QTimer::singleShot(0, app.items()[10], &QAction::trigger);
    // The application's own loop, as the program runs it: a bare QEventLoop would leave the
    // thread marked as quitting, and every later loop in this process would end at once.
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

TEST(AppDelegate, CallbacksOutlivingTheDelegateDoNothing) {
    App app;
    app.launch();
    // The quotes-changed callback, kept past its delegate: it must not reach the dead object
    // (AddressSanitizer reports it if it does), nor may the language observer.
    const std::function<void()> quotesChanged = app.delegate->quoteManager->onQuotesChanged;
    ASSERT_TRUE(quotesChanged);
    app.delegate.reset();
    quotesChanged();
    const int& notices = app.countLanguageNotices();
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    runMainQueue();
    EXPECT_EQ(notices, 1) << "the notice went out to the observers that remain";
}

TEST(AppDelegate, QuotesAreShownAsPlainText) {
    App app;
    writeBytes(app.home.quotesFile(), R"({"quotes": ["<b>bold</b> &amp; <i>"]})");
    app.launch();
    EXPECT_TRUE(app.marquee()->text().startsWith(u"<b>bold</b> &amp; <i>  "_s));
    app.delegate->openQuotesUI();
    QCoreApplication::processEvents();
    QWidget* row = app.editor()->rowWidget(0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->findChild<QLineEdit*>()->text(), u"<b>bold</b> &amp; <i>"_s);
}

namespace {

class RecordingNotifier final : public DesktopNotifier {
public:
    void notify(const QString& summary, const QString& body) override {
        notices.append({summary, body});
    }
    QList<QStringList> notices;
};

} // namespace

// The placeholder of a file that cannot be loaded speaks the interface language and is never
// saved; the copy a save keeps of that file is announced where a desktop user looks.
TEST(AppDelegate, PlaceholdersAreTranslatedAndAKeptCopyIsAnnounced) {
    TempHome home;
    ManualTiming manual;
    auto notifier = std::make_shared<RecordingNotifier>();
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    writeBytes(home.quotesFile(), "{broken");
    AppEnvironment environment{home.path(), std::make_shared<FakeLoginItems>(), manual.timing()};
    environment.notifier = notifier;
    AppDelegate delegate(environment);
    CapturedStdout out;
    delegate.applicationDidFinishLaunching();
    runMainQueue();
    QuoteManager& manager = *delegate.quoteManager;
    EXPECT_EQ(manager.quotes.get(), QStringList{u"Lỗi khi tải tệp trích dẫn"_s});
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    runMainQueue();
    EXPECT_EQ(manager.quotes.get(), QStringList{QuoteManager::loadErrorPlaceholder});
    EXPECT_EQ(delegate.displayController->quotes, manager.quotes.get());
    EXPECT_EQ(readBytes(home.quotesFile()), "{broken");

    manager.quotes.append(u"mine"_s);
    manager.saveQuotes();
    runMainQueue();
    EXPECT_EQ(QuotesDocument::decode(readBytes(home.quotesFile()), nullptr)->quotes,
              QStringList{u"mine"_s});
    ASSERT_EQ(notifier->notices.size(), 1);
    EXPECT_EQ(notifier->notices[0][0], u"Sayvane kept a copy of your quotes"_s);
    EXPECT_TRUE(notifier->notices[0][1].contains(home.quotesFile() + u".broken-"_s))
        << notifier->notices[0][1].toStdString();
}
