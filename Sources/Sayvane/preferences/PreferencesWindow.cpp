#include "PreferencesWindow.h"

#include "Localization.h"
#include "Preferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PreferencesWindow::PreferencesWindow(Preferences& preferences, LocalizationManager& loc,
                                     std::function<TickerPlaces()> places, QWidget* parent)
    : QDialog(parent)
    , preferences(preferences)
    , loc(loc)
    , places(std::move(places)) {
    setObjectName(u"preferencesWindow"_s);
    auto* layout = new QVBoxLayout(this);
    groups = layout;
    sentence = new QLabel(this);
    sentence->setObjectName(u"tickerSentence"_s);
    sentence->setWordWrap(true);
    layout->addWidget(sentence);

    using namespace SettingKeys;
    QFormLayout* stripForm = addGroup(u"StripGroup"_s);
    addChoice(stripForm, strip, u"ShowStrip"_s, {u"StripAuto"_s, u"StripOn"_s, u"StripOff"_s},
              u"ShowStripDescription"_s);
    addScreens(stripForm);
    addChoice(stripForm, stripAlign, u"StripPlace"_s,
              {u"PlaceRight"_s, u"PlaceCenter"_s, u"PlaceLeft"_s});
    addNumber(stripForm, stripWidth, u"StripWidth"_s, u"PixelsSuffix"_s);
    addNumber(stripForm, stripFontSize, u"StripFontSize"_s, u"PixelsSuffix"_s);
    addNumber(stripForm, stripSpeed, u"StripSpeed"_s, u"PixelsPerSecondSuffix"_s);
    addSwitch(stripForm, pauseOnHover, u"PauseOnHover"_s);

    QFormLayout* labelForm = addGroup(u"LabelGroup"_s);
    addChoice(labelForm, label, u"LabelShows"_s,
              {u"LabelScrolling"_s, u"LabelQuote"_s, u"LabelOff"_s});
    addNumber(labelForm, labelColumns, u"LabelColumns"_s, u"ColumnsSuffix"_s);
    addNumber(labelForm, labelInterval, u"LabelInterval"_s, u"MillisecondsSuffix"_s,
              u"LabelIntervalDescription"_s);

    QFormLayout* textForm = addGroup(u"TextGroup"_s);
    addChoice(textForm, order, u"Order"_s, {u"OrderWritten"_s, u"OrderShuffled"_s},
              u"OrderDescription"_s);
    addLanguages(textForm);

    refusalLine = new QLabel(this);
    refusalLine->setObjectName(u"refusal"_s);
    refusalLine->setWordWrap(true);
    refusalLine->hide();
    layout->addWidget(refusalLine);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    closeButton = new QPushButton(this);
    closeButton->setObjectName(u"closeButton"_s);
    // Return in a number's field takes the number; it does not close the window.
    closeButton->setAutoDefault(false);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    connect(&preferences, &Preferences::changed, this, [this](const QString& key) {
        showValues(key);
        scheduleUpdatePlaces();
    });
    // The manager announces a change of language before it is stored: show it once it is.
    connect(&loc, &ObservableObject::objectWillChange, this,
            [this] { QTimer::singleShot(0, this, &PreferencesWindow::showTexts); });
    showTexts();
    showValues({});
    updatePlaces();
    layout->activate();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

PreferencesWindow::~PreferencesWindow() = default;

QFormLayout* PreferencesWindow::addGroup(const QString& titleKey) {
    auto* box = new QGroupBox(this);
    box->setObjectName(titleKey);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    groups->addWidget(box);
    rows.push_back({{}, {}, [this, box, titleKey] {
                        box->setTitle(loc.localizedString(titleKey));
                        box->setAccessibleName(box->title());
                    }});
    return form;
}

QLabel* PreferencesWindow::addLabel(QFormLayout* form, const QString& textKey, QWidget* field,
                                    const QString& descriptionKey) {
    auto* label = new QLabel(form->parentWidget());
    label->setBuddy(field);
    form->addRow(label, field);
    rows.push_back({{}, {}, [this, label, field, textKey, descriptionKey] {
                        label->setText(loc.localizedString(textKey));
                        field->setAccessibleName(label->text());
                        if (!descriptionKey.isEmpty())
                            field->setAccessibleDescription(loc.localizedString(descriptionKey));
                    }});
    return label;
}

void PreferencesWindow::addChoice(QFormLayout* form, const QString& key, const QString& labelKey,
                                  const QStringList& choiceKeys, const QString& descriptionKey) {
    const SettingKey* setting = SettingKeys::find(key);
    auto* choices = new QWidget(form->parentWidget());
    choices->setObjectName(key);
    auto* line = new QHBoxLayout(choices);
    line->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(choices);
    for (int i = 0; i < choiceKeys.size(); ++i) {
        auto* button = new QRadioButton(choices);
        button->setObjectName(setting->choices.at(i));
        group->addButton(button, i);
        line->addWidget(button);
        rows.push_back({{}, {}, [this, button, text = choiceKeys.at(i)] {
                            button->setText(loc.localizedString(text));
                        }});
    }
    line->addStretch(1);
    QLabel* label = addLabel(form, labelKey, choices, descriptionKey);
    label->setBuddy(group->button(0));
    // Assistive technologies toggle a radio button without a click: follow the toggle.
    connect(group, &QButtonGroup::idToggled, this, [this, key, setting](int id, bool checked) {
        if (checked)
            change(key, setting->choices.at(id));
    });
    rows.push_back({key,
                    [this, group, key, setting] {
                        const QSignalBlocker quiet(group);
                        const auto index = setting->choices.indexOf(preferences.text(key));
                        if (QAbstractButton* button = group->button(int(index)))
                            button->setChecked(true);
                    },
                    {}});
}

void PreferencesWindow::addNumber(QFormLayout* form, const QString& key, const QString& labelKey,
                                  const QString& suffixKey, const QString& descriptionKey) {
    const SettingKey* setting = SettingKeys::find(key);
    auto* field = new QSpinBox(form->parentWidget());
    field->setObjectName(key);
    field->setRange(setting->minimum, setting->maximum);
    // A number typed takes effect once it is whole (Return, or the focus moving on), not at
    // each of its digits; the arrows take effect at once.
    field->setKeyboardTracking(false);
    addLabel(form, labelKey, field, descriptionKey);
    connect(field, &QSpinBox::valueChanged, this, [this, key](int value) { change(key, value); });
    rows.push_back(
        {key,
         [this, field, key] {
             const QSignalBlocker quiet(field);
             field->setValue(preferences.value(key).toInt());
         },
         [this, field, suffixKey] { field->setSuffix(loc.localizedString(suffixKey)); }});
}

void PreferencesWindow::addSwitch(QFormLayout* form, const QString& key, const QString& textKey) {
    auto* box = new QCheckBox(form->parentWidget());
    box->setObjectName(key);
    form->addRow(box);
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) { change(key, on); });
    rows.push_back({key,
                    [this, box, key] {
                        const QSignalBlocker quiet(box);
                        box->setChecked(preferences.value(key).toBool());
                    },
                    [this, box, textKey] { box->setText(loc.localizedString(textKey)); }});
}

