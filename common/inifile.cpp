// A small INI engine: values by section and key, names matched without regard to case.
#include "common/inifile.h"

#include "common/durablefile.h"

#include <QFile>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimmedBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool breaksLine(QStringView s)
{
    return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0));
}

} // namespace

IniFile IniFile::fromText(const QString &text)
{
    IniFile ini;
    if (text.contains(QStringLiteral("\r\n")))
        ini.m_lineEnd = QStringLiteral("\r\n");
    ini.m_lines = text.split(u'\n');
    // A final line end does not start another line.
    if (!ini.m_lines.isEmpty() && ini.m_lines.last().isEmpty())
        ini.m_lines.removeLast();
    for (QString &line : ini.m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return ini;
}

IniFile IniFile::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3); // a byte-order mark left by a text editor
    return fromText(QString::fromUtf8(bytes));
}

std::optional<QStringView> IniFile::sectionName(QStringView line)
{
    const QStringView t = trimmedBlanks(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmedBlanks(t.mid(1, close - 1));
}

std::optional<IniFile::Entry> IniFile::entryOf(QStringView line)
{
    const QStringView t = trimmedBlanks(line);
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
        return std::nullopt;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    const QStringView key = trimmedBlanks(line.left(eq));
    if (key.isEmpty())
        return std::nullopt;
    return Entry { key, line.mid(eq + 1) };
}

qsizetype IniFile::findSection(QStringView section) const
{
    section = trimmedBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i]))
        ++i;
    return i;
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    key = trimmedBlanks(key);
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto entry = entryOf(m_lines[i]);
        if (entry && sameName(entry->key, key))
            return entry->value.toString();
    }
    return std::nullopt;
}

QStringList IniFile::column(QStringView section, bool keys) const
{
    QStringList result;
    const qsizetype header = findSection(section);
    if (header < 0)
        return result;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (const auto entry = entryOf(m_lines[i]))
            result.append((keys ? entry->key : entry->value).toString());
    }
    return result;
}

QList<qsizetype> IniFile::valueLines(QStringView section) const
{
    QList<qsizetype> lines;
    const qsizetype header = findSection(section);
    if (header < 0)
        return lines;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (entryOf(m_lines[i]))
            lines.append(i + 1);
    }
    return lines;
}

bool IniFile::setValue(QStringView section, QStringView key, QStringView value, QString *error)
{
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // Names are stored as they are matched: without surrounding blanks.
    section = trimmedBlanks(section);
    key = trimmedBlanks(key);
    if (breaksLine(section) || section.contains(u']') || section.isEmpty())
        return refuse(QStringLiteral("unusable section name \"%1\"").arg(section));
    if (breaksLine(key) || key.contains(u'=') || key.isEmpty()
        || key.startsWith(u'[') || key.startsWith(u';') || key.startsWith(u'#'))
        return refuse(QStringLiteral("unusable key name \"%1\"").arg(key));
    if (breaksLine(value))
        return refuse(QStringLiteral("a value cannot hold a line break"));

    const QString newLine = key.toString() + u'=' + value.toString();
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(u'[' + section.toString() + u']');
        m_lines.append(newLine);
        return true;
    }
    const qsizetype end = sectionEnd(header);
    qsizetype lastFilled = header;
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto entry = entryOf(m_lines[i]);
        if (entry && sameName(entry->key, key)) {
            // Keep the key as it was spelled, and any blanks before the "=".
            const qsizetype eq = m_lines[i].indexOf(u'=');
            m_lines[i] = m_lines[i].left(eq + 1) + value.toString();
            return true;
        }
        if (!trimmedBlanks(m_lines[i]).isEmpty())
            lastFilled = i;
    }
    // After the section's last line that is not blank, so a blank line before the next
    // section stays where it is.
    m_lines.insert(lastFilled + 1, newLine);
    return true;
}

bool IniFile::appendsAtEnd(QStringView section) const
{
    const qsizetype header = findSection(section);
    if (header < 0 || sectionEnd(header) != m_lines.size())
        return false;
    // setValue puts a new key after the section's last line that is not blank.
    return m_lines.size() == header + 1 || !trimmedBlanks(m_lines.last()).isEmpty();
}

QString IniFile::text() const
{
    QString out;
    for (const QString &line : m_lines) {
        out += line;
        out += m_lineEnd;
    }
    return out;
}

bool IniFile::save(const QString &path, QString *error) const
{
    return writeFileDurably(path, text().toUtf8(), error);
}

bool writeIniValue(const QString &path, const QString &section, const QString &key,
                   const QString &value, QString *error)
{
    QString readError;
    IniFile ini = IniFile::load(path, &readError);
    if (!readError.isEmpty()) {
        // Never overwrite a file whose content could not be read.
        if (error)
            *error = readError;
        return false;
    }
    return ini.setValue(section, key, value, error) && ini.save(path, error);
}
