#include "Localization.h"
#include "NotificationCenter.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QStringList keys = {u"Loading"_s, u"NoQuotes"_s, u"EditQuotes"_s, u"ReloadQuotes"_s,
                          u"LaunchAtLogin"_s, u"Quit"_s, u"Language"_s, u"Quote"_s,
                          u"AddNewQuote"_s, u"Add"_s, u"EditQuotesTitle"_s,
                          // The editor's Edit menu and the Screen submenu.
                          u"Edit"_s, u"Undo"_s, u"Redo"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s,
                          u"Delete"_s, u"SelectAll"_s, u"Screen"_s, u"ScreenAutomatic"_s,
                          // The editor's import.
                          u"Import"_s, u"ImportQuotesTitle"_s, u"ImportedQuotes"_s,
                          u"ImportedOneQuote"_s, u"ImportedNoQuotes"_s, u"ImportFailed"_s,
                          // The placeholders, and what a notice of a kept copy says.
                          u"NoQuotesFound"_s, u"ErrorLoadingQuotes"_s, u"CopyKeptTitle"_s,
                          u"ConflictCopyKept"_s, u"BrokenCopyKept"_s, u"DuplicateNamesCopyKept"_s};

std::unique_ptr<QSettings> settingsAt(const QString& path) {
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace

TEST(AppLanguage, RawValuesAndTheirExactInverse) {
    ASSERT_EQ(AppLanguages::allCases.size(), 3u);
    EXPECT_EQ(AppLanguages::allCases.front(), AppLanguage::english);
    EXPECT_EQ(AppLanguages::allCases[1], AppLanguage::vietnamese);
    EXPECT_EQ(AppLanguages::allCases.back(), AppLanguage::chinese);
    for (const AppLanguage language : AppLanguages::allCases)
        EXPECT_EQ(AppLanguages::fromRawValue(AppLanguages::rawValue(language)), language);
    EXPECT_EQ(AppLanguages::rawValue(AppLanguage::vietnamese), u"vi"_s);
    EXPECT_EQ(AppLanguages::fromRawValue(u"zh"_s), AppLanguage::chinese);
    for (const QString& other : {u"ZH"_s, u"En"_s, u""_s, u"en-US"_s, u" en"_s, u"vi "_s, u"fr"_s})
        EXPECT_FALSE(AppLanguages::fromRawValue(other)) << other.toStdString();
}

TEST(StringTables, EveryKeyHasItsOwnTextInEveryLanguage) {
    for (const AppLanguage language : AppLanguages::allCases) {
        std::set<QString> texts;
        for (const QString& key : keys) {
            const QString text = localizedString(language, key);
            // Vietnamese and Chinese nouns have no plural: one quote and many read alike.
            if (key == u"ImportedOneQuote"_s && language != AppLanguage::english) {
                EXPECT_EQ(text, localizedString(language, u"ImportedQuotes"_s));
                continue;
            }
            if (language != AppLanguage::english) {
                EXPECT_NE(text, key) << key.toStdString() << " is missing";
            }
            EXPECT_EQ(text, text.normalized(QString::NormalizationForm_C)) << "not precomposed";
            EXPECT_FALSE(text.contains(QChar(0x2026))) << "an ellipsis character, not three dots";
            texts.insert(text);
        }
        EXPECT_EQ(texts.size(),
                  static_cast<size_t>(keys.size()) - (language == AppLanguage::english ? 0 : 1));
    }
    EXPECT_EQ(localizedString(AppLanguage::vietnamese, u"Quote"_s).toUtf8(), "Tr\xC3\xAD"
                                                                             "ch d\xE1\xBA\xAB"
                                                                             "n");
    EXPECT_EQ(localizedString(AppLanguage::chinese, u"EditQuotesTitle"_s).toUtf8(),
              "\xE7\xBC\x96\xE8\xBE\x91\xE5\xBC\x95\xE8\xAF\xAD");
    EXPECT_EQ(localizedString(AppLanguage::english, u"AddNewQuote"_s), u"Add new quote..."_s);
    EXPECT_EQ(localizedString(AppLanguage::vietnamese, u"Loading"_s).toUtf8(),
              "\xC4\x90"
              "ang t\xE1\xBA\xA3i...");
    EXPECT_EQ(localizedString(AppLanguage::chinese, u"NoQuotes"_s), u"没有引语"_s);
}

TEST(StringTables, UnknownKeysComeBackUnchanged) {
    for (const AppLanguage language : AppLanguages::allCases) {
        EXPECT_EQ(localizedString(language, u"NotAKey"_s), u"NotAKey"_s);
        EXPECT_EQ(localizedString(language, u"quote"_s), u"quote"_s);
        EXPECT_EQ(localizedString(language, u""_s), u""_s);
    }
}

TEST(LocalizationManager, FirstRunIsEnglishAndWritesNothing) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Sayvane.conf"_s);
    LocalizationManager manager(settingsAt(path));
    EXPECT_EQ(manager.currentLanguage.get(), AppLanguage::english);
    EXPECT_EQ(manager.localizedString(u"Quit"_s), u"Quit"_s);
    runMainQueue();
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(LocalizationManager, AStoredChoiceIsTakenWithoutAnyEffect) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Sayvane.conf"_s);
    settingsAt(path)->setValue(u"AppLanguage"_s, u"zh"_s);
    const QByteArray before = readBytes(path);
    int notices = 0;
    NotificationCenter::defaultCenter().addObserver(u"LanguageChanged"_s,
                                                    [&notices] { ++notices; });

    LocalizationManager manager(settingsAt(path));
    runMainQueue();
    EXPECT_EQ(manager.currentLanguage.get(), AppLanguage::chinese);
    EXPECT_EQ(manager.localizedString(u"Quit"_s), u"退出"_s);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(readBytes(path), before);
}

