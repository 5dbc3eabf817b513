#pragma once

#include "BarFeedOptions.h"

#include <QString>
#include <QStringList>

#include <variant>

// What the arguments of a command line ask for, as a value: the mode and what it takes. Made by
// parse() apart from running anything, so that every rule of the command line can be checked
// without a process.
struct CommandRequest {
    enum class Mode {
        help,
        version,
        bar,
        print,
        list,
        add,
        import,
        edit,
        reload,
        togglePause,
        preferences,
        set,
        get
    };

    Mode mode = Mode::help;
    // With print: the quote of the day.
    bool daily = false;
    // With add: the quote; with import: the file; with get: the key.
    QString argument;
    // With set: each KEY=VALUE given.
    QStringList assignments;
    // With bar: the format, width and interval.
    BarFeedOptions bar;
    // With help: the text to print.
    QString helpText;

    // A line saying what was not understood, for a person.
    struct Misunderstood {
        QString message;
    };

    // The request the arguments make (the first being the program's name), or why they make
    // none.
    static std::variant<CommandRequest, Misunderstood> parse(const QStringList& arguments);
};
