// The repeating-key XOR cipher over the UTF-16 bytes of a text, and its hexadecimal form.
#include "common/clsencryptxor.h"

#include "common/errors.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Set in a digit's value when the code unit is not a hex digit: above the four bits of a
// digit, and still above the eight of a byte once a pair's first digit is shifted.
constexpr unsigned notHex = 0x100;

// Value of every code unit below 128 as a hex digit, or notHex.
constexpr std::array<std::uint16_t, 128> makeDigitTable()
{
    std::array<std::uint16_t, 128> table {};
    for (auto &v : table)
        v = notHex;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = std::uint16_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = std::uint16_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = std::uint16_t(c - 'a' + 10);
    return table;
}
constexpr auto digitTable = makeDigitTable();

// Both upper-case digits of every byte, high digit first, as the two UTF-16 code units
// they are stored as: one table look-up writes a whole byte's hex.
template <typename Word, typename Char>
constexpr std::array<Word, 256> makePairTable(const Char *digits)
{
    std::array<Word, 256> table {};
    for (unsigned b = 0; b < 256; ++b) {
        const Char pair[2] = { digits[b >> 4], digits[b & 0xF] };
        table[b] = std::bit_cast<Word>(pair);
    }
    return table;
}
constexpr auto pairTable = makePairTable<std::uint32_t>(u"0123456789ABCDEF");
// The same digits as bytes, for text written straight into a file's bytes.
constexpr auto bytePairTable = makePairTable<std::uint16_t>("0123456789ABCDEF");

// Value of a code unit as a hex digit, or a value with notHex set; no branch, so that a
// line's digits are read in one straight run and checked once at its end.
template <typename Unit> inline unsigned digitValue(Unit c)
{
    const auto u = static_cast<std::make_unsigned_t<Unit>>(c);
    return digitTable[u & 0x7F] | (u > 0x7F ? notHex : 0u);
}

template <typename Unit> inline unsigned pairValue(const Unit *h)
{
    return digitValue(h[0]) << 4 | digitValue(h[1]);
}

// A pair whose digits were both hexadecimal is a byte; any other has a bit above its eight.
inline bool isByte(unsigned pair) { return pair < 0x100; }

