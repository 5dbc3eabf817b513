#pragma once

#include <memory>

class DesktopNotifier;
class QuoteManager;

namespace StoreNotices {

// What the store says in the interface language: its placeholders (the file never holds them),
// and a desktop notification for every copy of the quotes file a save kept, saying why and where.
void attach(QuoteManager& store, std::shared_ptr<DesktopNotifier> notifier);

} // namespace StoreNotices
