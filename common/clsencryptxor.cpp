// The repeating-key XOR cipher over the UTF-16 bytes of a text, and its hexadecimal form.
#include "clsencryptxor.h"

#include "errors.h"

#include <array>
#include <vector>

namespace {

// Value of a hex digit, or -1; indexed by UTF-16 code unit below 128.
constexpr std::array<signed char, 128> makeDigitTable()
{
    std::array<signed char, 128> table {};
    for (auto &v : table)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = static_cast<signed char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = static_cast<signed char>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = static_cast<signed char>(c - 'a' + 10);
    return table;
}
constexpr auto digitTable = makeDigitTable();

constexpr char16_t upperDigits[] = u"0123456789ABCDEF";

inline int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    return u < 128 ? digitTable[u] : -1;
}

// The key as bytes, low byte of each character first.
std::vector<unsigned char> keyBytes(const QString &key)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(size_t(key.size()) * 2);
    for (QChar c : key) {
        bytes.push_back(static_cast<unsigned char>(c.unicode() & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

QString clsEncryptXOR::Encrypt(const QString &pstrMessage) const
{
    // Byte j of the message meets key byte j mod 2k, so character c meets key character c mod k.
    const qsizetype k = Key.size();
    if (k == 0 || pstrMessage.isEmpty())
        return {};
    QString out(pstrMessage.size(), Qt::Uninitialized);
    QChar *o = out.data();
    const QChar *key = Key.constData();
    qsizetype j = 0;
    for (QChar c : pstrMessage) {
        *o++ = QChar(char16_t(c.unicode() ^ key[j].unicode()));
        if (++j == k)
            j = 0;
    }
    return out;
}

QString clsEncryptXOR::Decrypt(const QString &pstrMessage) const
{
    return Encrypt(pstrMessage);
}

QString clsEncryptXOR::HexEncrypt(const QString &pstrMessage) const
{
    const auto key = keyBytes(Key);
    if (key.empty() || pstrMessage.isEmpty())
        return {};
    const size_t n = key.size();
    QString out(pstrMessage.size() * 4, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    size_t j = 0;
    for (QChar c : pstrMessage) {
        const unsigned lo = (c.unicode() & 0xFFu) ^ key[j];
        if (++j == n)
            j = 0;
        const unsigned hi = (c.unicode() >> 8) ^ key[j];
        if (++j == n)
            j = 0;
        o[0] = upperDigits[lo >> 4];
        o[1] = upperDigits[lo & 0xF];
        o[2] = upperDigits[hi >> 4];
        o[3] = upperDigits[hi & 0xF];
        o += 4;
    }
    return out;
}

std::optional<QString> clsEncryptXOR::tryHexDecrypt(QStringView hex, qsizetype *badPosition) const
{
    const auto key = keyBytes(Key);
    if (key.empty() || hex.size() < 2)
        return QString();
    const size_t n = key.size();
    const qsizetype pairs = hex.size() / 2; // a trailing odd digit is ignored
    // Whole characters only: an odd trailing byte cannot form one and is dropped.
    QString out(pairs / 2, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    const QChar *h = hex.data();
    const bool tolerant = m_mode == HexMode::Tolerant;
    unsigned previous = 0;
    size_t j = 0;
    unsigned low = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        const int d1 = digitValue(h[2 * i]);
        const int d2 = digitValue(h[2 * i + 1]);
        unsigned x;
        if (d1 < 0 || d2 < 0) {
            if (!tolerant) {
                if (badPosition)
                    *badPosition = 2 * i;
                return std::nullopt;
            }
            x = previous;
        } else {
            x = unsigned(d1 << 4 | d2);
            previous = x;
        }
        const unsigned byte = x ^ key[j];
        if (++j == n)
            j = 0;
        if (i % 2 == 0) {
            low = byte;
        } else {
            *o++ = char16_t(low | byte << 8);
        }
    }
    return out;
}

QString clsEncryptXOR::HexDecrypt(const QString &pstrMessage) const
{
    qsizetype bad = 0;
    auto text = tryHexDecrypt(pstrMessage, &bad);
    if (!text) {
        throw CipherError(QStringLiteral("not hexadecimal: \"%1\" at character %2")
                              .arg(pstrMessage.mid(bad, 2), QString::number(bad + 1)),
                          bad);
    }
    return *std::move(text);
}
