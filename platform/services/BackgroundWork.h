#pragma once

class QThreadPool;

// The thread that file work runs on, so that the main thread never waits for a disk: a pool of
// one thread, whose items run one at a time, in the order they were started. Used from the main
// thread.
namespace BackgroundWork {

QThreadPool& pool();
// Blocks until every item started so far has run.
void waitForDone();

} // namespace BackgroundWork
