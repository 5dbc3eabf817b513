#pragma once

#include <QDBusConnection>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// The accessibility tree as a screen reader finds it: AT-SPI on the accessibility bus that the
// given session bus names (org.a11y.Bus, started on demand by at-spi2-core), from the registry's
// desktop down through the applications registered there.
class AccessibleTree {
public:
    // One accessible object: the bus name of its application and its path.
    struct Node {
        QString service;
        QString path;
        bool isNull() const { return service.isEmpty(); }
    };

    explicit AccessibleTree(const QDBusConnection& sessionBus);
    ~AccessibleTree();
    AccessibleTree(const AccessibleTree&) = delete;
    AccessibleTree& operator=(const AccessibleTree&) = delete;

    bool isConnected() const { return bus.isConnected(); }
    QString error() const { return problem; }

    // The application registered under that name, waited for.
    Node application(const QString& name) const;
    QList<Node> children(const Node& node) const;
    // The node and every node under it, depth first.
    QList<Node> subtree(const Node& node) const;
    QString name(const Node& node) const;
    QString description(const Node& node) const;
    // AT-SPI's name of the role: "push button", "radio button", "spin button", "label", ...
    QString role(const Node& node) const;
    // AT-SPI's names of the states set: "checked", "focused", "showing", ...
    QStringList states(const Node& node) const;

    // The first node under `from` (itself included) of the role whose name passes the test,
    // waited for up to the time; null when there is none.
    Node find(const Node& from, const QString& role,
              const std::function<bool(const QString&)>& name, int milliseconds = 10000) const;
    Node find(const Node& from, const QString& role, const QString& name) const;

    // Runs the action of that name ("press", "toggle", ...); false when there is none.
    bool doAction(const Node& node, const QString& action) const;
    // Sets the value of a spin box, slider or the like.
    bool setValue(const Node& node, double value) const;
    // Where the node is on the screen.
    QRect extents(const Node& node) const;

private:
    // The first value of the answer, unwrapped when it is a property's variant.
    QVariant call(const Node& node, const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) const;

    QDBusConnection bus{QString()};
    QString busName;
    QString problem;
};
