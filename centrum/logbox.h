// The server's log box: the latest lines of the log, newest first.
#pragma once

#include <QString>
#include <QStringList>

namespace centrum {

// The log box: newest line first; once 512 lines are shown the next line clears it.
class LogBox
{
public:
    void add(const QString &shownLine);
    // Set to 1 by each service start.
    void setCounter(int counter) { m_counter = counter; }
    int counter() const { return m_counter; }
    const QStringList &lines() const { return m_lines; }
    // Every line followed by CR LF, newest first.
    QString text() const;

private:
    QStringList m_lines;
    int m_counter = 0;
};

} // namespace centrum
