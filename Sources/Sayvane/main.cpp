#include "Localization.h"
#include "QuoteManager.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuoteManager manager;
    manager.loadQuotes();
    return 0;
}
