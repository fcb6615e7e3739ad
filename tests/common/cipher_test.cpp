// The XOR cipher: inverse pairs, the key's byte period, fixed vectors, and bad hex in both modes.
#include "common/clsencryptxor.h"
#include "common/errors.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString hexOfUtf16(const QString &text)
{
    QString hex;
    for (QChar c : text)
        hex += QStringLiteral("%1%2").arg(c.unicode() & 0xFF, 2, 16, QChar(u'0')).arg(c.unicode() >> 8, 2, 16, QChar(u'0'));
    return hex.toUpper();
}

} // namespace

TEST(Cipher, HexFormMatchesAnIndependentlyComputedVector)
{
    // a^l = 0D, b^a = 03, c^n = 0D; the high bytes meet the key's zero high bytes.
    clsEncryptXOR cipher;
    EXPECT_EQ(cipher.HexEncrypt(QStringLiteral("abc")), QStringLiteral("0D0003000D00"));
    EXPECT_EQ(cipher.HexDecrypt(QStringLiteral("0D0003000D00")), QStringLiteral("abc"));
    // With an empty key-less step the hex is just the UTF-16 bytes.
    EXPECT_EQ(hexOfUtf16(QStringLiteral("abc")), QStringLiteral("610062006300"));
}

TEST(Cipher, DecipheringUndoesEncipheringForEveryKindOfText)
{
    clsEncryptXOR cipher;
    const QStringList texts = {
        QStringLiteral("法国的首都是哪里? Paris 巴黎"),
        QStringLiteral("0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"),
        QStringLiteral("  leading and trailing  "),
        QStringLiteral("a"),
        QString::fromUtf8("emoji \xF0\x9F\x98\x80 and text"),
        QString(300, u'x'),
    };
    for (const QString &t : texts) {
        const QString hex = cipher.HexEncrypt(t);
        EXPECT_EQ(hex.size(), 4 * t.size()) << t.toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(hex).hasMatch());
        EXPECT_EQ(cipher.HexDecrypt(hex), t);
        EXPECT_EQ(cipher.HexDecrypt(hex.toLower()), t);
        EXPECT_EQ(cipher.Decrypt(cipher.Encrypt(t)), t);
        EXPECT_EQ(cipher.Encrypt(t), cipher.Decrypt(t));
    }
}

TEST(Cipher, KeyRepeatsEveryTwoBytesPerKeyCharacter)
{
    clsEncryptXOR one;
    one.Key = QStringLiteral("k");
    const QString hex = one.HexEncrypt(QStringLiteral("aaaa"));
    EXPECT_EQ(hex, QStringLiteral("0A000A000A000A00"));

    clsEncryptXOR three;
    three.Key = QStringLiteral("abc");
    // Characters 0 and 3 meet the same key character, so equal input gives equal output.
    const QString h = three.HexEncrypt(QStringLiteral("zzzz"));
    EXPECT_EQ(h.mid(0, 4), h.mid(12, 4));
    EXPECT_NE(h.mid(0, 4), h.mid(4, 4));

    // A key character above 255 changes the high byte as well.
    clsEncryptXOR wide;
    wide.Key = QStringLiteral("中");
    EXPECT_EQ(wide.HexDecrypt(wide.HexEncrypt(QStringLiteral("ab"))), QStringLiteral("ab"));
    EXPECT_NE(wide.HexEncrypt(QStringLiteral("a")).mid(2, 2), QStringLiteral("00"));
}

TEST(Cipher, EmptyKeyOrMessageGivesEmptyText)
{
    clsEncryptXOR cipher;
    EXPECT_EQ(cipher.HexEncrypt(QString()), QString());
    EXPECT_EQ(cipher.HexDecrypt(QString()), QString());
    cipher.Key.clear();
    for (const QString &m : { QStringLiteral("abc"), QStringLiteral("0D00") }) {
        EXPECT_EQ(cipher.HexEncrypt(m), QString());
        EXPECT_EQ(cipher.HexDecrypt(m), QString());
        EXPECT_EQ(cipher.Encrypt(m), QString());
        EXPECT_EQ(cipher.Decrypt(m), QString());
    }
}

