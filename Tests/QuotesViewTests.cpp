#include "EditMenu.h"
#include "EditorWindow.h"
#include "Localization.h"
#include "QuoteFilter.h"
#include "QuoteListModel.h"
#include "QuoteManager.h"
#include "QuoteText.h"
#include "QuotesDocument.h"
#include "QuotesView.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Editor {
    TempHome home;
    QTemporaryDir settingsFolder;
    QuoteManager manager{home.path()};
    LocalizationManager loc{
        std::make_unique<QSettings>(settingsFolder.filePath(u"s.conf"_s), QSettings::IniFormat)};
    // The view in its window, under the Edit menu, as the program shows it.
    std::unique_ptr<QMenu> mainMenu = EditMenu::makeMainMenu();
    std::unique_ptr<QWidget> window;
    QuotesView* view = nullptr;

    explicit Editor(const QStringList& quotes = {u"One"_s, u"Two"_s, u"Three"_s}) {
        manager.quotes = quotes;
        manager.saveQuotes();
        runMainQueue();
        window = EditorWindow::make(manager, loc, mainMenu.get());
        view = window->findChild<QuotesView*>();
        window->resize(500, 440);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }
    void settle() {
        runMainQueue();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QLineEdit* field(int row) const {
        QWidget* widget = view->rowWidget(row);
        return widget ? widget->findChild<QLineEdit*>(u"quoteField"_s) : nullptr;
    }
    QToolButton* removeButton(int row) const {
        QWidget* widget = view->rowWidget(row);
        return widget ? widget->findChild<QToolButton*>(u"removeButton"_s) : nullptr;
    }
    QStringList file() const {
        QString error;
        const auto content = QuotesDocument::decode(readBytes(home.quotesFile()), &error);
        return content ? content->quotes : QStringList{u"<unreadable>"_s};
    }
    int openRows() const {
        return static_cast<int>(view->listView()->viewport()->findChildren<QLineEdit*>().size());
    }
};

} // namespace

TEST(QuotesView, ARowForEveryQuoteInOrder) {
    Editor editor;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(editor.field(i)) << "row " << i;
        EXPECT_EQ(editor.field(i)->text(), editor.manager.quotes.get()[i]);
        EXPECT_EQ(editor.field(i)->placeholderText(), u"Quote"_s);
        EXPECT_TRUE(editor.removeButton(i));
    }
    EXPECT_FALSE(editor.field(3));
    EXPECT_GE(editor.view->minimumWidth(), 400);
    EXPECT_GE(editor.view->minimumHeight(), 300);
    EXPECT_EQ(editor.view->newQuoteField()->placeholderText(), u"Add new quote..."_s);
    EXPECT_EQ(editor.view->addButton()->text(), u"Add"_s);
    EXPECT_FALSE(editor.view->addButton()->isEnabled());
}

TEST(QuotesView, RowsHaveFourPixelsAboveAndBelow) {
    Editor editor;
    const QRect row =
        editor.view->listView()->visualRect(editor.view->listView()->model()->index(1, 0));
    const QRect widget = editor.view->rowWidget(1)->geometry();
    EXPECT_EQ(widget.top() - row.top(), 4);
    EXPECT_EQ(row.bottom() - widget.bottom(), 4);
}

TEST(QuotesView, TypingWritesEveryChangeIntoTheListWithoutSavingOrLosingTheField) {
    Editor editor;
    QLineEdit* field = editor.field(1);
    field->setFocus();
    field->setCursorPosition(1);
    int changes = 0;
    QObject::connect(&editor.manager, &ObservableObject::objectWillChange,
                     [&changes] { ++changes; });

    QTest::keyClicks(field, u"ab"_s);
    EXPECT_EQ(changes, 2) << "one signalled change per keystroke";
    EXPECT_EQ(editor.manager.quotes.get()[1], u"Tabwo"_s);
    editor.settle();
    EXPECT_EQ(editor.field(1), field) << "the row is not rebuilt";
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->cursorPosition(), 3);
    EXPECT_TRUE(field->isUndoAvailable());
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Two"_s, u"Three"_s})) << "nothing is saved";

    field->undo();
    EXPECT_EQ(editor.manager.quotes.get()[1], u"Two"_s) << "undo is an edit like any other";
}

