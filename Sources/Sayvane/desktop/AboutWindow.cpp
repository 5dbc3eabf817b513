#include "AboutWindow.h"

#include "Localization.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel* addLabel(QVBoxLayout* layout, const QString& name) {
    auto* label = new QLabel(layout->parentWidget());
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    // Wide enough for a line of text without wrapping every few words.
    label->setMinimumWidth(360);
    layout->addWidget(label);
    return label;
}

} // namespace

AboutWindow::AboutWindow(LocalizationManager& loc, QString quotesFile, QWidget* parent)
    : QDialog(parent)
    , loc(loc)
    , quotesFile(std::move(quotesFile)) {
    setObjectName(u"aboutWindow"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(24, 20, 24, 16);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(u":/icons/sayvane.svg"_s).pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);
    QLabel* name = addLabel(layout, u"aboutName"_s);
    name->setText(u"Sayvane"_s);
    QFont bigger = name->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.5);
    bigger.setBold(true);
    name->setFont(bigger);
    version = addLabel(layout, u"aboutVersion"_s);
    layout->addSpacing(4);
    description = addLabel(layout, u"aboutDescription"_s);
    licence = addLabel(layout, u"aboutLicence"_s);
    homepageLink = addLabel(layout, u"aboutHomepage"_s);
    homepageLink->setText(u"<a href=\"%1\">%1</a>"_s.arg(homepage().toHtmlEscaped()));
    homepageLink->setTextFormat(Qt::RichText);
    // The desktop's opener shows the page in the user's browser.
    homepageLink->setOpenExternalLinks(true);
    layout->addSpacing(4);
    quotesFileLabel = addLabel(layout, u"aboutQuotesFileLabel"_s);
    quotesFilePath = addLabel(layout, u"aboutQuotesFile"_s);
    quotesFilePath->setTextFormat(Qt::PlainText);
    quotesFilePath->setText(QDir::toNativeSeparators(this->quotesFile));
    quotesFilePath->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                            Qt::TextSelectableByKeyboard);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    closeButton = buttons->button(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The manager announces a change before it is stored: the texts follow once it has been.
    connect(&loc, &ObservableObject::objectWillChange, this, [this] {
        if (updateScheduled)
            return;
        updateScheduled = true;
        QTimer::singleShot(0, this, [this] {
            updateScheduled = false;
            updateTexts();
        });
    });
    updateTexts();
}

QString AboutWindow::homepage() {
    return QStringLiteral(SAYVANE_HOMEPAGE);
}

void AboutWindow::updateTexts() {
    setWindowTitle(loc.localizedString(u"AboutSayvane"_s));
    version->setText(loc.localizedString(u"AboutVersion"_s).arg(QStringLiteral(SAYVANE_VERSION)));
    description->setText(loc.localizedString(u"AboutDescription"_s));
    licence->setText(loc.localizedString(u"AboutLicence"_s).arg(u"MIT"_s));
    quotesFileLabel->setText(loc.localizedString(u"AboutQuotesFile"_s));
    closeButton->setText(loc.localizedString(u"Close"_s));
    quotesFilePath->setAccessibleName(loc.localizedString(u"AboutQuotesFile"_s));
    homepageLink->setAccessibleName(loc.localizedString(u"AboutHomepage"_s));
}