TEST(Cipher, TrailingOddDigitAndOddByteAreIgnored)
{
    clsEncryptXOR cipher;
    EXPECT_EQ(cipher.HexDecrypt(QStringLiteral("0D0003000D00F")), QStringLiteral("abc"));
    EXPECT_EQ(cipher.HexDecrypt(QStringLiteral("0D0003000D0012")), QStringLiteral("abc"));
}

TEST(Cipher, StrictModeRefusesPairsThatAreNotHex)
{
    clsEncryptXOR cipher;
    for (const QString &bad : { QStringLiteral("0D0G"), QStringLiteral("zz00"), QStringLiteral("0D 0"),
                                QStringLiteral("0D00中0") }) {
        EXPECT_THROW(cipher.HexDecrypt(bad), CipherError) << bad.toStdString();
        EXPECT_FALSE(cipher.tryHexDecrypt(bad).has_value());
    }
    qsizetype position = -1;
    EXPECT_FALSE(cipher.tryHexDecrypt(u"0D000300XX00", &position));
    EXPECT_EQ(position, 8);
}

TEST(Cipher, TolerantModeRepeatsThePreviousInputByte)
{
    clsEncryptXOR tolerant(clsEncryptXOR::HexMode::Tolerant);
    // "0DGG": 0D meets "l" and gives "a"; the bad pair repeats 0D, which meets the key's zero high byte.
    EXPECT_EQ(tolerant.HexDecrypt(QStringLiteral("0DGG")), QString(QChar(char16_t(0x0D61))));
    // A bad first pair counts as 00; the output keeps its full length.
    const QString text = tolerant.HexDecrypt(QStringLiteral("XX000300"));
    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text[0].unicode(), u'l');
    EXPECT_EQ(text[1], u'b');
}

namespace {

// The cipher as its definition reads, byte by byte over hex text: BytesToHex (hexOfUtf16 above),
// XorHex and HexToBytes, with XorHex's tolerant form keeping the previous pass's byte for a bad pair.
std::optional<QString> xorHex(const QString &h, const QString &key, bool tolerant)
{
    const QString kh = hexOfUtf16(key);
    const qsizetype n = kh.size() / 2;
    if (n == 0)
        return QString();
    QString out;
    uint x = 0;
    for (qsizetype i = 0; i < h.size() / 2; ++i) {
        bool ok = false;
        const uint pair = h.mid(2 * i, 2).toUInt(&ok, 16);
        // toUInt takes signs and blanks that the cipher does not: only two hex digits count.
        ok = ok && h.mid(2 * i, 2).contains(QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{2}$")));
        if (ok)
            x = pair;
        else if (!tolerant)
            return std::nullopt;
        const uint y = kh.mid(2 * (i % n), 2).toUInt(nullptr, 16);
        out += QStringLiteral("%1").arg(x ^ y, 2, 16, QChar(u'0')).toUpper();
    }
    return out;
}

QString hexToText(const QString &h)
{
    QString text;
    for (qsizetype i = 0; i + 4 <= h.size(); i += 4)
        text += QChar(char16_t(h.mid(i, 2).toUInt(nullptr, 16) | h.mid(i + 2, 2).toUInt(nullptr, 16) << 8));
    return text;
}

QString randomText(QRandomGenerator &random, int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        switch (random.bounded(4)) {
        case 0: text += QChar(char16_t(random.bounded(32, 127))); break;
        case 1: text += QChar(char16_t(random.bounded(0x4E00, 0x9FA6))); break;
        case 2: text += QChar(char16_t(random.bounded(0x80, 0x800))); break;
        default: text += QChar(char16_t(random.bounded(0, 0x10000))); break;
        }
    }
    return text;
}

} // namespace

