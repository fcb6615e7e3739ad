// The service's log: the log box, the day's log file and the string table.
#pragma once

#include "centrum/dayfilewriter.h"
#include "centrum/logbox.h"
#include "centrum/texts.h"

#include <QAbstractSocket>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CmultiLanguage;

namespace centrum {

// The error number of a log line for a fault the service finds itself, not its socket.
inline constexpr int sectionMsgError = int(QAbstractSocket::UnknownSocketError);

// Every part of the service logs through one of these, handed to it by reference.
class ServiceLog : public QObject
{
    Q_OBJECT

public:
    ServiceLog(const QString &programFolder, int lcid, std::function<QDateTime()> now, QObject *parent = nullptr);
    ~ServiceLog() override;

    // Control characters are shown as a replacement character: much of the text comes from peers.
    // The day's file takes the line when the loop next turns, with the rest of that turn's lines.
    void log(const QString &text);
    // Writes the lines not in the file yet; done at every turn of the loop and on destruction.
    void flush();
    QString text(text::Id id) const;

    const CmultiLanguage &texts() const { return *m_texts; }
    LogBox &logBox() { return m_box; }
    const LogBox &logBox() const { return m_box; }
    QString logPath(const QDate &day) const { return m_file.pathFor(day); }

signals:
    // A line as the log box shows it: date, time and text.
    void logLine(const QString &shownLine);

private:
    std::function<QDateTime()> m_now;
    std::unique_ptr<CmultiLanguage> m_texts;
    DayFileWriter m_file;
    QList<DayFileWriter::Entry> m_unwritten;
    LogBox m_box;
};

} // namespace centrum
