#include "StoreNotices.h"

#include "DesktopNotifier.h"
#include "Localization.h"
#include "QuoteManager.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString keptCopyKey(QuotesFile::KeptCopy::Reason reason) {
    switch (reason) {
    case QuotesFile::KeptCopy::Reason::unreadable:
        return u"BrokenCopyKept"_s;
    case QuotesFile::KeptCopy::Reason::repeatedNames:
        return u"DuplicateNamesCopyKept"_s;
    case QuotesFile::KeptCopy::Reason::conflict:
    case QuotesFile::KeptCopy::Reason::stillOpen:
        break;
    }
    return u"ConflictCopyKept"_s;
}

} // namespace

void StoreNotices::attach(QuoteManager& store, std::shared_ptr<DesktopNotifier> notifier) {
    store.placeholderText = [](QuoteManager::Placeholder placeholder) {
        return LocalizationManager::shared().localizedString(
            placeholder == QuoteManager::Placeholder::noQuotes ? u"NoQuotesFound"_s
                                                               : u"ErrorLoadingQuotes"_s);
    };
    store.onCopyKept = [notifier = std::move(notifier)](const QuotesFile::KeptCopy& copy) {
        const LocalizationManager& loc = LocalizationManager::shared();
        notifier->notify(
            loc.localizedString(u"CopyKeptTitle"_s),
            loc.localizedString(keptCopyKey(copy.reason)).arg(QDir::toNativeSeparators(copy.path)));
    };
}
