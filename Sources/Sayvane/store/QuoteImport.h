#pragma once

#include <QByteArrayView>
#include <QStringList>

#include <optional>

// Quotes taken in from a text file a person or another program wrote: a plain text file with
// one quote a line, or a fortune file, whose entries are separated by lines holding only "%"
// (the format of Debian's fortunes packages), an entry keeping its line breaks.
namespace QuoteImport {

// The quotes of the file's bytes (UTF-8), each trimmed as the editor trims a new quote; blank
// entries are left out. A file with any line that holds only "%" is read as a fortune file.
QStringList parse(QByteArrayView bytes);

// Larger files are refused rather than read: no list of quotes comes near it, and reading a
// file of gigabytes picked by mistake would stall the program.
inline constexpr qint64 largestFile = 16 * 1024 * 1024;

// The quotes of the file at the path, or nothing with a description for a person in error when
// it cannot be read, is too large or is not UTF-8 text (a picture or an archive chosen by
// mistake would otherwise come in as lines of noise).
std::optional<QStringList> readFile(const QString& path, QString* error);

// Appends to the list each of the quotes that is not in it yet (nor earlier in quotes), in
// their order. Returns how many were appended.
qsizetype merge(QStringList& list, const QStringList& quotes);

} // namespace QuoteImport
