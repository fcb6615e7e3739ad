// Bilingual string tables: every text a program shows, fetched by number in one language.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <span>

// One numbered entry of a program's table, in both languages (UTF-8).
struct TextEntry {
    int number;
    const char *chinese;
    const char *english;
};

// The interface of a string table. Created directly, it answers the empty text.
class CmultiLanguage
{
public:
    virtual ~CmultiLanguage() = default;
    // Entry resID, numbered from 1; a number outside the table throws std::out_of_range.
    virtual QString getRes(int resID) const;
    virtual int size() const { return 0; }
};

// A table built from a program's entries in one language. Numbers the entries leave out are
// empty texts, so that the later numbers stay in place.
class StringTable : public CmultiLanguage
{
public:
    QString getRes(int resID) const override;
    int size() const override { return int(m_texts.size()); }

protected:
    StringTable(std::span<const TextEntry> entries, bool chinese);

private:
    QStringList m_texts;
};

// The Chinese table of a program.
class Cmlc : public StringTable
{
public:
    explicit Cmlc(std::span<const TextEntry> entries) : StringTable(entries, true) { }
};

// The English table of a program.
class Cmlo : public StringTable
{
public:
    explicit Cmlo(std::span<const TextEntry> entries) : StringTable(entries, false) { }
};

// The locale number that selects the Chinese tables (Chinese, PRC).
inline constexpr int chineseLcid = 2052;

// Chinese for 2052, English for every other locale number, the other Chinese ones included.
std::unique_ptr<CmultiLanguage> chooseStringTable(std::span<const TextEntry> entries, int lcid);
