// A small INI engine: values by section and key, names matched without regard to case.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// An INI document held as its lines, so that writing a value keeps every other line,
// comment and blank as it stood. "[name]" starts a section; "key=value" is an entry
// whose value is everything after the first "=" (blanks kept); lines starting with ";"
// or "#" are comments. The first section and the first key that match count.
class IniFile
{
public:
    // A missing file is an empty document; error is set only when a file exists but
    // cannot be read.
    static IniFile load(const QString &path, QString *error = nullptr);
    static IniFile fromText(const QString &text);

    std::optional<QString> value(QStringView section, QStringView key) const;
    // Key names and values of a section, in file order (repeated keys included).
    QStringList keys(QStringView section) const { return column(section, true); }
    QStringList values(QStringView section) const { return column(section, false); }
    // The line numbers (from 1) of those entries, in the same order, so readers can say where.
    QList<qsizetype> valueLines(QStringView section) const;

    // Replaces the value in place, or appends the key at the end of its section, or
    // appends the section at the end of the document. Refuses names or values that
    // would break the file's lines.
    bool setValue(QStringView section, QStringView key, QStringView value, QString *error = nullptr);

    // True when a new key of section would be written as the document's very last line,
    // so that appending "key=value" and a line end to text() gives what setValue would.
    bool appendsAtEnd(QStringView section) const;
    const QString &lineEnd() const { return m_lineEnd; }

    QString text() const;
    // Writes the document through a temporary file and a rename.
    bool save(const QString &path, QString *error = nullptr) const;

private:
    struct Entry {
        QStringView key;
        QStringView value;
    };
    QStringList column(QStringView section, bool keys) const;
    // Index of the section header line, or -1.
    qsizetype findSection(QStringView section) const;
    // The end (exclusive) of the section whose header is at line index.
    qsizetype sectionEnd(qsizetype header) const;
    static std::optional<QStringView> sectionName(QStringView line);
    static std::optional<Entry> entryOf(QStringView line);

    QStringList m_lines;
    QString m_lineEnd = QStringLiteral("\n");
};

// One read-modify-write of a single value, as the settings classes need it.
bool writeIniValue(const QString &path, const QString &section, const QString &key,
                   const QString &value, QString *error = nullptr);
