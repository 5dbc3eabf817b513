#include "QtTranslations.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString firstCommand(QLineEdit& field) {
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    return menu->actions().value(0) ? menu->actions()[0]->text() : QString();
}

} // namespace

TEST(QtTranslations, TheTextFieldMenuFollowsTheLanguage) {
    QLineEdit field;
    QtTranslations translations;
    const QString english = firstCommand(field);
    ASSERT_TRUE(english.startsWith(u"&Undo"_s)) << english.toStdString();

    // Qt ships Chinese: its own file answers, for texts the program's tables do not have too.
    translations.setLanguage(AppLanguage::chinese);
    EXPECT_TRUE(firstCommand(field).startsWith(u"撤消"_s) ||
                firstCommand(field).startsWith(u"撤销"_s))
        << firstCommand(field).toStdString();
    EXPECT_FALSE(QCoreApplication::translate("QWidgetTextControl", "Copy &Link Location")
                     .startsWith(u"Copy"_s));

    // Qt ships no Vietnamese: the editing commands come from the program's tables.
    translations.setLanguage(AppLanguage::vietnamese);
    EXPECT_TRUE(firstCommand(field).startsWith(u"Hoàn tác"_s)) << firstCommand(field).toStdString();
    EXPECT_EQ(QLineEdit::tr("Select All"), u"Chọn tất cả"_s);
    EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "Copy &Link Location"),
              u"Copy &Link Location"_s)
        << "anything else stays as Qt has it";

    translations.setLanguage(AppLanguage::english);
    EXPECT_EQ(firstCommand(field), english);
}

TEST(QtTranslations, AMissingTranslationFolderStillGivesTheProgramsOwnTexts) {
    QTemporaryDir empty;
    QtTranslations translations(empty.path());
    translations.setLanguage(AppLanguage::chinese);
    EXPECT_EQ(QLineEdit::tr("&Paste"), u"粘贴"_s);
    EXPECT_EQ(QLineEdit::tr("Delete"), u"删除"_s);
}