// Hex text to text under key. Byte j of the message meets key byte j mod 2k and the key's
// byte count is even, so character c meets key character c mod k whole.
template <typename Unit>
std::optional<QString> decipherHex(const Unit *h, qsizetype size, const QString &key, bool tolerant,
                                   qsizetype *badPosition)
{
    const qsizetype k = key.size();
    if (k == 0 || size < 2)
        return QString();
    const qsizetype pairs = size / 2; // a trailing odd digit is ignored
    // Whole characters only: an odd trailing byte cannot form one and is dropped.
    const qsizetype chars = pairs / 2;
    QString out(chars, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    const char16_t *kc = reinterpret_cast<const char16_t *>(key.constData());

    if (!tolerant) {
        unsigned flags = 0;
        qsizetype j = 0;
        for (qsizetype c = 0; c < chars; ++c) {
            const Unit *d = h + 4 * c;
            const unsigned lo = pairValue(d);
            const unsigned hi = pairValue(d + 2);
            flags |= lo | hi;
            o[c] = char16_t((lo | hi << 8) ^ kc[j]);
            if (++j == k)
                j = 0;
        }
        if (pairs % 2)
            flags |= pairValue(h + 4 * chars); // its byte is dropped, but it must still be hex
        if (isByte(flags))
            return out;
        for (qsizetype i = 0; i < pairs; ++i) {
            if (!isByte(pairValue(h + 2 * i))) {
                if (badPosition)
                    *badPosition = 2 * i;
                return std::nullopt;
            }
        }
        return out; // not reached: a flag came from some pair
    }

    // A pair that is not hexadecimal repeats the byte of the pair before it (0 at the start).
    unsigned previous = 0;
    unsigned low = 0;
    qsizetype j = 0;
    for (qsizetype i = 0; i < 2 * chars; ++i) {
        const unsigned pair = pairValue(h + 2 * i);
        const unsigned byte = isByte(pair) ? pair : previous;
        previous = byte;
        if (i % 2 == 0) {
            low = byte;
        } else {
            *o++ = char16_t((low | byte << 8) ^ kc[j]);
            if (++j == k)
                j = 0;
        }
    }
    return out;
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

namespace {

// Writes the four digits of each character of message at o, each pair of digits one entry of
// table (two UTF-16 code units or two bytes), the key taken from key position j; returns the
// key position after. Character c meets key character c mod k whole: its low byte the key's
// low byte, its high byte the key's high byte.
template <typename Pair>
qsizetype writeHexDigits(void *out, QStringView message, const QString &key, qsizetype j,
                         const std::array<Pair, 256> &table)
{
    auto *o = static_cast<unsigned char *>(out);
    const qsizetype k = key.size();
    const char16_t *kc = reinterpret_cast<const char16_t *>(key.constData());
    for (QChar c : message) {
        const unsigned x = c.unicode() ^ kc[j];
        if (++j == k)
            j = 0;
        const Pair digits[2] = { table[x & 0xFF], table[x >> 8] };
        std::memcpy(o, digits, sizeof digits);
        o += sizeof digits;
    }
    return j;
}

} // namespace

QString clsEncryptXOR::HexEncrypt(const QString &pstrMessage) const
{
    if (Key.isEmpty() || pstrMessage.isEmpty())
        return {};
    QString out(pstrMessage.size() * 4, Qt::Uninitialized);
    writeHexDigits(out.data(), pstrMessage, Key, 0, pairTable);
    return out;
}

namespace {

#if defined(__SSE2__)
// The upper-case hex digit of each of 16 values from 0 to 15.
inline __m128i hexDigits(__m128i nibbles)
{
    const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}
#endif

// The bytes' form of writeHexDigits, eight characters at a time where the processor allows:
// the characters' bytes XOR the key's, each byte's two digits, high first. A shuffled paper
// enciphers a whole copy of itself for every candidate, so this is a room's longest loop.
qsizetype writeHexBytes(char *out, QStringView message, const QString &key, qsizetype j)
{
    const qsizetype k = key.size();
#if defined(__SSE2__)
    constexpr qsizetype block = 8;     // characters, 16 bytes
    constexpr qsizetype longestKey = 64;
    if (message.size() >= block && k <= longestKey) {
        // The key over and over, long enough that a block starting anywhere in its first k
        // characters reads on without wrapping.
        char16_t stream[2 * longestKey + block];
        for (qsizetype filled = 0; filled < k + block; filled += k)
            std::memcpy(stream + filled, key.utf16(), size_t(k) * sizeof(char16_t));
        const char16_t *m = message.utf16();
        const qsizetype whole = message.size() / block * block;
        const __m128i low = _mm_set1_epi8(0x0F);
        qsizetype r = j; // where the next block's key starts in stream
        for (qsizetype i = 0; i < whole; i += block) {
            const __m128i bytes = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(m + i)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i *>(stream + r)));
            const __m128i high = hexDigits(_mm_and_si128(_mm_srli_epi16(bytes, 4), low));
            const __m128i lowDigits = hexDigits(_mm_and_si128(bytes, low));
            auto *o = reinterpret_cast<__m128i *>(out + i * 4);
            _mm_storeu_si128(o, _mm_unpacklo_epi8(high, lowDigits));
            _mm_storeu_si128(o + 1, _mm_unpackhi_epi8(high, lowDigits));
            for (r += block; r >= k;)
                r -= k;
        }
        return writeHexDigits(out + whole * 4, message.sliced(whole), key, (j + whole) % k, bytePairTable);
    }
#endif
    return writeHexDigits(out, message, key, j, bytePairTable);
}

} // namespace

qsizetype clsEncryptXOR::appendHexEncrypted(QByteArray &out, QStringView message, qsizetype keyPosition) const
{
    if (Key.isEmpty() || message.isEmpty())
        return keyPosition;
    const qsizetype start = out.size();
    out.resize(start + message.size() * 4);
    return writeHexBytes(out.data() + start, message, Key, keyPosition % Key.size());
}

std::optional<QString> clsEncryptXOR::tryHexDecrypt(QStringView hex, qsizetype *badPosition) const
{
    return decipherHex(hex.utf16(), hex.size(), Key, m_mode == HexMode::Tolerant, badPosition);
}

std::optional<QString> clsEncryptXOR::tryHexDecrypt(QLatin1StringView hex, qsizetype *badPosition) const
{
    return decipherHex(hex.data(), hex.size(), Key, m_mode == HexMode::Tolerant, badPosition);
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
