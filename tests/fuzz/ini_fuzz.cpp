// Fuzz target: the INI engine: parsing, writing a value, writing the file and reading it back.
#include "tests/fuzz/fuzzinput.h"

#include "common/creadini.h"
#include "common/inifile.h"

#include <QFile>

namespace {

QString trimmedBlanks(const QString &s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Input: section, NUL, key, NUL, value, NUL, then the file's bytes (which may hold NULs).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const fuzz::ScratchFolder scratch("ini");
    const QList<QByteArray> texts = fuzz::fields(data, size, 4);
    const QString section = QString::fromUtf8(texts[0]);
    const QString key = QString::fromUtf8(texts[1]);
    const QString value = QString::fromUtf8(texts[2]);
    const QByteArray &bytes = texts[3];

    // The file as loaded is the text as parsed, a byte-order mark aside.
    const QString path = scratch.filePath(QStringLiteral("setting.ini"));
    {
        QFile f(path);
        FUZZ_ASSERT(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString loadError;
    const IniFile loaded = IniFile::load(path, &loadError);
    FUZZ_ASSERT(loadError.isEmpty());
    const QByteArray unmarked = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const IniFile before = IniFile::fromText(QString::fromUtf8(unmarked));
    FUZZ_ASSERT(loaded.text() == before.text());
    // What is written reads back as written. (Once: lone CRs ending the last line of a file
    // with LF line ends lose one, and may then read as a CR LF line end.)
    const QString normal = IniFile::fromText(before.text()).text();
    FUZZ_ASSERT(IniFile::fromText(normal).text() == normal);

    const QStringList keysBefore = before.keys(section);
    const QStringList valuesBefore = before.values(section);
    const bool hadKey = before.value(section, key).has_value();
    const bool atEnd = before.appendsAtEnd(section);

    IniFile after = before;
    const bool set = after.setValue(section, key, value);
    if (!set) {
        FUZZ_ASSERT(after.text() == before.text());
    } else {
        FUZZ_ASSERT(after.value(section, key) == value);
        const IniFile reread = IniFile::fromText(after.text());
        FUZZ_ASSERT(reread.value(section, key) == value);
        // Every other entry of the section keeps its place and value.
        const QStringList keysAfter = reread.keys(section);
        const QStringList valuesAfter = reread.values(section);
        if (hadKey) {
            FUZZ_ASSERT(keysAfter == keysBefore);
            qsizetype changed = 0;
            for (qsizetype i = 0; i < valuesBefore.size(); ++i)
                changed += valuesAfter[i] != valuesBefore[i];
            FUZZ_ASSERT(changed <= 1);
        } else {
            FUZZ_ASSERT(keysAfter.size() == keysBefore.size() + 1);
            FUZZ_ASSERT(keysAfter.mid(0, keysBefore.size()) == keysBefore);
            FUZZ_ASSERT(valuesAfter.mid(0, valuesBefore.size()) == valuesBefore);
            if (atEnd) {
                FUZZ_ASSERT(after.text()
                            == before.text() + trimmedBlanks(key) + u'=' + value + before.lineEnd());
            }
        }
    }

    // The same change made to the file, through the settings class the programs use.
    CReadINI settings;
    settings.setININame(path);
    settings.setSection(section);
    settings.setKey(key);
    const bool written = settings.WriteINISettings(value);
    FUZZ_ASSERT(written == set);
    if (written) {
        FUZZ_ASSERT(fileBytes(path) == after.text().toUtf8());
        const QString read = settings.ReadINISettings();
        if (value.size() <= CReadINI::valueLimit && value.trimmed() == value)
            FUZZ_ASSERT(read == value.trimmed());
        FUZZ_ASSERT(settings.GetPrivateStringValue(section, key, path) == value.left(CReadINI::valueLimit));
    } else {
        FUZZ_ASSERT(fileBytes(path) == bytes);
    }
    CReadINI log;
    log.readLog(path);
    FUZZ_ASSERT(log.entryCol == IniFile::load(path).values(u"record"));
    return 0;
}
