#pragma once

#include <QDialog>

class LocalizationManager;
class QLabel;
class QPushButton;

// What Sayvane is: its name and version, what it does, its licence, where the project lives and
// where the user's quotes are kept. The texts follow the interface language while it is open;
// the path can be selected and copied.
class AboutWindow : public QDialog {
    Q_OBJECT

public:
    AboutWindow(LocalizationManager& loc, QString quotesFile, QWidget* parent = nullptr);

    // Where the project lives.
    static QString homepage();

private:
    void updateTexts();

    LocalizationManager& loc;
    const QString quotesFile;
    QLabel* version = nullptr;
    QLabel* description = nullptr;
    QLabel* licence = nullptr;
    QLabel* homepageLink = nullptr;
    QLabel* quotesFileLabel = nullptr;
    QLabel* quotesFilePath = nullptr;
    QPushButton* closeButton = nullptr;
    bool updateScheduled = false;
};
