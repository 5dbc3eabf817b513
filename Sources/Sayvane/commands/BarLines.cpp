#include "BarLines.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace BarLines {

QByteArray header(BarFormat format) {
    if (format == BarFormat::i3bar)
        return QByteArrayLiteral("{\"version\":1,\"click_events\":true}\n[\n");
    return {};
}

QByteArray line(BarFormat format, const QString& text, const QString& tooltip, bool first) {
    switch (format) {
    case BarFormat::plain:
        return text.toUtf8() + '\n';
    case BarFormat::waybar: {
        const QJsonObject object{{u"text"_s, markupEscaped(text)},
                                 {u"tooltip"_s, markupEscaped(tooltip)},
                                 {u"class"_s, u"sayvane"_s}};
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    case BarFormat::i3bar: {
        const QJsonObject block{{u"name"_s, u"sayvane"_s}, {u"full_text"_s, text}};
        QByteArray bytes = first ? QByteArray() : QByteArrayLiteral(",");
        bytes += '[' + QJsonDocument(block).toJson(QJsonDocument::Compact) + "]\n";
        return bytes;
    }
    }
    return {};
}

QString markupEscaped(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c != u'\n' && c.category() == QChar::Other_Control)
            c = u' ';
    }
    // Qt escapes &, <, > and "; Pango's markup also takes &apos;.
    return out.toHtmlEscaped().replace(u'\'', u"&apos;"_s);
}

} // namespace BarLines
