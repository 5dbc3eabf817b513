#pragma once

#include <QString>

// Qt's own texts in the dialogs this program opens (the file dialog with its file list and
// messages, the standard buttons), in Vietnamese: Qt ships no Vietnamese catalogue. A text Qt
// asks for by its context and English source; empty when there is none here.
namespace QtVietnamese {

QString text(const char* context, const char* sourceText);

} // namespace QtVietnamese
