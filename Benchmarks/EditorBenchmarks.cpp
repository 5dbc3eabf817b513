#include "Localization.h"
#include "QuoteManager.h"
#include "QuotesView.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// One keystroke in a row of the editor, with the list at the given size, against the same
// keystroke in a plain line edit (size 0). The events the keystroke leaves behind (the view's
// refresh) are part of its cost.
void keystroke(benchmark::State& state) {
    TempHome home;
    QuoteManager manager(home.path());
    QStringList quotes;
    for (int i = 0; i < state.range(0); ++i)
        quotes << u"Quote %1: simplicity is the ultimate sophistication."_s.arg(i);
    manager.quotes = quotes;
    QuotesView view(manager, LocalizationManager::shared());
    QLineEdit plain;
    QLineEdit* field = &plain;
    if (state.range(0) > 0) {
        view.resize(500, 400);
        view.show();
        QCoreApplication::processEvents();
        field = view.rowWidget(0)->findChild<QLineEdit*>(u"quoteField"_s);
    } else {
        plain.show();
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
BENCHMARK(keystroke)->Arg(0)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace
