#include "terminaltext.h"

namespace terminaltext {

namespace {

bool actsOnTerminal(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x061c || c == 0x200e || c == 0x200f
           || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(const QString& text, bool quoted)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            shown += QLatin1String("\\t");
        else if (actsOnTerminal(c.unicode()))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else if (quoted && (c == QLatin1Char('"') || c == QLatin1Char('\\')))
            shown += QLatin1Char('\\') + c;
        else
            shown += c;
    }
    return shown;
}

} // namespace

QString visible(const QString& text)
{
    return escaped(text, false);
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + escaped(text, true) + QLatin1Char('"');
}

} // namespace terminaltext
