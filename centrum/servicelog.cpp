// The service's log: the log box, the day's log file, the string table and the texts beside it.
#include "servicelog.h"

#include "multilanguage.h"

#include <utility>

namespace centrum {

namespace {

// Texts of the service that the string table does not hold: Chinese, English.
const char *const extraTexts[][2] = {
    { " 端口设置无效:", " Bad port setting:" },
    { " 试卷无法使用:", " Paper cannot be served:" },
    { "%1秒无进展,已放弃传送", "no progress for %1 s, transfer given up" },
    { "消息超过64KiB", "message longer than 64 KiB" },
    { " 试卷路径不能含有\",\":", " A paper path cannot contain \",\":" },
    { "传送中对方断开", "the peer closed during the transfer" },
    { " 端口无法监听:", " Port cannot be listened on:" },
    { "文件无法读取:", "File cannot be read:" },
    { "%1秒内没有完整的消息,已断开连接", "no whole message for %1 s, connection let go" },
};

// Log lines carry text from the network; control characters in it would steer the terminal
// the log is shown on, so they are shown as the replacement character instead.
QString visibleText(QString text)
{
    for (QChar &ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            ch = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

ServiceLog::ServiceLog(const QString &programFolder, int lcid, std::function<QDateTime()> now, QObject *parent)
    : QObject(parent),
      m_lcid(lcid),
      m_now(std::move(now)),
      m_texts(chooseStringTable(Program::Centrum, lcid)),
      m_file(programFolder, QStringLiteral(".log"), DayFileWriter::Mode::Append)
{
}

ServiceLog::~ServiceLog() = default;

QString ServiceLog::text(int id) const
{
    return m_texts->getRes(id);
}

QString ServiceLog::extra(Extra id) const
{
    return QString::fromUtf8(extraTexts[id][m_lcid == chineseLcid ? 0 : 1]);
}

void ServiceLog::log(const QString &text)
{
    const QDateTime now = m_now();
    const QString line = visibleText(text);
    const QString shown = shownStamp(now) + line;
    m_box.add(shown);
    m_file.write(now, line); // a failed write of the log is not worth stopping the service for
    emit logLine(shown);
}

} // namespace centrum
