#include "QuotesFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <algorithm>
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
// aside rather than merged again. Writers that take no lock can keep a slow machine's
// transaction from winning for seconds: with pauses of up to 50 ms between merges this is
// about five seconds of trying.
constexpr int mergeAttempts = 120;

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
    // What the swap must find in the file's place: first the file as read, after a merge the
    // file this transaction put there.
    Current expected = current;
    // The earlier version the list was made from, once it has left the file's place: the copy
    // to keep when one is needed.
    QString earlier;
    // The quotes of every version met so far that other writers made. A writer that takes no
    // lock may have built its version on the one this transaction put in place for a moment,
    // without the words of the version before: those are carried over, so nobody's words are
    // lost to the race (a quote removed in that moment may come back, which loses nothing).
    QStringList seen;
    QSet<QString> seenSet;
    auto see = [&](const Current& version) {
        if (!version.content)
            return;
        for (const QString& quote : version.content->quotes) {
            if (!seenSet.contains(quote)) {
                seenSet.insert(quote);
                seen.append(quote);
            }
        }
    };
    // Texts the changes take away: never carried back.
    QSet<QString> takenAway;
    for (const QuoteChange& change : changes) {
        if (change.kind == QuoteChange::Kind::replace || change.kind == QuoteChange::Kind::remove)
            takenAway.insert(change.was);
    }
    auto discard = [](const QString& file) {
        if (!file.isEmpty())
            ::unlink(QFile::encodeName(file).constData());
    };
    // On a merge, additions leave out quotes already there: the version merged into may have
    // been built on this transaction's own, which had them.
    bool published = false;
    QuoteChanges again = changes;
    for (QuoteChange& change : again)
        change.skipPresent = true;
    for (int attempt = 1;; ++attempt) {
        QStringList base;
        std::optional<KeptCopy::Reason> keep;
        out.others.clear();
        out.quotesPosition = -1;
        if (current.missing) {
            base = options.whenMissing;
        } else if (!current.content) {
            out.error = current.error;
            if (attempt == 1 && (!options.replaceUnreadable || !QFileInfo(path).isFile())) {
                out.kind = Outcome::Kind::notLoaded;
                return out;
            }
            keep = KeptCopy::Reason::unreadable;
            base = options.whenUnreadable;
        } else {
            base = std::move(current.content->quotes);
            out.others = std::move(current.content->others);
            out.quotesPosition =
                current.content->hasQuotes ? current.content->quotesPosition : out.others.size();
            if (current.content->hasRepeatedNames)
                keep = KeptCopy::Reason::repeatedNames;
        }
        const QStringList* replaced = options.replacedList ? &*options.replacedList : nullptr;
        AppliedChanges applied = applyChanges(base, attempt == 1 ? changes : again, replaced);
        if (attempt > 1) {
            const QSet<QString> present(applied.list.cbegin(), applied.list.cend());
            for (const QString& quote : seen) {
                if (!present.contains(quote) && !takenAway.contains(quote))
                    applied.list.append(quote);
            }
        }
        out.added = std::move(applied.added);
        if (applied.conflict)
            keep = KeptCopy::Reason::conflict;
        if (attempt == 1 && !options.writeUnchanged && !current.missing && !keep &&
            applied.list == base) {
            out.kind = Outcome::Kind::unchanged;
            out.list = std::move(base);
            out.bytes = std::move(current.bytes);
            out.stamp = Files::stamp(path);
            out.error.clear();
            return out;
        }

        const QByteArray bytes =
            QuotesDocument::encode(applied.list, out.others, out.quotesPosition);
        // The file is looked at once more just before the swap, when the new one is on disk:
        // a change made meanwhile is merged before anything is put in place.
        const auto unchangedSinceRead = [&] {
            QString ignored;
            if (const auto now = Files::read(path, &ignored))
                return !expected.missing && *now == expected.bytes;
            const auto stamp = Files::stamp(path);
            return expected.missing ? !stamp : expected.stamp && expected.stamp == stamp;
        };
        const auto replacement = Files::putInPlace(path, bytes, &out.error, unchangedSinceRead);
        // Giving up once a version of this transaction's was in place: the version it was
        // merged from is kept whole, since what stands in the file may lack its words.
        auto giveUp = [&] {
            QString ignored;
            if (published && !earlier.isEmpty()) {
                if (const auto copy = Files::moveBeside(
                        earlier, Files::finalTarget(path),
                        QString::fromLatin1(stemOf(KeptCopy::Reason::conflict)), &ignored))
                    out.kept.append({KeptCopy::Reason::conflict, *copy});
            } else {
                discard(earlier);
            }
        };
        if (!replacement) {
            giveUp();
            return out;
        }
        if (replacement->abandoned && attempt == mergeAttempts) {
            out.error = u"cannot write %1: another program kept changing it"_s.arg(
                QDir::toNativeSeparators(path));
            giveUp();
            return out;
        }
        if (replacement->abandoned) {
            // Once a version of this transaction's was in place, what replaced it is merged as
            // a swapped-out version would be.
            if (published)
                see(current);
            current = look(path);
            if (published)
                see(current);
            expected = current;
            continue;
        }
        out.error.clear();
        const QString previousPath = replacement->previous;
        // What stood there at the swap must be what was expected: otherwise a writer that took
        // no lock got in between, and its version is merged, or kept when it may still be
        // written into.
        const bool closed = previousPath.isEmpty() || waitUntilClosed(previousPath);
        QString error;
        auto previous = previousPath.isEmpty() ? std::optional<QByteArray>()
                                               : Files::read(previousPath, &error);
        bool asExpected = false;
        if (!closed)
            asExpected = false;
        else if (previous)
            asExpected = !expected.missing && *previous == expected.bytes;
        else if (expected.missing)
            asExpected = previousPath.isEmpty();
        else
            // Bytes that cannot be read are told apart by the file's identity and stamp.
            asExpected = !previousPath.isEmpty() && expected.stamp &&
                         expected.stamp == Files::stamp(previousPath);
        if (!asExpected && closed && previous && attempt < mergeAttempts) {
            discard(earlier);
            earlier = previousPath;
            published = true;
            see(current);
            current = decoded(std::move(previous), previousPath, error);
            see(current);
            // The other writer is at work too: let it finish before swapping again, a little
            // longer each time.
            const unsigned longest = attempt < 6 ? 1000u << attempt : 50'000u;
            QThread::usleep(QRandomGenerator::global()->bounded(200u, longest));
            expected = Current{};
            expected.bytes = bytes;
            continue;
        }
        if (asExpected) {
            if (attempt == 1)
                earlier = previousPath;
            else
                discard(previousPath);
        } else if (!previousPath.isEmpty()) {
            // Another writer's file that cannot be merged now: kept whole.
            QString copyError;
            if (const auto copy = Files::moveBeside(
                    previousPath, Files::finalTarget(path),
                    QString::fromLatin1(stemOf(KeptCopy::Reason::conflict)), &copyError))
                out.kept.append(
                    {closed ? KeptCopy::Reason::conflict : KeptCopy::Reason::stillOpen, *copy});
            else
                out.error = copyError;
        }
        if (keep && !earlier.isEmpty()) {
            QString copyError;
            if (const auto copy = Files::moveBeside(earlier, Files::finalTarget(path),
                                                    QString::fromLatin1(stemOf(*keep)), &copyError))
                out.kept.append({*keep, *copy});
            else
                // Where no copy can be made the earlier file stays under its temporary name,
                // rather than being lost.
                out.error = copyError;
        } else {
            discard(earlier);
        }
        if (out.error.isEmpty())
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
