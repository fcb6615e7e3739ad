// Commands typed to the headless server on its standard input: allow ID, status, help.
#include "centrum/consolecommands.h"

#include "centrum/server.h"
#include "centrum/texts.h"
#include "common/multilanguage.h"

namespace centrum {

ConsoleCommands::ConsoleCommands(Server &server, std::function<void(const QString &line)> answer)
    : m_server(server), m_answer(std::move(answer))
{
}

void ConsoleCommands::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline);
        // A line past the limit is no command: its start is kept to say so.
        if (!m_overlong)
            m_pending += piece;
        if (m_pending.size() > maxLine) {
            m_pending.truncate(60);
            m_overlong = true;
        }
        if (newline < 0)
            return;
        bytes = bytes.sliced(newline + 1);
        const QString line = QString::fromUtf8(std::exchange(m_pending, {}));
        if (std::exchange(m_overlong, false))
            m_answer(m_server.texts().getRes(text::UnknownCommand) + line + QStringLiteral("..."));
        else
            run(line);
    }
}

void ConsoleCommands::finish()
{
    if (!m_pending.isEmpty())
        feed("\n");
}

void ConsoleCommands::run(const QString &line)
{
    const CmultiLanguage &texts = m_server.texts();
    const QString command = line.trimmed();
    if (command.isEmpty())
        return;
    qsizetype gap = 0;
    while (gap < command.size() && !command[gap].isSpace())
        ++gap;
    const QString word = command.left(gap);
    // An ID may hold blanks inside; the server keeps it without those around it.
    const QString id = command.mid(gap).trimmed();
    if (word == u"help" || (word == u"allow" && id.isEmpty()))
        m_answer(texts.getRes(text::ConsoleHelp));
    else if (word == u"status" && id.isEmpty())
        status();
    else if (word == u"allow") {
        if (!m_server.allowAgain(id))
            m_answer(texts.getRes(text::NotLoggedIn) + id);
    } else
        m_answer(texts.getRes(text::UnknownCommand) + command);
}

void ConsoleCommands::status()
{
    const CmultiLanguage &texts = m_server.texts();
    const RoomState &room = m_server.room();
    m_answer(countersText(texts, room.counters()));
    const QList<int> rows = room.notSubmitted();
    m_answer(texts.getRes(text::NotSubmittedYet) + QString::number(rows.size()));
    for (const int i : rows) {
        const CandidateRow &r = room.row(i);
        QStringList cells { r.id };
        for (const QString &more : { r.name, r.seat, r.address })
            if (!more.isEmpty())
                cells.append(more);
        cells.append(stateText(texts, r, room.roster() != nullptr));
        m_answer(QStringLiteral("  ") + cells.join(QStringLiteral("  ")));
    }
}

} // namespace centrum
