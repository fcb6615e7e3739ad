// Writing JSON text by hand, so that keys keep the order a reader expects.
#include "tools/papertool/jsonout.h"

QString jsonString(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'"': out += QStringLiteral("\\\""); continue;
        case u'\\': out += QStringLiteral("\\\\"); continue;
        case u'\b': out += QStringLiteral("\\b"); continue;
        case u'\f': out += QStringLiteral("\\f"); continue;
        case u'\n': out += QStringLiteral("\\n"); continue;
        case u'\r': out += QStringLiteral("\\r"); continue;
        case u'\t': out += QStringLiteral("\\t"); continue;
        default: break;
        }
        const bool pairedHigh = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pairedHigh) {
            out += c;
            out += text[++i];
        } else if (c.unicode() < 0x20 || c.isSurrogate()) {
            // A deciphered damaged line may hold any code unit; keep the output valid UTF-8.
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        } else {
            out += c;
        }
    }
    out += u'"';
    return out;
}
