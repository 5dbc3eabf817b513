#pragma once

#include <QStringList>

// Starts a copy of this program (the same executable) with the arguments, on its own: detached
// from this process's input and output, which may be a bar's pipe, and working in the home
// folder. Gives its process id, or 0 when it could not be started.
namespace DetachedProgram {

qint64 start(const QStringList& arguments = {});

} // namespace DetachedProgram
