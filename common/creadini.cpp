// Single values of INI settings files, read and written the way the programs use them.
#include "common/creadini.h"

#include "common/inifile.h"
#include "common/tokenizer.h"

namespace {

// What the settings service hands back for one value: up to the first NUL, at most 254 characters.
QString limitedValue(const QString &value)
{
    QString v = value.left(CReadINI::valueLimit);
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    return v;
}

} // namespace

QString CReadINI::errorReport()
{
    return QStringLiteral("Error Number: %1\r\nError Description: Initialization File Error!")
        .arg(errorNumber);
}

QString CReadINI::ReadINISettings()
{
    QString readError;
    const auto value = IniFile::load(m_iniName, &readError).value(m_section, m_key);
    const QString v = value ? limitedValue(*value) : QString();
    if (v.isEmpty()) {
        m_lastError = readError.isEmpty() ? errorReport() : readError;
        if (errorSink)
            errorSink(errorReport());
        return {};
    }
    return trimBlanks(v);
}

bool CReadINI::WriteINISettings(const QString &KeyValue)
{
    return writeIniValue(m_iniName, m_section, m_key, KeyValue, &m_lastError);
}

QString CReadINI::GetPrivateStringValue(const QString &section, const QString &Key,
                                        const QString &File)
{
    const auto value = IniFile::load(File, &m_lastError).value(section, Key);
    return value ? limitedValue(*value) : QString();
}

QString CReadINI::readLog(const QString &fn)
{
    // Whole values: a report entry cut short would no longer decipher into its fields.
    entryCol += IniFile::load(fn, &m_lastError).values(u"record");
    return QStringLiteral("ok");
}
