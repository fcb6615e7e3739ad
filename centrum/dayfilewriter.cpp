// The writer of the server's day files (log and report), and the names and times they show.
#include "centrum/dayfilewriter.h"

#include "common/durablefile.h"
#include "common/inifile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace centrum {

QDateTime localNow()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms / 1000;
    thread_local qint64 lastSecond = -1;
    thread_local int offset = 0;
    if (second != lastSecond) {
        lastSecond = second;
        offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
}

QString dayName(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-M-d"));
}

namespace {

// HH:MM:SS into the eight places from to, by hand: formatting through the locale machinery
// costs more than the rest of a log line.
template <typename Char>
void writeTime(Char *to, const QTime &time)
{
    const int parts[3] = { time.hour(), time.minute(), time.second() };
    for (int i = 0; i < 3; ++i) {
        to[i * 3] = Char('0' + parts[i] / 10);
        to[i * 3 + 1] = Char('0' + parts[i] % 10);
        if (i < 2)
            to[i * 3 + 2] = Char(':');
    }
}

} // namespace

QString timeText(const QTime &time)
{
    QString text(8, u':');
    writeTime(text.data(), time);
    return text;
}

QString shownStamp(const QDateTime &when)
{
    // Every log line carries the date; it changes once a day.
    thread_local QDate lastDate;
    thread_local QString lastName;
    const QDate date = when.date();
    if (date != lastDate) {
        lastDate = date;
        lastName = dayName(date) + u' ';
    }
    return lastName + timeText(when.time());
}

DayFileWriter::DayFileWriter(QString folder, QString suffix, Mode mode)
    : m_folder(std::move(folder)), m_suffix(std::move(suffix)), m_mode(mode)
{
}

DayFileWriter::~DayFileWriter()
{
    closeAppended();
}

QString DayFileWriter::pathFor(const QDate &date) const
{
    // Asked for at every entry; the day changes once a day.
    if (date != m_pathDate) {
        m_pathDate = date;
        m_path = QDir(m_folder).filePath(dayName(date) + m_suffix);
    }
    return m_path;
}

void DayFileWriter::knowKeys(const QString &path)
{
    if (path == m_currentPath)
        return;
    // A new day, or the first entry since the server started: take the keys already there.
    m_currentPath = path;
    const QStringList keys = IniFile::load(path).keys(u"record");
    m_keys = QSet<QString>(keys.begin(), keys.end());
    m_counter = int(keys.size());
}

QString DayFileWriter::nextKey(const QString &path, const QDateTime &when)
{
    knowKeys(path);
    const QString time = timeText(when.time());
    QString key;
    // The counter only grows, so this writer never makes a key twice: only the keys it found
    // are remembered, and a busy day's log does not grow the server by every line it wrote.
    do
        key = time + u'-' + QString::number(++m_counter);
    while (m_keys.contains(key));
    return key;
}

QString DayFileWriter::reserveKey(const QDateTime &when)
{
    return nextKey(pathFor(when.date()), when);
}

bool DayFileWriter::write(const QDateTime &when, const QString &value, QString *why)
{
    return write(QList<Entry> { { when, value } }, why);
}

namespace {

// A value as the single line it is written on: line breaks become spaces and NULs go.
QString lineValue(const QString &value)
{
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ').remove(QChar(0));
    return clean;
}

// The same, straight into the file's bytes: the log writes every line of a room this way.
void appendLineValue(QByteArray &out, const QString &value)
{
    const qsizetype start = out.size();
    out.resize(start + value.size());
    char *to = out.data() + start;
    for (const QChar ch : value) {
        const char16_t u = ch.unicode();
        if (u >= 0x80) { // not ASCII: one byte a character no longer holds
            out.truncate(start);
            out += lineValue(value).toUtf8();
            return;
        }
        if (u != 0)
            *to++ = u == u'\r' || u == u'\n' ? ' ' : char(u);
    }
    out.truncate(to - out.constData());
}

} // namespace

bool DayFileWriter::write(const QList<Entry> &entries, QString *why)
{
    bool ok = true;
    for (qsizetype from = 0; from < entries.size();) {
        // One write for each day's file: entries of a batch around midnight go to two files.
        const QString path = pathFor(entries[from].when.date());
        if (m_mode == Mode::Append) {
            qsizetype to = from + 1;
            while (to < entries.size() && entries[to].when.date() == entries[from].when.date())
                ++to;
            ok = append(path, std::span<const Entry>(entries.constData() + from, std::size_t(to - from)), why) && ok;
            from = to;
            continue;
        }
        QList<Entry> lines;
        lines.reserve(entries.size() - from);
        qsizetype to = from;
        for (; to < entries.size() && pathFor(entries[to].when.date()) == path; ++to) {
            lines.append({ entries[to].when, lineValue(entries[to].value), entries[to].key });
        }
        from = to;
        ok = writeDurably(path, lines, why) && ok;
    }
    return ok;
}

namespace {

QString systemError(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
}

} // namespace

bool DayFileWriter::openForAppend(const QString &path, qint64 *size, QString *why)
{
    if (m_fd >= 0 && m_fdPath == path) {
        struct stat st {};
        if (::stat(m_fdName.constData(), &st) == 0 && quint64(st.st_dev) == m_fdDevice && quint64(st.st_ino) == m_fdInode) {
            *size = qint64(st.st_size);
            return true;
        }
    }
    closeAppended();
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        if (why)
            *why = systemError(path);
        closeAppended();
        return false;
    }
    m_fdPath = path;
    m_fdName = name;
    m_fdDevice = quint64(st.st_dev);
    m_fdInode = quint64(st.st_ino);
    *size = qint64(st.st_size);
    return true;
}

