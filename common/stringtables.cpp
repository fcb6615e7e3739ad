// The string-table machinery: a program's entries made into its table in one language.
#include "common/multilanguage.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

QStringList textsOf(std::span<const TextEntry> entries, bool chinese)
{
    int last = 0;
    for (const TextEntry &e : entries)
        last = std::max(last, e.number);
    QStringList texts(last);
    for (const TextEntry &e : entries)
        texts[e.number - 1] = QString::fromUtf8(chinese ? e.chinese : e.english);
    return texts;
}

} // namespace

QString CmultiLanguage::getRes(int) const
{
    return {};
}

StringTable::StringTable(std::span<const TextEntry> entries, bool chinese) : m_texts(textsOf(entries, chinese)) { }

QString StringTable::getRes(int resID) const
{
    if (resID < 1 || resID > m_texts.size())
        throw std::out_of_range("no string table entry " + std::to_string(resID));
    return m_texts[resID - 1];
}

std::unique_ptr<CmultiLanguage> chooseStringTable(std::span<const TextEntry> entries, int lcid)
{
    if (lcid == chineseLcid)
        return std::make_unique<Cmlc>(entries);
    return std::make_unique<Cmlo>(entries);
}
