#include "Localization.h"
#include "QuoteManager.h"
#include "QuotesView.h"
#include "SampleQuotes.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// One keystroke in a row of the editor (500 pixels wide), with the list at the given size,
// against the same keystroke in a plain line edit of a row field's size (size 1). The events the
// keystroke leaves behind (the view's refresh) are part of its cost.
void keystroke(benchmark::State& state) {
    TempHome home;
    QuoteManager manager(home.path());
    QStringList quotes;
    for (int i = 0; i < std::max<int64_t>(state.range(0), 2); ++i)
        quotes << u"Quote %1: simplicity is the ultimate sophistication."_s.arg(i);
    manager.quotes = quotes;
    QuotesView view(manager, LocalizationManager::shared());
    view.resize(500, 400);
    view.show();
    QCoreApplication::processEvents();
    QLineEdit* field = view.rowWidget(0)->findChild<QLineEdit*>(u"quoteField"_s);
    QLineEdit plain;
    if (state.range(0) == 1) {
        // The editor closes; a plain field of a row field's size takes the keystrokes, since
        // painting a field costs by its size.
        plain.resize(field->size());
        view.hide();
        plain.show();
        field = &plain;
    }
    field->setFocus();
    field->end(false);
    QCoreApplication::processEvents();
    int typed = 0;
    for (auto _ : state) {
        QTest::keyClick(field, (++typed % 2) ? Qt::Key_A : Qt::Key_Backspace);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(keystroke)->Arg(1)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

// One keystroke in the search field, which filters every row again, with the list at the given
// size: half the quotes Vietnamese (folded with their marks taken off), half plain ASCII. The
// search text alternates between "duo" and "duon", which both find the Vietnamese half.
void searchKeystroke(benchmark::State& state) {
    TempHome home;
    QuoteManager manager(home.path());
    manager.quotes = numberedQuotes({u"Đường đi khó không khó vì ngăn sông cách núi"_s,
                                     u"Simplicity is the ultimate sophistication."_s},
                                    static_cast<int>(state.range(0)));
    QuotesView view(manager, LocalizationManager::shared());
    view.resize(500, 400);
    view.show();
    QLineEdit* find = view.findField();
    find->setFocus();
    QTest::keyClicks(find, u"duo"_s);
    QCoreApplication::processEvents();
    int typed = 0;
    for (auto _ : state) {
        QTest::keyClick(find, (++typed % 2) ? Qt::Key_N : Qt::Key_Backspace);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(searchKeystroke)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
