#include "AccessibleWindows.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

QAccessibleInterface* accessibleWindow(const QString& className, QObject* object) {
    if (className != QLatin1String("QWidget") || !object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return widget->isWindow() ? new QAccessibleWidget(widget, QAccessible::Window) : nullptr;
}

} // namespace

void installAccessibleWindows() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleWindow);
        return true;
    }();
    Q_UNUSED(installed);
}
