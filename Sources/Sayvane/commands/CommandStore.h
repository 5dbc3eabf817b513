#pragma once

#include <QStringList>

#include <optional>

// The quote store as the reading command-line modes use it (--print, --list): the file as it
// is now, read without ever writing anything, not even the default quotes.
namespace CommandStore {

// The list as the file holds it: the default quotes when there is no file yet (the program
// writes them at its first start), an empty list for a document with no quotes. Nothing, with
// the failure line printed, when it cannot be read or decoded.
std::optional<QStringList> readStoredList();

} // namespace CommandStore
