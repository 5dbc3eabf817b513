#pragma once

#include <QObject>

template <typename T> class Published;

// An object whose published properties announce every change to observers before the new
// value is stored. The signal carries no value: observers read the object again afterwards.
class ObservableObject : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    void objectWillChange();

private:
    template <typename T> friend class Published;
    void sendObjectWillChange() { Q_EMIT objectWillChange(); }
};
