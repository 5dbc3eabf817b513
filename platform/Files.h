#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reading and writing for the small files the utility keeps. Every failure comes
// back as a description for a person that names the file and says what went wrong.
namespace Files {

// True when something (file, folder, or the target of a symbolic link) is at the path.
bool exists(const QString& path);

// Makes the folder with every missing parent. Returns whether it exists afterwards.
bool makeFolder(const QString& path);

std::optional<QByteArray> read(const QString& path, QString* error);

// Replaces the file's content in one step, so that a crash or a full disk leaves either the
// old content or the new one, never a cut-off file: the bytes go to a temporary file in the
// same folder, which is flushed to disk, renamed over the file and followed by a flush of the
// folder. A symbolic link stays a link and its target is replaced; an existing file keeps its
// permissions. A file that its owner may not write is not replaced. Temporary files that an
// interrupted earlier save left beside the file are removed once a save has succeeded.
bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error);

// Gives the file's current content a new name beside it, "<path>.<stem>-<yyyyMMdd-HHmmss>",
// adding "-2", "-3"... rather than ever replacing an existing name. The file itself stays where
// it is. Returns the new path.
std::optional<QString> keepCopyBeside(const QString& path, const QString& stem, QString* error);

} // namespace Files