void PreferencesWindow::addScreens(QFormLayout* form) {
    auto* field = new QComboBox(form->parentWidget());
    field->setObjectName(SettingKeys::screen);
    addLabel(form, u"Screen"_s, field);
    connect(field, &QComboBox::activated, this, [this, field](int index) {
        change(SettingKeys::screen, field->itemData(index).toString());
    });
    // The automatic choice, then each screen there now; a chosen screen that is not there shows
    // as the automatic choice, which the strip then makes.
    const auto fill = [this, field] {
        const QSignalBlocker quiet(field);
        field->clear();
        field->addItem(loc.localizedString(u"ScreenAutomatic"_s), QString());
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QString model = screen->model().trimmed();
            field->addItem(model.isEmpty() ? screen->name() : screen->name() + u" (" + model + u')',
                           screen->name());
        }
        field->setCurrentIndex(std::max(0, field->findData(preferences.screen())));
    };
    connect(qGuiApp, &QGuiApplication::screenAdded, field, fill);
    connect(qGuiApp, &QGuiApplication::screenRemoved, field, fill);
    rows.push_back({SettingKeys::screen, fill, fill});
}

void PreferencesWindow::addLanguages(QFormLayout* form) {
    auto* choices = new QWidget(form->parentWidget());
    choices->setObjectName(SettingKeys::appLanguage);
    auto* line = new QHBoxLayout(choices);
    line->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(choices);
    // Each language by its own name, the same in every language, as in the menu.
    const QStringList names = {u"English"_s, u"Tiếng Việt"_s, u"中文"_s};
    for (int i = 0; i < int(AppLanguages::allCases.size()); ++i) {
        auto* button = new QRadioButton(names.value(i), choices);
        button->setObjectName(AppLanguages::rawValue(AppLanguages::allCases[size_t(i)]));
        group->addButton(button, i);
        line->addWidget(button);
    }
    line->addStretch(1);
    addLabel(form, u"Language"_s, choices)->setBuddy(group->button(0));
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            change(SettingKeys::appLanguage,
                   AppLanguages::rawValue(AppLanguages::allCases[size_t(id)]));
    });
    rows.push_back(
        {SettingKeys::appLanguage,
         [this, group] {
             const QSignalBlocker quiet(group);
             const auto at = std::find(AppLanguages::allCases.begin(), AppLanguages::allCases.end(),
                                       preferences.language());
             if (QAbstractButton* button = group->button(int(at - AppLanguages::allCases.begin())))
                 button->setChecked(true);
         },
         {}});
}

