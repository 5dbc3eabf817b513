#pragma once

#include "ObservableObject.h"

#include <concepts>
#include <functional>
#include <utility>

// A property of an ObservableObject. Every store, whether a plain assignment or an in-place
// change of one element of a list, first sends the owner's objectWillChange and then stores.
// Equal values are stored and announced like any other. An optional didSet hook runs after
// each store, for owners that must act on a change (persist it, post a notice).
template <typename T> class Published {
public:
    using DidSet = std::function<void(const T&)>;

    explicit Published(ObservableObject* owner, T initial = T{}, DidSet didSet = {})
        : owner(owner)
        , value(std::move(initial))
        , didSet(std::move(didSet)) {}

    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    Published& operator=(T newValue) {
        owner->sendObjectWillChange();
        value = std::move(newValue);
        finishStore();
        return *this;
    }

    const T& get() const { return value; }
    operator const T&() const { return value; }
    const T* operator->() const { return &value; }

    // In-place changes of a published list. A position outside the list changes nothing,
    // sends nothing and returns false: a caller holding a stale position must not crash.
    template <typename List = T>
    requires requires(List list) { list.removeAt(0); }
    bool replace(qsizetype i, typename List::value_type element) {
        if (i < 0 || i >= value.size())
            return false;
        owner->sendObjectWillChange();
        value[i] = std::move(element);
        finishStore();
        return true;
    }

    template <typename List = T>
    requires requires(List list) { list.removeAt(0); }
    bool removeAt(qsizetype i) {
        if (i < 0 || i >= value.size())
            return false;
        owner->sendObjectWillChange();
        value.removeAt(i);
        finishStore();
        return true;
    }

    // Puts the element at position i (0 to the list's size), moving those from i on by one.
    template <typename List = T>
    requires requires(List list) { list.removeAt(0); }
    bool insert(qsizetype i, typename List::value_type element) {
        if (i < 0 || i > value.size())
            return false;
        owner->sendObjectWillChange();
        value.insert(i, std::move(element));
        finishStore();
        return true;
    }

    // Moves the element at `from` so that it ends at position `to`.
    template <typename List = T>
    requires requires(List list) { list.removeAt(0); }
    bool move(qsizetype from, qsizetype to) {
        if (from < 0 || from >= value.size() || to < 0 || to >= value.size())
            return false;
        owner->sendObjectWillChange();
        value.move(from, to);
        finishStore();
        return true;
    }

    template <typename List = T>
    requires requires(List list) { list.removeAt(0); }
    void append(typename List::value_type element) {
        owner->sendObjectWillChange();
        value.append(std::move(element));
        finishStore();
    }

private:
    void finishStore() {
        if (didSet)
            didSet(value);
    }

    ObservableObject* owner = nullptr;
    T value;
    DidSet didSet;
};
