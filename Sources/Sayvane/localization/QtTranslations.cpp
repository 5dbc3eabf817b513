#include "QtTranslations.h"

#include "QtVietnamese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QLocale localeOf(AppLanguage language) {
    switch (language) {
    case AppLanguage::english:
        break;
    case AppLanguage::vietnamese:
        return QLocale(QLocale::Vietnamese, QLocale::Vietnam);
    case AppLanguage::chinese:
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

// Qt's source texts of the editing commands in text widgets, and the program's keys for them.
const char* keyForEditingCommand(const char* context, const char* sourceText) {
    if (std::strcmp(context, "QLineEdit") != 0 && std::strcmp(context, "QWidgetTextControl") != 0)
        return nullptr;
    static const struct {
        const char* source;
        const char* key;
    } commands[] = {{"&Undo", "Undo"},          {"&Redo", "Redo"},   {"Cu&t", "Cut"},
                    {"&Copy", "Copy"},          {"&Paste", "Paste"}, {"Delete", "Delete"},
                    {"Select All", "SelectAll"}};
    for (const auto& command : commands) {
        if (std::strcmp(sourceText, command.source) == 0)
            return command.key;
    }
    return nullptr;
}

} // namespace

QtTranslations::QtTranslations(const QString& translationsFolder)
    : folder(translationsFolder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                          : translationsFolder) {}

QtTranslations::~QtTranslations() {
    if (installed)
        QCoreApplication::removeTranslator(this);
}

bool QtTranslations::desktopSpeaks(AppLanguage language) {
    return QLocale::system().language() == localeOf(language).language();
}

void QtTranslations::setLanguage(AppLanguage language) {
    currentLanguage = language;
    // The user's own region where the session speaks the language (en_GB dates stay so).
    QLocale::setDefault(desktopSpeaks(language) ? QLocale::system() : localeOf(language));
    if (language == AppLanguage::english ||
        !qtFile.load(localeOf(language), u"qtbase"_s, u"_"_s, folder))
        (void)qtFile.load(QString());
    // Installing again moves it to the front and sends every widget a language-change event.
    if (installed)
        QCoreApplication::removeTranslator(this);
    installed = QCoreApplication::installTranslator(this);
}

QString QtTranslations::translate(const char* context, const char* sourceText,
                                  const char* disambiguation, int n) const {
    if (currentLanguage == AppLanguage::english || !context || !sourceText)
        return {};
    if (QString text = qtFile.translate(context, sourceText, disambiguation, n); !text.isEmpty())
        return text;
    if (const char* key = keyForEditingCommand(context, sourceText))
        return localizedString(currentLanguage, QString::fromLatin1(key));
    if (currentLanguage == AppLanguage::vietnamese)
        return QtVietnamese::text(context, sourceText);
    return {};
}

bool QtTranslations::isEmpty() const {
    return currentLanguage == AppLanguage::english;
}
