// Commands typed to the headless server on its standard input: allow ID, status, help.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace centrum {

class Server;

// Runs each whole line it is fed. What the server does shows in its log; answers (help, an
// unknown command, an ID that has not logged in, the room's status) go to answer, each one line.
class ConsoleCommands
{
public:
    static constexpr qsizetype maxLine = 4096;

    ConsoleCommands(Server &server, std::function<void(const QString &line)> answer);

    void feed(QByteArrayView bytes);
    // At the end of the input: a last line without its line end still counts.
    void finish();

private:
    void run(const QString &line);
    // The counters, then each candidate without a result: ID, name, seat, address, state.
    void status();

    Server &m_server;
    std::function<void(const QString &)> m_answer;
    QByteArray m_pending;
    bool m_overlong = false; // the line at hand passed maxLine and is dropped whole
};

} // namespace centrum
