#pragma once

#include <QStringList>

#include <optional>

class QuoteManager;

// The quote store as the command-line modes use it: outside an event loop, so each call runs
// the store's queued deliveries before it returns.
namespace CommandStore {

// The list as the file holds it, loaded through the store (which prints any failure line and
// keeps what it needs for the next save); nothing when it cannot be read or decoded. An empty
// "quotes" array gives an empty list here, not the placeholder the display would show.
std::optional<QStringList> loadStoredList(QuoteManager& manager);

// Saves the list through the store; true when the save went through.
bool save(QuoteManager& manager, const QStringList& list);

// Runs the main queue until it is empty, as the event loop would.
void drainMainQueue();

} // namespace CommandStore
