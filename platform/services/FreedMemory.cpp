#include "FreedMemory.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace FreedMemory {

void returnSoon() {
#ifdef __GLIBC__
    static QPointer<QTimer> timer;
    if (!timer) {
        if (!QCoreApplication::instance())
            return;
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(1000);
        QObject::connect(timer, &QTimer::timeout, [] { malloc_trim(0); });
    }
    // Each change puts it off again: one trim after a burst of changes.
    timer->start();
#endif
}

} // namespace FreedMemory