TEST(QuotesView, ReturnInARowSavesEveryUnsavedEdit) {
    Editor editor;
    editor.field(0)->setFocus();
    QTest::keyClick(editor.field(0), Qt::Key_End);
    QTest::keyClicks(editor.field(0), u"!"_s);
    editor.field(2)->setFocus();
    editor.field(2)->selectAll();
    QTest::keyClick(editor.field(2), Qt::Key_Delete);
    QTest::keyClick(editor.field(2), Qt::Key_Return);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"One!"_s, u"Two"_s, u""_s}))
        << "an emptied row is saved empty";
}

TEST(QuotesView, AQuoteLongerThanALineEditsDefaultLimitIsNeitherCutNorSavedCut) {
    QString longQuote(40'000, u'x');
    longQuote.back() = u'!';
    Editor editor({longQuote});
    QLineEdit* field = editor.field(0);
    ASSERT_EQ(field->text().size(), 40'000);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Return);
    editor.settle();
    EXPECT_EQ(editor.file(), QStringList{longQuote.chopped(1)});

    QLineEdit* newQuote = editor.view->newQuoteField();
    newQuote->setFocus();
    newQuote->insert(longQuote);
    QTest::keyClick(newQuote, Qt::Key_Return);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{longQuote.chopped(1), longQuote}));
}

TEST(QuotesView, TheTrashButtonRemovesItsRowAndSaves) {
    Editor editor;
    QTest::mouseClick(editor.removeButton(1), Qt::LeftButton);
    editor.settle();
    EXPECT_EQ(editor.manager.quotes.get(), (QStringList{u"One"_s, u"Three"_s}));
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Three"_s}));
    ASSERT_TRUE(editor.field(1));
    EXPECT_EQ(editor.field(1)->text(), u"Three"_s) << "the former row 2 is row 1";
    EXPECT_FALSE(editor.field(2));

    QTest::mouseClick(editor.removeButton(0), Qt::LeftButton);
    QTest::mouseClick(editor.removeButton(0), Qt::LeftButton);
    editor.settle();
    EXPECT_TRUE(editor.manager.quotes->isEmpty());
    EXPECT_TRUE(editor.file().isEmpty());
    EXPECT_FALSE(editor.field(0));
}

TEST(QuotesView, AddingTrimsAppendsSavesAndEmptiesTheField) {
    Editor editor(QStringList{});
    EXPECT_FALSE(editor.field(0));
    QLineEdit* field = editor.view->newQuoteField();
    field->setText(u" \t\u3000 Less  is more \u2028\u0085 "_s);
    EXPECT_TRUE(editor.view->addButton()->isEnabled());
    QTest::mouseClick(editor.view->addButton(), Qt::LeftButton);
    editor.settle();
    EXPECT_EQ(editor.manager.quotes.get(), QStringList{u"Less  is more"_s});
    EXPECT_EQ(editor.file(), QStringList{u"Less  is more"_s});
    EXPECT_TRUE(field->text().isEmpty());
    ASSERT_TRUE(editor.field(0)) << "the first quote becomes row 0";
    EXPECT_EQ(editor.field(0)->text(), u"Less  is more"_s);

    field->setFocus();
    QTest::keyClicks(field, u"Less  is more"_s);
    QTest::keyClick(field, Qt::Key_Return);
    editor.settle();
    EXPECT_EQ(editor.manager.quotes.get(), (QStringList{u"Less  is more"_s, u"Less  is more"_s}))
        << "a duplicate is added like any other";
}

