#pragma once

#include "Localization.h"

#include <QTranslator>

// Qt's own texts (the context menu of a text field, the file dialog and the like) in the
// interface language: from Qt's translation files where there is one for it (qtbase_zh_CN.qm),
// and otherwise, since Qt ships no Vietnamese, from the program's own tables (the editing
// commands from the string tables, the dialogs' texts from QtVietnamese). Dates, sizes and kinds
// of file in Qt's dialogs follow the language too (the default QLocale). Installed on the
// application while it lives; English leaves Qt's texts as they are.
class QtTranslations : public QTranslator {
    Q_OBJECT

public:
    // `folder` holds Qt's translation files; Qt's own folder unless a test says otherwise.
    explicit QtTranslations(const QString& folder = {});
    ~QtTranslations() override;

    AppLanguage language() const { return currentLanguage; }
    // Switches to the language; widgets are told through a language-change event.
    void setLanguage(AppLanguage language);

    // Whether the desktop's own dialogs (a file dialog through the platform theme) speak the
    // language: they follow the session's language, not the program's.
    static bool desktopSpeaks(AppLanguage language);

    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override;

private:
    QString folder;
    AppLanguage currentLanguage = AppLanguage::english;
    QTranslator qtFile;
    bool installed = false;
};
