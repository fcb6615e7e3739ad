// The repeating-key XOR cipher over the UTF-16 bytes of a text, and its hexadecimal form.
#pragma once

#include <QString>
#include <QLatin1StringView>
#include <QStringView>

#include <optional>

class clsEncryptXOR
{
public:
    // How HexDecrypt meets a digit pair that is not hexadecimal.
    enum class HexMode {
        Strict,   // the pair fails the whole call
        Tolerant, // the pair repeats the byte of the pair before it (0 at the start), as the
                  // exam server reads result texts
    };

    explicit clsEncryptXOR(HexMode mode = HexMode::Strict) : m_mode(mode) { }

    static inline const QString defaultKey = QStringLiteral("lanterns");

    // The key; every caller of the suite keeps the default.
    QString Key = defaultKey;

    // Text whose UTF-16 bytes are the message's bytes XOR the key (its own inverse).
    QString Decrypt(const QString &pstrMessage) const;
    QString Encrypt(const QString &pstrMessage) const;

    // Hex text to text: pairs of digits in either case, a trailing odd digit ignored.
    // Throws CipherError for a pair that is not hexadecimal in strict mode.
    QString HexDecrypt(const QString &pstrMessage) const;

    // Text to upper-case hex text, four digits a character.
    QString HexEncrypt(const QString &pstrMessage) const;
    // The same digits appended to out as bytes, without a text made in between. A text
    // enciphered in parts passes each part the key position the part before returned.
    qsizetype appendHexEncrypted(QByteArray &out, QStringView message, qsizetype keyPosition = 0) const;

    // As HexDecrypt, but empty instead of throwing when a pair is not hexadecimal.
    std::optional<QString> tryHexDecrypt(QStringView hex, qsizetype *badPosition = nullptr) const;
    // The same over bytes as read from a file; a byte above 127 is no hex digit, and the
    // position counts bytes.
    std::optional<QString> tryHexDecrypt(QLatin1StringView hex, qsizetype *badPosition = nullptr) const;

    HexMode mode() const { return m_mode; }

private:
    HexMode m_mode;
};
