#pragma once

// Memory the process has freed, handed back to the system. The C library keeps freed heap for
// the process: after a long list is replaced (a reload of 100,000 quotes frees the old quotes,
// the old text's pieces and the reader's buffers, some of it from other threads) tens of
// megabytes would stay resident. Asking a moment after the last large change gives it back once
// everything old has gone.
namespace FreedMemory {

// Hands freed memory back about a second from now, once, however often it is asked meanwhile.
// Main thread only.
void returnSoon();

} // namespace FreedMemory