TEST(LocalizationManager, AnUnknownStoredValueStartsEnglishAndStaysUntilAChoice) {
    for (const QString& stored : {u"fr"_s, u"ZH"_s, u"vi-VN"_s}) {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Sayvane.conf"_s);
        settingsAt(path)->setValue(u"AppLanguage"_s, stored);
        LocalizationManager manager(settingsAt(path));
        EXPECT_EQ(manager.currentLanguage.get(), AppLanguage::english);
        EXPECT_EQ(settingsAt(path)->value(u"AppLanguage"_s).toString(), stored);
        manager.currentLanguage = AppLanguage::english;
        EXPECT_EQ(settingsAt(path)->value(u"AppLanguage"_s).toString(), u"en"_s);
    }
}

TEST(LocalizationManager, AnAssignmentSignalsStoresWritesAndPostsInThatOrder) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Sayvane.conf"_s);
    LocalizationManager manager(settingsAt(path));
    std::vector<std::string> log;
    QObject::connect(&manager, &ObservableObject::objectWillChange, [&] {
        log.push_back("signal, current " +
                      AppLanguages::rawValue(manager.currentLanguage).toStdString() + ", stored " +
                      settingsAt(path)->value(u"AppLanguage"_s).toString().toStdString());
    });
    NotificationCenter::defaultCenter().addObserver(u"LanguageChanged"_s, [&] {
        log.push_back("notice, current " +
                      AppLanguages::rawValue(manager.currentLanguage).toStdString() + ", stored " +
                      settingsAt(path)->value(u"AppLanguage"_s).toString().toStdString() +
                      ", quit " + manager.localizedString(u"Quit"_s).toStdString());
    });

    manager.currentLanguage = AppLanguage::chinese;
    EXPECT_EQ(settingsAt(path)->value(u"AppLanguage"_s).toString(), u"zh"_s)
        << "the choice is written when the assignment returns";
    runMainQueue();
    manager.currentLanguage = AppLanguage::chinese;
    runMainQueue();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "signal, current en, stored ",
                       "notice, current zh, stored zh, quit 退出",
                       "signal, current zh, stored zh",
                       "notice, current zh, stored zh, quit 退出",
                   }));
}

TEST(LocalizationManager, TheChoiceIsThereForTheNextRun) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Sayvane.conf"_s);
    {
        LocalizationManager first(settingsAt(path));
        first.currentLanguage = AppLanguage::vietnamese;
    }
    LocalizationManager second(settingsAt(path));
    EXPECT_EQ(second.currentLanguage.get(), AppLanguage::vietnamese);
    EXPECT_EQ(second.localizedString(u"Add"_s), u"Thêm"_s);
}

TEST(LocalizationManager, SharedIsOneInstanceEvenUnderConcurrentFirstUse) {
    std::vector<LocalizationManager*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &LocalizationManager::shared(); });
    for (auto& thread : threads)
        thread.join();
    for (LocalizationManager* manager : seen)
        EXPECT_EQ(manager, &LocalizationManager::shared());
    EXPECT_EQ(LocalizationManager::shared().thread(), QThread::currentThread())
        << "the instance belongs to the main thread whichever thread made it";
}

TEST(LocalizationManager, TheProgramsUserDefaultsAreSayvaneConfUnderTheHomeFolder) {
    // The test process's home is a temporary folder (see the test main).
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    const QString path = QDir::homePath() + u"/.config/Sayvane/Sayvane.conf"_s;
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(u"AppLanguage"_s).toString(), u"vi"_s);
}
