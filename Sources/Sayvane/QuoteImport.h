#pragma once

#include <QByteArrayView>
#include <QStringList>

// Quotes taken in from a text file a person or another program wrote: a plain text file with
// one quote a line, or a fortune file, whose entries are separated by lines holding only "%"
// (the format of Debian's fortunes packages), an entry keeping its line breaks.
namespace QuoteImport {

// The quotes of the file's bytes (UTF-8), each trimmed as the editor trims a new quote; blank
// entries are left out. A file with any line that holds only "%" is read as a fortune file.
QStringList parse(QByteArrayView bytes);

// Appends to the list each of the quotes that is not in it yet (nor earlier in quotes), in
// their order. Returns how many were appended.
qsizetype merge(QStringList& list, const QStringList& quotes);

} // namespace QuoteImport
