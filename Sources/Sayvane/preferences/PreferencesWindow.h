#pragma once

#include "TickerStatus.h"

#include <QDialog>

#include <functional>
#include <vector>

class LocalizationManager;
class Preferences;
class QButtonGroup;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The Preferences window: the settings as a form of labelled controls under three headings (the
// strip, the panel label, the text), each applied as soon as it is changed, and above them a
// sentence saying which ticker shows now and why. It follows changes made elsewhere and the
// interface language. Escape or Close hides it. Every control carries an accessible name, and
// a description where its name does not say enough.
//
// Turning the strip off is refused, with the reason, while neither a panel item nor a tray icon
// would be left to open the menu.
class PreferencesWindow : public QDialog {
    Q_OBJECT

public:
    // `places` tells where the ticker shows now; asked again whenever the window shows it.
    PreferencesWindow(Preferences& preferences, LocalizationManager& loc,
                      std::function<TickerPlaces()> places, QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    // Shows where the ticker is now, after the program has moved it.
    void updatePlaces();

    QLabel* tickerSentence() const { return sentence; }
    // The line under the form that says why a change was refused; hidden until one was.
    QLabel* refusal() const { return refusalLine; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A setting's control: shows the setting's value, and its texts in the current language.
    struct Row {
        QString key;
        std::function<void()> showValue;
        std::function<void()> showTexts;
    };

    // A group of settings under a heading; its form.
    QFormLayout* addGroup(const QString& titleKey);
    QLabel* addLabel(QFormLayout* form, const QString& textKey, QWidget* field,
                     const QString& descriptionKey = {});
    void addChoice(QFormLayout* form, const QString& key, const QString& labelKey,
                   const QStringList& choiceKeys, const QString& descriptionKey = {});
    void addNumber(QFormLayout* form, const QString& key, const QString& labelKey,
                   const QString& suffixKey, const QString& descriptionKey = {});
    void addSwitch(QFormLayout* form, const QString& key, const QString& textKey);
    void addScreens(QFormLayout* form);
    void addLanguages(QFormLayout* form);
    // Sets the value, or says why it was not.
    void change(const QString& key, const QVariant& value);
    void refuse(const QString& reason);
    void showValues(const QString& key);
    void showTexts();
    void scheduleUpdatePlaces();

    Preferences& preferences;
    LocalizationManager& loc;
    std::function<TickerPlaces()> places;
    std::vector<Row> rows;
    QVBoxLayout* groups = nullptr;
    QLabel* sentence = nullptr;
    QLabel* refusalLine = nullptr;
    QString refusalKey;
    QPushButton* closeButton = nullptr;
    bool placesScheduled = false;
};
