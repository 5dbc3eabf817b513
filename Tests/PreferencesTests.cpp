// The settings file read and written through the typed settings: each key's values, the
// fallbacks with their one line, writes, and changes made by others followed.

#include "Preferences.h"
#include "Settings.h"
#include "TestSupport.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Case {
    QString key;
    QString text;
    // Invalid: refused.
    QVariant value;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.key.toStdString() << "=" << c.text.toStdString();
}

class SettingTexts : public ::testing::TestWithParam<Case> {};

const Case cases[] = {
    {u"Strip"_s, u" OFF "_s, u"off"_s},
    {u"Strip"_s, u"sometimes"_s, {}},
    {u"StripWidth"_s, u"100"_s, 100},
    {u"StripWidth"_s, u"1000"_s, 1000},
    {u"StripWidth"_s, u"99"_s, {}},
    {u"StripWidth"_s, u"1001"_s, {}},
    {u"StripWidth"_s, u"400px"_s, {}},
    {u"StripSpeed"_s, u"9"_s, {}},
    {u"StripSpeed"_s, u"300"_s, 300},
    {u"StripFontSize"_s, u"20"_s, 20},
    {u"StripAlign"_s, u"Center"_s, u"center"_s},
    {u"StripAlign"_s, u"middle"_s, {}},
    {u"PauseOnHover"_s, u"false"_s, false},
    {u"PauseOnHover"_s, u"1"_s, true},
    {u"PauseOnHover"_s, u"maybe"_s, {}},
    {u"Order"_s, u"shuffled"_s, u"shuffled"_s},
    {u"Label"_s, u" Quote "_s, u"quote"_s},
    {u"LabelColumns"_s, u"4"_s, {}},
    {u"LabelInterval"_s, u"100"_s, 100},
    {u"Screen"_s, u"HDMI-1"_s, u"HDMI-1"_s},
    {u"AppLanguage"_s, u"zh"_s, u"zh"_s},
    // The language codes are exact, as they always were.
    {u"AppLanguage"_s, u"ZH"_s, {}},
    {u"AppLanguage"_s, u" vi"_s, {}},
};

} // namespace

