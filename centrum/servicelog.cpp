// The service's log: the log box, the day's log file and the string table.
#include "centrum/servicelog.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

#include <algorithm>
#include <utility>

namespace centrum {

namespace {

// Log lines carry text from the network; control characters in it would steer the terminal
// the log is shown on, so they are shown as the replacement character instead.
QString visibleText(const QString &text)
{
    const auto hidden = [](QChar ch) {
        const char16_t u = ch.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    };
    // Nearly every line has none: it is shared, not copied.
    if (std::none_of(text.cbegin(), text.cend(), hidden))
        return text;
    QString shown = text;
    for (QChar &ch : shown) {
        if (hidden(ch))
            ch = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace

ServiceLog::ServiceLog(const QString &programFolder, int lcid, std::function<QDateTime()> now, QObject *parent)
    : QObject(parent),
      m_now(std::move(now)),
      m_texts(stringTable(lcid)),
      m_file(programFolder, QStringLiteral(".log"), DayFileWriter::Mode::Append)
{
}

ServiceLog::~ServiceLog()
{
    flush();
}

QString ServiceLog::text(text::Id id) const
{
    return m_texts->getRes(id);
}

void ServiceLog::log(const QString &text)
{
    const QDateTime now = m_now();
    const QString line = visibleText(text);
    const QString shown = shownStamp(now) + line;
    m_box.add(shown);
    // A room logs four lines a candidate: one write for a turn's lines, not one a line.
    m_unwritten.append({ now, line });
    if (m_unwritten.size() == 1)
        QMetaObject::invokeMethod(this, &ServiceLog::flush, Qt::QueuedConnection);
    emit logLine(shown);
}

void ServiceLog::flush()
{
    if (m_unwritten.isEmpty())
        return;
    m_file.write(m_unwritten); // a failed write of the log is not worth stopping the service for
    m_unwritten.clear();       // keeping its room for the next turn's lines
}

} // namespace centrum
