// Helpers shared by the fuzz targets: cutting one input into several texts, a scratch folder, settling events.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace fuzz {

// The input cut at every NUL byte: a few texts from one input, and readable seed files.
inline QList<QByteArray> fields(const uint8_t *data, size_t size, int most)
{
    QList<QByteArray> out;
    QByteArrayView rest(reinterpret_cast<const char *>(data), qsizetype(size));
    while (out.size() + 1 < most) {
        const qsizetype nul = rest.indexOf('\0');
        if (nul < 0)
            break;
        out.append(rest.first(nul).toByteArray());
        rest = rest.sliced(nul + 1);
    }
    out.append(rest.toByteArray());
    while (out.size() < most)
        out.append(QByteArray());
    return out;
}

// A folder of this process's own for the files of an input, removed at exit; on tmpfs when
// there is one, since every input writes and syncs there.
class ScratchFolder
{
public:
    explicit ScratchFolder(const char *name)
    {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        m_path = QStringLiteral("%1/exam-fuzz-%2-%3").arg(base, QLatin1StringView(name)).arg(getpid());
        QDir(m_path).removeRecursively();
        QDir().mkpath(m_path);
    }
    ~ScratchFolder() { QDir(m_path).removeRecursively(); }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const QString &path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + u'/' + name; }

private:
    QString m_path;
};

// Runs the events of this thread until a few turns in a row find nothing to do: every
// exchange the input started over loopback has then run its course, without a fixed wait.
inline void settle(const std::function<bool()> &done = {})
{
    QEventLoop loop;
    int quiet = 0;
    for (int turn = 0; turn < 20000 && quiet < 4; ++turn) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool worked = loop.processEvents(QEventLoop::AllEvents);
        if (done && done())
            return;
        quiet = worked ? 0 : quiet + 1;
    }
}

// The application the targets with sockets need, made once.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = { name, nullptr };
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives as long as the process
}

// A property that must hold for every input: a broken one ends the run like a crash,
// with the input kept as the reproducer.
#define FUZZ_ASSERT(condition)                                                             \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                       \
        }                                                                                  \
    } while (0)

} // namespace fuzz
