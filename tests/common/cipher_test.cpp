// The XOR cipher: inverse pairs, the key's byte period, fixed vectors, and bad hex in both modes.
#include "clsencryptxor.h"
#include "errors.h"

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