TEST(QuotesView, OnlyBlanksAddNothing) {
    Editor editor;
    QLineEdit* field = editor.view->newQuoteField();
    field->setFocus();
    QTest::keyClicks(field, u"   "_s);
    field->insert(u"\t"_s);
    EXPECT_FALSE(editor.view->addButton()->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    editor.settle();
    EXPECT_EQ(editor.manager.quotes->size(), 3);
    EXPECT_EQ(field->text(), u"   \t"_s) << "the field keeps its text";
}

TEST(QuotesView, TrimmingUsesTheWhitespaceAndNewlineSet) {
    EXPECT_EQ(trimmedWhitespaceAndNewlines(u"\u00a0\u2003x y\u2029\r\n\u000b\u000c"_s), u"x y"_s);
    EXPECT_EQ(trimmedWhitespaceAndNewlines(u"\u200bx\u200b"_s), u"\u200bx\u200b"_s)
        << "a zero-width space is not in the set";
    EXPECT_EQ(trimmedWhitespaceAndNewlines(u" \n "_s), u""_s);
    EXPECT_EQ(trimmedWhitespaceAndNewlines(u"🌟 "_s), u"🌟"_s);
}

TEST(QuotesView, TextsFollowTheLanguage) {
    Editor editor;
    editor.field(0)->setFocus();
    QTest::keyClick(editor.field(0), Qt::Key_End);
    QTest::keyClicks(editor.field(0), u" typed"_s);
    editor.view->newQuoteField()->setText(u"draft"_s);
    editor.loc.currentLanguage = AppLanguage::vietnamese;
    editor.settle();
    EXPECT_EQ(editor.field(1)->placeholderText(), u"Trích dẫn"_s);
    EXPECT_EQ(editor.view->newQuoteField()->placeholderText(), u"Thêm trích dẫn mới..."_s);
    EXPECT_EQ(editor.view->addButton()->text(), u"Thêm"_s);
    EXPECT_EQ(editor.field(0)->text(), u"One typed"_s);
    EXPECT_EQ(editor.view->newQuote(), u"draft"_s);
}

TEST(QuotesView, RowsFollowAReloadAndStaleControlsDoNothing) {
    Editor editor;
    QToolButton* staleRemove = editor.removeButton(2);
    QLineEdit* staleField = editor.field(2);
    editor.manager.quotes = {u"Only"_s};
    // Before the view has caught up, the old row's controls meet a position that is gone.
    QTest::mouseClick(staleRemove, Qt::LeftButton);
    staleField->setText(u"ghost"_s);
    EXPECT_EQ(editor.manager.quotes.get(), QStringList{u"Only"_s});
    editor.settle();
    ASSERT_TRUE(editor.field(0));
    EXPECT_EQ(editor.field(0)->text(), u"Only"_s);
    EXPECT_FALSE(editor.field(1));
}

TEST(QuotesView, ALongListKeepsOnlyTheRowsInView) {
    QStringList quotes;
    for (int i = 0; i < 100'000; ++i)
        quotes << u"Quote %1"_s.arg(i);
    Editor editor(quotes);
    EXPECT_LT(editor.openRows(), 40);
    QLineEdit* field = editor.field(0);
    ASSERT_TRUE(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, u"xyz"_s);
    editor.settle();
    EXPECT_EQ(editor.field(0), field);
    EXPECT_EQ(editor.manager.quotes.get()[0], u"Quote 0xyz"_s);

    editor.view->listView()->scrollToBottom();
    editor.settle();
    EXPECT_TRUE(editor.field(99'999));
    EXPECT_EQ(editor.field(99'999)->text(), u"Quote 99999"_s);
    EXPECT_LT(editor.openRows(), 45) << "rows out of view are let go, but the one being typed in";
    EXPECT_EQ(editor.field(0), field);
}

TEST(QuotesView, ImportButtonImportsTheChosenFileAndSaysWhatCameOfIt) {
    Editor editor;
    const QString path = QDir(editor.home.path()).filePath(u"proverbs.txt"_s);
    writeBytes(path, "Two\nFour\nFive\n");
    EXPECT_EQ(editor.view->importButton()->text(), u"Import..."_s);
    EXPECT_FALSE(editor.view->importStatus()->isVisible());

    QTest::mouseClick(editor.view->importButton(), Qt::LeftButton);
    auto* dialog = editor.view->findChild<QFileDialog*>(u"importDialog"_s);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Two"_s, u"Three"_s, u"Four"_s, u"Five"_s}));
    ASSERT_TRUE(editor.field(4)) << "the new rows show";
    EXPECT_EQ(editor.field(4)->text(), u"Five"_s);
    EXPECT_TRUE(editor.view->importStatus()->isVisible());
    EXPECT_EQ(editor.view->importStatus()->text(), u"Imported 2 quotes from proverbs.txt"_s);

    editor.loc.currentLanguage = AppLanguage::vietnamese;
    editor.settle();
    EXPECT_EQ(editor.view->importButton()->text(), u"Nhập từ tệp..."_s);
    EXPECT_EQ(editor.view->importStatus()->text(), u"Đã nhập 2 trích dẫn từ proverbs.txt"_s);

    editor.view->importQuotes(path);
    EXPECT_EQ(editor.view->importStatus()->text(), u"Không có trích dẫn mới trong proverbs.txt"_s);
    editor.view->importQuotes(path + u".gone"_s);
    EXPECT_TRUE(editor.view->importStatus()->text().startsWith(u"Không nhập được trích dẫn: "_s));
    EXPECT_EQ(editor.manager.quotes->size(), 5);
}

TEST(QuotesView, AKeystrokeSignalsItsOwnRowOnlyAndAChangeElsewhereEveryRow) {
    Editor editor({u"One"_s, u"Two"_s, u"Three"_s});
    QAbstractItemModel* model = editor.view->listView()->model();
    std::vector<std::pair<int, int>> signalled;
    QObject::connect(model, &QAbstractItemModel::dataChanged, model,
                     [&](const QModelIndex& first, const QModelIndex& last) {
                         signalled.emplace_back(first.row(), last.row());
                     });
    QLineEdit* field = editor.field(1);
    ASSERT_TRUE(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, u"ab"_s);
    editor.settle();
    EXPECT_EQ(editor.manager.quotes.get()[1], u"Twoab"_s);
    EXPECT_EQ(signalled, (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}}));

    signalled.clear();
    editor.manager.quotes = QStringList{u"Uno"_s, u"Dos"_s, u"Tres"_s};
    editor.settle();
    EXPECT_EQ(signalled, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(editor.field(0)->text(), u"Uno"_s);
}

TEST(QuotesView, TheTrashButtonsStayPutFromTheFirstChangeOn) {
    // A second quick click on a trash button must not land in a field.
    Editor editor({u"One"_s, u"Two"_s, u"Three"_s, u"Four"_s});
    auto column = [&editor](int row) {
        QToolButton* button = editor.removeButton(row);
        return button ? button->mapTo(editor.view, QPoint()).x() : -1;
    };
    const int x = column(0);
    ASSERT_GT(x, 0);

    QTest::mouseClick(editor.removeButton(0), Qt::LeftButton);
    editor.settle();
    EXPECT_EQ(column(0), x);
    EXPECT_EQ(column(2), x);
    editor.view->newQuoteField()->setText(u"Five"_s);
    QTest::mouseClick(editor.view->addButton(), Qt::LeftButton);
    editor.settle();
    EXPECT_EQ(column(3), x);
}

TEST(QuotesView, FindShowsTheQuotesContainingTheTextWhateverTheirCaseAndAccents) {
    const QStringList quotes = {u"Con đường xa"_s, u"Two roads"_s, u"ĐƯỜNG DÀI"_s, u"路"_s};
    Editor editor(quotes);
    const QByteArray file = readBytes(editor.home.quotesFile());
    QLineEdit* find = editor.view->findField();
    QTest::keyClicks(find, u"duong"_s);
    editor.settle();
    EXPECT_TRUE(editor.field(0) && editor.field(2));
    EXPECT_FALSE(editor.field(1) || editor.field(3));
    EXPECT_EQ(editor.view->listView()->model()->rowCount(), 2);
    EXPECT_EQ(editor.manager.quotes.get(), quotes) << "the list and its order stay";
    EXPECT_EQ(readBytes(editor.home.quotesFile()), file) << "finding writes nothing";

    // The rows shown act on their own quotes, not on those at their place in the view.
    QTest::keyClick(editor.field(2), Qt::Key_End);
    QTest::keyClicks(editor.field(2), u"!"_s);
    EXPECT_EQ(editor.manager.quotes.get()[2], u"ĐƯỜNG DÀI!"_s);
    QTest::mouseClick(editor.removeButton(2), Qt::LeftButton);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"Con đường xa"_s, u"Two roads"_s, u"路"_s}));

    find->setText(u"nowhere"_s);
    editor.settle();
    EXPECT_TRUE(editor.view->noMatches()->isVisible());
    EXPECT_EQ(editor.view->noMatches()->text(), u"No quote contains \u201cnowhere\u201d"_s);
    QTest::keyClick(find, Qt::Key_Escape);
    editor.settle();
    EXPECT_TRUE(find->text().isEmpty());
    EXPECT_FALSE(editor.view->noMatches()->isVisible());
    EXPECT_EQ(editor.view->listView()->model()->rowCount(), 3);

    // A quote typed into since the last search is found by what it reads now.
    editor.field(2)->end(false);
    editor.field(2)->insert(u" mới"_s);
    find->setText(u"MOI"_s);
    editor.settle();
    EXPECT_EQ(editor.view->listView()->model()->rowCount(), 1);
    EXPECT_TRUE(editor.field(2));
    find->clear();

    // Ctrl+Z in the search field takes back the removal of a quote found, not the typing.
    find->setFocus();
    QTest::keyClicks(find, u"ROADS"_s);
    QTest::mouseClick(editor.removeButton(1), Qt::LeftButton);
    QTest::keyClick(find, Qt::Key_Z, Qt::ControlModifier);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"Con đường xa"_s, u"Two roads"_s, u"路 mới"_s}));
    EXPECT_EQ(find->text(), u"ROADS"_s);

    // Letters with a stroke have no decomposition; full-width letters and ligatures do.
    EXPECT_EQ(QuoteFilter::foldedForSearch(u"Łódź Øre ＡＢＣ ﬁne 路"_s), u"lodz ore abc fine 路"_s);
}

