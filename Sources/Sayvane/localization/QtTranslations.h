#pragma once

#include "Localization.h"

#include <QTranslator>

// Qt's own texts (the context menu of a text field and the like) in the interface language:
// from Qt's translation files where there is one for it (qtbase_zh_CN.qm), and otherwise, for
// the editing commands this program shows, from the program's own string tables, since Qt ships
// no Vietnamese. Installed on the application while it lives; English leaves Qt's texts as
// they are.
class QtTranslations : public QTranslator {
    Q_OBJECT

public:
    // `folder` holds Qt's translation files; Qt's own folder unless a test says otherwise.
    explicit QtTranslations(const QString& folder = {});
    ~QtTranslations() override;

    AppLanguage language() const { return currentLanguage; }
    // Switches to the language; widgets are told through a language-change event.
    void setLanguage(AppLanguage language);

    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override;

private:
    QString folder;
    AppLanguage currentLanguage = AppLanguage::english;
    QTranslator qtFile;
    bool installed = false;
};
