#include "RemoteActions.h"

#include "DisplayController.h"
#include "Localization.h"
#include "Preferences.h"
#include "QuoteAddition.h"
#include "QuoteManager.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace {

using Refusal = RemoteControl::Refusal;

std::variant<uint, Refusal> answerTo(const QuoteAddition& addition, const QuoteManager& manager) {
    switch (addition.outcome) {
    case QuoteAddition::Outcome::added:
        return static_cast<uint>(addition.added);
    case QuoteAddition::Outcome::blank:
        return Refusal{
            Refusal::Kind::badInput,
            u"A quote to add is blank (only spaces or invisible characters); nothing was added."_s};
    case QuoteAddition::Outcome::notLoaded:
        return Refusal{Refusal::Kind::notLoaded,
                       u"The quotes file %1 could not be loaded; nothing was added, so that it "
                       u"stays as it is. Mend the file, then call Reload."_s.arg(
                           QDir::toNativeSeparators(manager.quotesFileURL))};
    case QuoteAddition::Outcome::notSaved:
        break;
    }
    return Refusal{Refusal::Kind::failed,
                   u"The quotes could not be saved to %1; nothing was added."_s.arg(
                       QDir::toNativeSeparators(manager.quotesFileURL))};
}

} // namespace

RemoteControl::Actions remoteActions(const RemoteActionTargets& targets) {
    QuoteManager* quotes = &targets.quoteManager;
    DisplayController* display = &targets.displayController;
    RemoteControl::Actions actions;
    actions.editQuotes = targets.editQuotes;
    actions.reload = targets.reloadQuotes;
    actions.quit = [] { QCoreApplication::exit(0); };
    actions.setPaused = [display](bool paused) { display->setPaused(paused); };
    actions.isPaused = [display] { return display->isPaused(); };
    actions.currentQuote = [display, seen = targets.currentQuote] {
        const QString passing = seen ? seen() : QString();
        return passing.isNull() ? display->currentQuote() : passing;
    };
    actions.language = [] {
        return AppLanguages::rawValue(LocalizationManager::shared().currentLanguage);
    };
    actions.setLanguage = [](const QString& rawValue) -> std::optional<Refusal> {
        const auto language = AppLanguages::fromRawValue(rawValue);
        if (!language) {
            QStringList codes;
            for (const AppLanguage known : AppLanguages::allCases)
                codes.append(u'"' + AppLanguages::rawValue(known) + u'"');
            return Refusal{Refusal::Kind::badInput,
                           u"\"%1\" is not a language Sayvane speaks; choose one of %2."_s.arg(
                               rawValue, codes.join(u", "_s))};
        }
        LocalizationManager::shared().currentLanguage = *language;
        return std::nullopt;
    };
    actions.addQuotes = [quotes](const QStringList& added,
                                 RemoteControl::Actions::AdditionAnswer answer) {
        addQuotesSoon(*quotes, added, [quotes, answer = std::move(answer)](QuoteAddition result) {
            answer(answerTo(result, *quotes));
        });
    };
    if (Preferences* preferences = targets.preferences) {
        for (const SettingKey& key : SettingKeys::all()) {
            const QString type = key.kind == SettingKey::Kind::number    ? u"i"_s
                                 : key.kind == SettingKey::Kind::boolean ? u"b"_s
                                                                         : u"s"_s;
            actions.settings.append({key.name, type});
        }
        actions.setting = [preferences](const QString& name) { return preferences->value(name); };
        actions.setSetting = [preferences](const QString& name,
                                           const QVariant& value) -> std::optional<Refusal> {
            const SettingKey* key = SettingKeys::find(name);
            const auto parsed = key->parse(value.typeId() == QMetaType::Bool ? key->format(value)
                                                                             : value.toString());
            if (const auto* refusal = std::get_if<QString>(&parsed))
                return Refusal{Refusal::Kind::badInput, *refusal + u'.'};
            if (const auto problem = preferences->set(name, value))
                return Refusal{Refusal::Kind::failed, *problem};
            return std::nullopt;
        };
    }
    return actions;
}
