#include "QtTranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
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

TEST(QtTranslations, QtsFileDialogSpeaksEveryLanguage) {
    QtTranslations translations;
    auto texts = [](AppLanguage language, QtTranslations& translations) {
        translations.setLanguage(language);
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        QStringList shown;
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            shown << dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
        for (QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons())
            shown << button->text();
        shown << dialog.findChild<QComboBox*>(u"fileTypeCombo"_s)->currentText();
        return shown;
    };
    EXPECT_EQ(texts(AppLanguage::vietnamese, translations),
              (QStringList{u"Tìm trong:"_s, u"&Tên tệp:"_s, u"Kiểu tệp:"_s, u"&Mở"_s, u"Huỷ"_s,
                           u"Mọi tệp (*)"_s}));
    const QStringList chinese = texts(AppLanguage::chinese, translations);
    EXPECT_EQ(chinese.size(), 6);
    for (const QString& text : chinese)
        EXPECT_FALSE(text.contains(QRegularExpression(u"[A-Za-z]{3}"_s))) << text.toStdString();
    EXPECT_EQ(texts(AppLanguage::english, translations).value(0), u"Look in:"_s);
}
