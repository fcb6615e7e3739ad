// Single values of INI settings files, read and written the way the programs use them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class CReadINI
{
public:
    // Set the file, section and key, then read or write one value.
    void setININame(const QString &sININame) { m_iniName = sININame; }
    void setSection(const QString &sSection) { m_section = sSection; }
    void setKey(const QString &sKey) { m_key = sKey; }

    // The value cut to its first 254 characters and trimmed of blanks; the empty text
    // when the file, section or key is missing or the value is empty. Then the error
    // report below also goes to errorSink, when one is set.
    QString ReadINISettings();

    // Writes the value, creating the file, section and key when missing. False when the
    // file could not be written; the callers that keep going without it may ignore that.
    bool WriteINISettings(const QString &KeyValue);

    // One value without the properties: cut to 254 characters, not trimmed.
    QString GetPrivateStringValue(const QString &section, const QString &Key, const QString &File);

    // Every value of section "record" of fn, in file order and whole, into entryCol.
    QString readLog(const QString &fn);

    // Values collected by readLog.
    QStringList entryCol;

    // Where a failed ReadINISettings reports; the test-taking program shows it in a box.
    std::function<void(const QString &report)> errorSink;

    QString lastError() const { return m_lastError; }

    static constexpr int valueLimit = 254;
    static constexpr long errorNumber = -2147219990L;
    static QString errorReport();

private:
    QString m_iniName;
    QString m_section;
    QString m_key;
    QString m_lastError;
};