TEST_P(SettingTexts, GiveTheirValueOrAReasonNamingWhatTheKeyTakes) {
    const Case& given = GetParam();
    const SettingKey* key = SettingKeys::find(given.key);
    ASSERT_TRUE(key);
    const auto parsed = key->parse(given.text);
    if (given.value.isValid()) {
        ASSERT_TRUE(std::holds_alternative<QVariant>(parsed));
        EXPECT_EQ(std::get<QVariant>(parsed), given.value);
    } else {
        ASSERT_TRUE(std::holds_alternative<QString>(parsed));
        const QString reason = std::get<QString>(parsed);
        EXPECT_TRUE(reason.startsWith(given.key + u" takes "_s)) << reason.toStdString();
        EXPECT_TRUE(reason.contains(given.text)) << reason.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Preferences, SettingTexts, ::testing::ValuesIn(cases));

TEST(Preferences, BadValuesFallBackWithOneLineEachSaidOnce) {
    TempHome home;
    {
        const auto file = Settings::open();
        file->setValue(u"StripWidth"_s, u"5000"_s);
        file->setValue(u"Order"_s, u"backwards"_s);
        file->setValue(u"LabelColumns"_s, u"-3"_s);
        file->setValue(u"LabelInterval"_s, u"99999999999999999999"_s);
        // An unknown language is the language manager's to leave alone, without a word.
        file->setValue(u"AppLanguage"_s, u"fr"_s);
    }
    CapturedStdout errors(stderr);
    Preferences preferences;
    EXPECT_EQ(preferences.stripWidth(), 250);
    EXPECT_EQ(preferences.order(), QuoteOrder::written);
    EXPECT_EQ(preferences.label().columns, LabelSettings::minimumColumns)
        << "the label's numbers are brought into range, as they always were";
    EXPECT_EQ(preferences.label().intervalMilliseconds, LabelSettings::defaultInterval)
        << "a number too long to read is no number";
    EXPECT_EQ(preferences.language(), AppLanguage::english);
    const QStringList lines = errors.lines();
    ASSERT_EQ(lines.size(), 4) << errors.text().toStdString();
    EXPECT_TRUE(lines[0].startsWith(u"sayvane: "_s) && lines[0].contains(u"Sayvane.conf"_s));
    EXPECT_TRUE(lines[0].endsWith(u"StripWidth takes a whole number of pixels from 100 to 1000, "
                                  u"not \"5000\"; using 250."_s))
        << lines[0].toStdString();

    preferences.reload();
    EXPECT_EQ(errors.lines().size(), 4) << "the same bad values are not said again";
    Settings::open()->setValue(u"StripWidth"_s, u"4"_s);
    preferences.reload();
    EXPECT_EQ(errors.lines().size(), 5) << "another bad value is";
}

TEST(Preferences, SetWritesAndTellsOnceWhileRefusalsChangeNothing) {
    TempHome home;
    Preferences preferences;
    QSignalSpy changed(&preferences, &Preferences::changed);
    EXPECT_EQ(preferences.set(u"StripWidth"_s, 400), std::nullopt);
    EXPECT_EQ(preferences.set(u"StripWidth"_s, u"400"_s), std::nullopt);
    EXPECT_EQ(preferences.set(u"PauseOnHover"_s, false), std::nullopt);
    EXPECT_EQ(preferences.set(u"Screen"_s, u""_s), std::nullopt);
    ASSERT_EQ(changed.size(), 2) << "a value set again, or one unchanged, is no change";
    EXPECT_EQ(changed[0][0].toString(), u"StripWidth"_s);
    EXPECT_EQ(Settings::open()->value(u"StripWidth"_s).toString(), u"400"_s);
    EXPECT_EQ(Settings::open()->value(u"PauseOnHover"_s).toString(), u"false"_s);

    EXPECT_TRUE(preferences.set(u"StripWidth"_s, 5000).has_value());
    EXPECT_TRUE(preferences.set(u"Colour"_s, u"red"_s).has_value());
    EXPECT_EQ(preferences.stripWidth(), 400);
    EXPECT_FALSE(Settings::open()->contains(u"Colour"_s));
    EXPECT_EQ(changed.size(), 2);
}

TEST(Preferences, AHandEditIsFollowedAndTheProgramsOwnWritesAreNotTakenForOne) {
    TempHome home;
    Preferences preferences;
    preferences.follow();
    QSignalSpy changed(&preferences, &Preferences::changed);
    ASSERT_EQ(preferences.set(u"StripSpeed"_s, 60), std::nullopt);
    ASSERT_EQ(changed.size(), 1);
    // A text editor saves by rename, and keeps what it does not know.
    QString text = QString::fromUtf8(readBytes(Settings::path()));
    text.replace(u"StripSpeed=60"_s, u"StripSpeed=90\nStripAlign=left"_s);
    ASSERT_TRUE(replaceByRename(Settings::path(), text.toUtf8()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() >= 3; }, 5000));
    // A later edit as a witness: once it is signalled, anything the program's own write or the
    // edit above was still to bring has come.
    text.replace(u"StripAlign=left"_s, u"StripAlign=left\nStripWidth=300"_s);
    ASSERT_TRUE(replaceByRename(Settings::path(), text.toUtf8()));
    const auto names = [&] {
        QStringList all;
        for (const QList<QVariant>& signal : changed)
            all.append(signal[0].toString());
        return all;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return names().contains(u"StripWidth"_s); }, 5000));
    EXPECT_EQ(names(),
              (QStringList{u"StripSpeed"_s, u"StripSpeed"_s, u"StripAlign"_s, u"StripWidth"_s}));
    EXPECT_EQ(preferences.stripSpeed(), 90);
    EXPECT_EQ(preferences.stripAlignment(), Qt::AlignLeft);
}
