#include "QuotesFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace QuotesFile {
namespace {

// The file as one look found it.
struct Current {
    bool missing = false;
    QByteArray bytes;
    // Tells the file apart where its bytes cannot be read.
    std::optional<Files::Stamp> stamp;
    std::optional<QuotesDocument::Content> content;
    QString error;
};

Current decoded(std::optional<QByteArray> bytes, const QString& path, QString readError) {
    Current current;
    current.stamp = Files::stamp(path);
    if (!bytes) {
        current.missing = !current.stamp;
        current.error = std::move(readError);
        return current;
    }
    current.bytes = std::move(*bytes);
    QString error;
    current.content = QuotesDocument::decode(current.bytes, &error);
    if (!current.content)
        current.error = u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(path), error);
    return current;
}

Current look(const QString& path) {
    QString error;
    auto bytes = Files::read(path, &error);
    return decoded(std::move(bytes), path, error);
}

// A writer that holds the earlier file open may still be writing into it: give it a moment.
bool waitUntilClosed(const QString& file) {
    const QDeadlineTimer deadline(1000);
    while (Files::openElsewhere(file)) {
        if (deadline.hasExpired())
            return false;
        QThread::usleep(2000);
    }
    return true;
}

const char* stemOf(KeptCopy::Reason reason) {
    switch (reason) {
    case KeptCopy::Reason::unreadable:
        return "broken";
    case KeptCopy::Reason::repeatedNames:
        return "duplicate-names";
    case KeptCopy::Reason::conflict:
    case KeptCopy::Reason::stillOpen:
        break;
    }
    return "conflict";
}

// Another writer may swap its file in between; after this many merges its version is kept
// aside rather than merged again.
constexpr int mergeAttempts = 5;

} // namespace

QString lockPath(const QString& quotesFile) {
    const QFileInfo info(quotesFile);
    return info.absoluteDir().filePath(u"."_s + info.fileName() + u".lock"_s);
}

Outcome change(const QString& path, const QuoteChanges& changes, const Options& options) {
    Outcome out;
    const auto lock =
        Files::ExclusiveLock::take(lockPath(path), options.lockMilliseconds, &out.error);
    if (!lock)
        return out;

    Current current = look(path);
    for (int attempt = 1;; ++attempt) {
        QStringList base;
        std::optional<KeptCopy::Reason> keep;
        out.others.clear();
        out.quotesPosition = -1;
        if (current.missing) {
            base = options.whenMissing;
        } else if (!current.content) {
            out.list.clear();
            out.error = current.error;
            if (!options.replaceUnreadable || !QFileInfo(path).isFile()) {
                out.kind = Outcome::Kind::notLoaded;
                return out;
            }
            keep = KeptCopy::Reason::unreadable;
        } else {
            base = std::move(current.content->quotes);
            out.others = std::move(current.content->others);
            out.quotesPosition =
                current.content->hasQuotes ? current.content->quotesPosition : out.others.size();
            if (current.content->hasRepeatedNames)
                keep = KeptCopy::Reason::repeatedNames;
        }
        const QStringList* replaced = options.replacedList ? &*options.replacedList : nullptr;
        AppliedChanges applied = applyChanges(base, changes, replaced);
        out.added = std::move(applied.added);
        if (applied.conflict)
            keep = KeptCopy::Reason::conflict;
        if (!options.writeUnchanged && !current.missing && !keep && applied.list == base) {
            out.kind = Outcome::Kind::unchanged;
            out.list = std::move(base);
            out.bytes = std::move(current.bytes);
            out.stamp = Files::stamp(path);
            return out;
        }

        const QByteArray bytes =
            QuotesDocument::encode(applied.list, out.others, out.quotesPosition);
        const auto replacement = Files::putInPlace(path, bytes, &out.error);
        if (!replacement)
            return out;
        const QByteArray previousName = QFile::encodeName(replacement->previous);
        if (!replacement->previous.isEmpty() || !current.missing) {
            // What stood there at the swap must be what was read: otherwise a writer that took
            // no lock got in between, and its version is merged or kept.
            const bool closed =
                replacement->previous.isEmpty() || waitUntilClosed(replacement->previous);
            QString error;
            auto previous = replacement->previous.isEmpty()
                                ? std::optional<QByteArray>()
                                : Files::read(replacement->previous, &error);
            const bool asRead =
                closed &&
                (previous ? !current.missing && *previous == current.bytes
                 : current.missing
                     ? replacement->previous.isEmpty()
                     : current.stamp && current.stamp == Files::stamp(replacement->previous));
            if (!asRead && closed && previous && attempt < mergeAttempts) {
                ::unlink(previousName.constData());
                current = decoded(std::move(previous), replacement->previous, error);
                continue;
            }
            if (!asRead)
                keep = closed ? KeptCopy::Reason::conflict : KeptCopy::Reason::stillOpen;
        }
        if (!replacement->previous.isEmpty()) {
            if (keep) {
                QString error;
                const auto copy = Files::moveBeside(replacement->previous, Files::finalTarget(path),
                                                    QString::fromLatin1(stemOf(*keep)), &error);
                // Where no copy can be made, the earlier file stays under its temporary name
                // rather than being lost; the next start removes it.
                if (!copy) {
                    out.error = error;
                    out.kind = Outcome::Kind::saved;
                    out.list = std::move(applied.list);
                    out.bytes = bytes;
                    out.stamp = replacement->stamp;
                    return out;
                }
                out.kept.append({*keep, *copy});
            } else {
                ::unlink(previousName.constData());
            }
        }
        Files::removeLeftoverTemporaries(path);
        out.kind = Outcome::Kind::saved;
        out.list = std::move(applied.list);
        out.bytes = bytes;
        out.stamp = replacement->stamp;
        if (out.quotesPosition < 0)
            out.quotesPosition = out.others.size();
        return out;
    }
}

void removeLeftovers(const QString& path) {
    QString ignored;
    if (const auto lock = Files::ExclusiveLock::take(lockPath(path), 0, &ignored))
        Files::removeLeftoverTemporaries(path);
}

Reading read(const QString& path) {
    Reading reading;
    const Current current = look(path);
    reading.missing = current.missing;
    reading.error = current.error;
    if (current.content && current.content->hasQuotes)
        reading.quotes = current.content->quotes;
    return reading;
}

} // namespace QuotesFile
