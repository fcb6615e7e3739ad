// The server's log box: the latest lines of the log, newest first.
#include "centrum/logbox.h"

namespace centrum {

void LogBox::add(const QString &shownLine)
{
    if (m_counter > 511) {
        m_lines = QStringList { shownLine };
        m_counter = 0;
    } else {
        m_lines.prepend(shownLine);
    }
    ++m_counter;
}

QString LogBox::text() const
{
    QString out;
    for (const QString &line : m_lines)
        out += line + QStringLiteral("\r\n");
    return out;
}

} // namespace centrum