void DayFileWriter::closeAppended()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_fdPath.clear();
}

bool DayFileWriter::append(const QString &path, std::span<const Entry> lines, QString *why)
{
    // The server writes only this section, so appending is what the settings writer does.
    qint64 size = 0;
    if (!openForAppend(path, &size, why))
        return false;
    QByteArray bytes;
    if (size == 0)
        bytes = "[record]\n";
    knowKeys(path);
    for (const Entry &e : lines) {
        if (m_keys.isEmpty()) { // a day's file this writer began: the counter alone keeps keys apart
            char key[32];
            writeTime(key, e.when.time());
            key[8] = '-';
            const auto end = std::to_chars(key + 9, key + sizeof key, ++m_counter).ptr;
            bytes.append(key, end - key);
        } else {
            bytes += nextKey(path, e.when).toUtf8();
        }
        bytes += '=';
        appendLineValue(bytes, e.value);
        bytes += '\n';
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (why)
                *why = systemError(path);
            // A line cut short (a full disk) would swallow the next one: the file ends where it did.
            if (done > 0) {
                [[maybe_unused]] const int cut = ::ftruncate(m_fd, size);
            }
            closeAppended(); // the next line tries a fresh open
            return false;
        }
        done += n;
    }
    return true;
}

std::optional<DayFileWriter::Stamp> DayFileWriter::appendSynced(const QString &path, const QByteArray &bytes,
                                                                const Stamp &expected, bool *changed, QString *why)
{
    *changed = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    struct stat st {};
    const auto fail = [&](bool cut) -> std::optional<Stamp> {
        if (why)
            *why = systemError(path);
        if (cut) {
            [[maybe_unused]] const int r = ::ftruncate(fd, expected.size);
        }
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    };
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return fail(false);
    if (quint64(st.st_ino) != expected.inode || qint64(st.st_size) != expected.size) {
        // Changed between the look and the open: nothing is written here.
        ::close(fd);
        *changed = true;
        return std::nullopt;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(done > 0);
        done += n;
    }
    // Entries not known to be on the disk are not to stay: they were never confirmed.
    if (::fdatasync(fd) != 0 || ::fstat(fd, &st) != 0)
        return fail(true);
    ::close(fd);
    return Stamp { true, quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

DayFileWriter::Stamp DayFileWriter::stampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return { true, quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

void DayFileWriter::forgetDocument()
{
    m_document.reset();
    m_documentBytes.reset();
}

bool DayFileWriter::writeDurably(const QString &path, const QList<Entry> &lines, QString *why)
{
    const bool known = (m_document || m_documentBytes) && m_documentPath == path;
    if (!known || stampOf(path) != m_documentStamp) {
        forgetDocument();
        QString readError;
        IniFile loaded = IniFile::load(path, &readError);
        if (!readError.isEmpty()) {
            // Never overwrite a file whose content could not be read.
            if (why)
                *why = readError;
            return false;
        }
        m_document = std::move(loaded);
        m_documentPath = path;
        // Keys another writer took meanwhile are not to be taken again: that would replace its entry.
        knowKeys(path);
        for (const QString &key : m_document->keys(u"record"))
            m_keys.insert(key);
    }
    for (const Entry &e : lines) {
        if (!e.key.isEmpty() && m_keys.contains(e.key)) {
            // Another writer took it meanwhile: its entry is not to be replaced.
            if (why)
                *why = path + QStringLiteral(": ") + e.key;
            return false;
        }
    }
    const auto keyOf = [this, &path](const Entry &e) { return e.key.isEmpty() ? nextKey(path, e.when) : e.key; };
    QByteArray bytes;
    if (m_documentBytes) {
        // Keys are unique and values clean, so each entry is exactly the line setValue would add.
        QByteArray added;
        qsizetype size = 0;
        for (const Entry &e : lines)
            size += 24 + e.value.size(); // the key, "=", the line end; more only past ASCII
        added.reserve(size);
        for (const Entry &e : lines)
            added += (keyOf(e) + u'=' + e.value + m_lineEnd).toUtf8();
        if (m_documentBytes->endsWith('\n')) {
            // The file is what this writer left: the entries go at its end and are synced there,
            // every byte before them untouched. A failure leaves the file as it was.
            bool changed = false;
            const std::optional<Stamp> appended = appendSynced(path, added, m_documentStamp, &changed, why);
            if (!appended) {
                forgetDocument();
                // Someone else's write came between: read what is there now, and add to that.
                return changed && writeDurably(path, lines, why);
            }
            *m_documentBytes += added;
            m_documentStamp = *appended;
            return true;
        }
        bytes = std::move(*m_documentBytes);
        m_documentBytes.reset();
        bytes += added;
    } else {
        for (const Entry &e : lines) {
            if (!m_document->setValue(u"record", keyOf(e), e.value, why)) {
                forgetDocument(); // what is on disk is what counts next time
                return false;
            }
        }
        bytes = m_document->text().toUtf8();
    }
    if (!writeFileDurably(path, bytes, why)) {
        forgetDocument();
        return false;
    }
    if (!m_document || m_document->appendsAtEnd(u"record")) {
        if (m_document)
            m_lineEnd = m_document->lineEnd();
        m_document.reset();
        m_documentBytes = std::move(bytes);
    }
    m_documentStamp = stampOf(path);
    return true;
}

} // namespace centrum
