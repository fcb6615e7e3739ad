// Bilingual string tables: every text a program shows, fetched by number in one language.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

enum class Program { Vellum, Examdesk, Centrum, Entrant };

// The interface of a string table. Created directly, it answers the empty text.
class CmultiLanguage
{
public:
    virtual ~CmultiLanguage() = default;
    // Entry resID, numbered from 1; a number outside the table throws std::out_of_range.
    virtual QString getRes(int resID) const;
    virtual int size() const { return 0; }
};

// A table built from the texts compiled into the suite.
class StringTable : public CmultiLanguage
{
public:
    QString getRes(int resID) const override;
    int size() const override { return int(m_texts.size()); }

protected:
    StringTable(Program program, bool chinese);

private:
    QStringList m_texts;
};

// The Chinese table of a program.
class Cmlc : public StringTable
{
public:
    explicit Cmlc(Program program) : StringTable(program, true) { }
};

// The English table of a program.
class Cmlo : public StringTable
{
public:
    explicit Cmlo(Program program) : StringTable(program, false) { }
};

// The locale number that selects the Chinese tables (Chinese, PRC).
inline constexpr int chineseLcid = 2052;

// Chinese for 2052, English for every other locale number, the other Chinese ones included.
std::unique_ptr<CmultiLanguage> chooseStringTable(Program program, int lcid);