void PreferencesWindow::change(const QString& key, const QVariant& value) {
    if (key == SettingKeys::strip && value.toString() == u"off"_s && places &&
        !places().menuElsewhere) {
        showValues(key);
        refuse(u"StripOffRefused"_s);
        return;
    }
    if (const auto problem = preferences.set(key, value)) {
        showValues(key);
        refusalKey.clear();
        refusalLine->setText(*problem);
        refusalLine->show();
        return;
    }
    refusalLine->hide();
    refusalKey.clear();
}

void PreferencesWindow::refuse(const QString& reasonKey) {
    refusalKey = reasonKey;
    refusalLine->setText(loc.localizedString(reasonKey));
    refusalLine->show();
}

void PreferencesWindow::showValues(const QString& key) {
    for (const Row& row : rows) {
        if (row.showValue && (key.isEmpty() || row.key == key))
            row.showValue();
    }
}

void PreferencesWindow::showTexts() {
    setWindowTitle(loc.localizedString(u"PreferencesTitle"_s));
    for (const Row& row : rows) {
        if (row.showTexts)
            row.showTexts();
    }
    closeButton->setText(loc.localizedString(u"Close"_s));
    if (!refusalKey.isEmpty())
        refusalLine->setText(loc.localizedString(refusalKey));
    updatePlaces();
}

void PreferencesWindow::updatePlaces() {
    placesScheduled = false;
    if (places) {
        sentence->setText(loc.localizedString(TickerStatus::sentenceKey(places())));
        sentence->setAccessibleName(sentence->text());
    }
}

void PreferencesWindow::scheduleUpdatePlaces() {
    // The program follows the change first (the same signal reaches it), then the sentence.
    if (placesScheduled)
        return;
    placesScheduled = true;
    QTimer::singleShot(0, this, &PreferencesWindow::updatePlaces);
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    updatePlaces();
    QDialog::showEvent(event);
}