TEST(Cipher, AgreesWithTheBytewiseDefinitionForManyTextsAndKeys)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        clsEncryptXOR cipher;
        if (round % 3)
            cipher.Key = randomText(random, int(random.bounded(1, 10)));
        // Past a few blocks of eight characters, the fast path's unit, and its remainders.
        const QString text = randomText(random, int(random.bounded(0, 100)));
        const QString hex = cipher.HexEncrypt(text);
        ASSERT_EQ(hex, text.isEmpty() ? QString() : *xorHex(hexOfUtf16(text), cipher.Key, false)) << round;
        EXPECT_EQ(cipher.HexDecrypt(hex), text);
        QByteArray appended("before");
        cipher.appendHexEncrypted(appended, text);
        EXPECT_EQ(appended, "before" + hex.toLatin1()) << "the bytes written straight into a file";
        QByteArray inParts;
        const qsizetype cut = text.isEmpty() ? 0 : qsizetype(random.bounded(int(text.size())));
        cipher.appendHexEncrypted(inParts, QStringView(text).sliced(cut),
                                  cipher.appendHexEncrypted(inParts, QStringView(text).first(cut)));
        EXPECT_EQ(inParts, hex.toLatin1()) << "in two parts, the key going on where the first ended; " << round;
        EXPECT_EQ(cipher.HexDecrypt(hex.toLower() + u'7'), text) << "lower case, an odd digit after";
        // An odd byte count: the last byte forms no character.
        if (!hex.isEmpty()) {
            EXPECT_EQ(cipher.HexDecrypt(hex + QStringLiteral("AB")), text);
            EXPECT_EQ(cipher.tryHexDecrypt(QLatin1StringView(hex.toLatin1())), text);
        }
    }
}

TEST(Cipher, BadPairsAreFoundWhereverTheyAreAndTolerantModeKeepsThePreviousByte)
{
    QRandomGenerator random(11);
    const clsEncryptXOR strict;
    const clsEncryptXOR tolerant(clsEncryptXOR::HexMode::Tolerant);
    const QString notDigits = QStringLiteral("GZ g-+ \u0130\uFF10\u00B0\u0B30");
    for (int round = 0; round < 300; ++round) {
        QString hex = strict.HexEncrypt(randomText(random, int(random.bounded(1, 30))));
        if (random.bounded(2))
            hex += QChar(u'0' + random.bounded(10)) + QStringLiteral("F"); // an odd trailing pair
        const int bad = int(random.bounded(1, 4));
        qsizetype first = hex.size();
        for (int b = 0; b < bad; ++b) {
            const qsizetype at = random.bounded(hex.size());
            hex[at] = notDigits[random.bounded(notDigits.size())];
            first = std::min(first, at - at % 2);
        }
        qsizetype position = -1;
        EXPECT_FALSE(strict.tryHexDecrypt(hex, &position)) << hex.toStdString();
        EXPECT_EQ(position, first) << hex.toStdString();
        EXPECT_THROW(strict.HexDecrypt(hex), CipherError);
        EXPECT_EQ(tolerant.HexDecrypt(hex), hexToText(*xorHex(hex, tolerant.Key, true))) << hex.toStdString();
    }
}

TEST(Cipher, CodeUnitsAndBytesBeyondAsciiAreNeverDigits)
{
    // Each of these equals a digit in its low seven bits.
    const clsEncryptXOR cipher;
    for (char16_t c : { u'\u0130', u'\u00B0', u'\u00C1', u'\uFF10', u'\u0B46' }) {
        QString hex = QStringLiteral("0D000D00");
        hex[5] = QChar(c);
        qsizetype position = -1;
        EXPECT_FALSE(cipher.tryHexDecrypt(hex, &position)) << int(c);
        EXPECT_EQ(position, 4);
    }
    for (char byte : { '\xB0', '\xC1', '\xE6', '\x80' }) {
        QByteArray hex("0D000D00");
        hex[2] = byte;
        qsizetype position = -1;
        EXPECT_FALSE(cipher.tryHexDecrypt(QLatin1StringView(hex), &position)) << int(byte);
        EXPECT_EQ(position, 2);
    }
    EXPECT_EQ(cipher.tryHexDecrypt(QLatin1StringView("0d000300")), QStringLiteral("ab"));
}
