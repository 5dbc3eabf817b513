#include "BarCommand.h"

#include "BarFeed.h"
#include "DetachedProgram.h"

#include <QCoreApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace BarCommand {

int run(const BarFeedOptions& options) {
    BarFeed feed(options);
    // A left click asks for the editor in a process of its own: it may have to start one.
    QObject::connect(&feed, &BarFeed::editRequested, [] { DetachedProgram::start({u"--edit"_s}); });
    QTimer::singleShot(0, &feed, &BarFeed::start);
    return QCoreApplication::exec();
}

} // namespace BarCommand