namespace {

// The Edit menu's title for Undo or Redo as it shows when opened.
QString menuTitle(const Editor& editor, const QString& command) {
    QMenu* edit = EditMenu::editMenu(editor.mainMenu.get());
    Q_EMIT edit->aboutToShow();
    for (QAction* item : edit->actions()) {
        if (item->objectName() == command)
            return item->text();
    }
    return {};
}

} // namespace

TEST(QuotesView, CtrlZTakesBackTheListsStepsEachSavedAndTheMenuNamesThem) {
    Editor editor;
    QLineEdit* add = editor.view->newQuoteField();
    add->setFocus();
    QTest::keyClicks(add, u"Four"_s);
    QTest::keyClick(add, Qt::Key_Return);
    QTest::mouseClick(editor.removeButton(1), Qt::LeftButton);
    editor.settle();
    ASSERT_EQ(editor.file(), (QStringList{u"One"_s, u"Three"_s, u"Four"_s}));
    EXPECT_EQ(menuTitle(editor, u"Undo"_s), u"Undo Delete Quote"_s);

    // Focus is still in the add field, which must not bring back the text it added.
    QTest::keyClick(add, Qt::Key_Z, Qt::ControlModifier);
    editor.settle();
    EXPECT_TRUE(add->text().isEmpty());
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Two"_s, u"Three"_s, u"Four"_s}))
        << "the quote is back at its place, and saved";
    ASSERT_TRUE(editor.field(1));
    EXPECT_EQ(editor.field(1)->text(), u"Two"_s);
    EXPECT_EQ(menuTitle(editor, u"Undo"_s), u"Undo Add Quote"_s);
    EXPECT_EQ(menuTitle(editor, u"Redo"_s), u"Redo Delete Quote"_s);
    QTest::keyClick(add, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Three"_s, u"Four"_s})) << "deleted again";

    // An edit submitted with Return is a step too; typing not submitted is taken back first.
    QLineEdit* row = editor.field(0);
    row->setFocus();
    QTest::keyClick(row, Qt::Key_End);
    QTest::keyClicks(row, u"!"_s);
    QTest::keyClick(row, Qt::Key_Return);
    QTest::keyClicks(row, u"?"_s);
    editor.settle();
    EXPECT_EQ(editor.file().value(0), u"One!"_s);
    QTest::keyClick(row, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(row->text(), u"One!"_s) << "the field's own typing";
    EXPECT_EQ(menuTitle(editor, u"Undo"_s), u"Undo Edit Quote"_s);
    QTest::keyClick(row, Qt::Key_Z, Qt::ControlModifier);
    editor.settle();
    EXPECT_EQ(row->text(), u"One"_s);
    EXPECT_EQ(editor.file().value(0), u"One"_s);

    editor.loc.currentLanguage = AppLanguage::vietnamese;
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    EditMenu::retitle(editor.mainMenu.get());
    EXPECT_EQ(menuTitle(editor, u"Redo"_s), u"Làm lại sửa trích dẫn"_s);
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
}

TEST(QuotesView, AltUpAndADropMoveARowAndSaveTheOrder) {
    Editor editor({u"One"_s, u"Two"_s, u"Three"_s, u"Four"_s});
    QLineEdit* three = editor.field(2);
    three->setFocus();
    QTest::keyClick(three, Qt::Key_Up, Qt::AltModifier);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Three"_s, u"Two"_s, u"Four"_s}));
    EXPECT_EQ(editor.field(1), three) << "the row moves with its field";
    EXPECT_EQ(QApplication::focusWidget(), three);

    // Row 3 dropped on the upper half of row 0 goes before it.
    QListView* list = editor.view->listView();
    const QPoint target = list->visualRect(list->model()->index(0, 0)).topLeft() + QPoint(20, 3);
    std::unique_ptr<QMimeData> data(QuoteListModel::mimeDataOfRow(3));
    QDragEnterEvent enter(target, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(target, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
    ASSERT_TRUE(move.isAccepted());
    QDropEvent drop(target, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"Four"_s, u"One"_s, u"Three"_s, u"Two"_s}));

    editor.view->undo();
    editor.settle();
    EXPECT_EQ(editor.file(), (QStringList{u"One"_s, u"Three"_s, u"Two"_s, u"Four"_s}));
}

// Quit and SIGTERM save what is typed and not submitted: a row's edit, and the new-quote field's
// text as an addition (the program calls saveUnsavedEdits() at both). A blank field adds nothing.
TEST(QuotesView, TextTypedAndNotSubmittedIsSavedAtTheEnd) {
    Editor editor;
    QTest::keyClick(editor.field(1), Qt::Key_End);
    QTest::keyClicks(editor.field(1), u" edited"_s);
    QTest::keyClicks(editor.view->newQuoteField(), u"  typed, not added "_s);
    editor.manager.saveUnsavedEdits();
    EXPECT_EQ(editor.file().join(u'|').toStdString(), "One|Two edited|Three|typed, not added");
    editor.view->newQuoteField()->setText(u"\u200B\uFEFF "_s);
    EXPECT_FALSE(editor.view->addButton()->isEnabled()) << "invisible characters are blank";
    EXPECT_FALSE(editor.manager.hasUnsavedEdits());
}
