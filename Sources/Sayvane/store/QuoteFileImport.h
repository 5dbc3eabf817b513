#pragma once

#include <QString>

class QuoteManager;

// What came of importing a file of quotes into the quote manager's list.
struct QuoteFileImport {
    bool succeeded = false;
    // How many quotes were appended; the others were blank or in the list already.
    qsizetype added = 0;
    // For a person, naming the file, when the import did not succeed.
    QString error;
};

// Reads a plain text or fortune file (UTF-8) and appends to the manager's list, in one change,
// each of its quotes that is not there yet, then saves once. Nothing changes and nothing is
// saved when no quote is new, or when the file cannot be read, is too large or is not UTF-8
// text. Prints one line saying how many were added, or why nothing was.
QuoteFileImport importQuotesFile(QuoteManager& manager, const QString& path);

// The folder of quote collections installed with the program (<prefix>/share/sayvane/quotes
// beside <prefix>/bin), or an empty string when there is none.
QString installedQuotesFolder();
