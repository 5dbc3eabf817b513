#pragma once

#include "ObservableObject.h"
#include "Published.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

class QSettings;

enum class AppLanguage { english, vietnamese, chinese };

namespace AppLanguages {

inline constexpr std::array<AppLanguage, 3> allCases = {
    AppLanguage::english, AppLanguage::vietnamese, AppLanguage::chinese};

// The two-letter code that is stored and carried by the language menu: "en", "vi", "zh".
QString rawValue(AppLanguage language);
// Exactly the three codes, compared case-sensitively and in full.
std::optional<AppLanguage> fromRawValue(const QString& rawValue);
// The language stored in the settings under "AppLanguage"; English when none or another value.
AppLanguage stored(const QSettings& settings);

} // namespace AppLanguages

// The text of the key in the language's table; else the English text; else the key itself.
QString localizedString(AppLanguage language, const QString& key);

// The current interface language of the process, remembered across runs under the user
// defaults key "AppLanguage". Setting it, even to the language that is already current,
// signals the change, stores the language, writes it and posts "LanguageChanged", in that order.
class LocalizationManager : public ObservableObject {
    Q_OBJECT

public:
    static inline const QString languageChangedNotification = QStringLiteral("LanguageChanged");
    static inline const QString storedLanguageKey = QStringLiteral("AppLanguage");

    // The one instance of the program, made on first use (safely, whichever thread comes first),
    // with the user defaults of the program: ~/.config/Sayvane/Sayvane.conf.
    static LocalizationManager& shared();

    // A manager on the given user defaults; the program's own is shared().
    explicit LocalizationManager(std::unique_ptr<QSettings> userDefaults);
    ~LocalizationManager() override;

    Published<AppLanguage> currentLanguage;

    QString localizedString(const QString& key) const;

private:
    std::unique_ptr<QSettings> userDefaults;
};
