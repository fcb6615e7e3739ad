// Fuzz target: deciphering hex text, strict and tolerant, as text and as the bytes of a file line.
#include "tests/fuzz/fuzzinput.h"

#include "common/clsencryptxor.h"
#include "common/errors.h"
#include "paper/paperformat.h"

// Input: a key, NUL, then the hex text; an empty key is the default one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> texts = fuzz::fields(data, size, 2);
    const QByteArray &hex = texts[1];

    clsEncryptXOR strict;
    clsEncryptXOR tolerant(clsEncryptXOR::HexMode::Tolerant);
    if (!texts[0].isEmpty())
        strict.Key = tolerant.Key = QString::fromUtf8(texts[0]);

    // The bytes of a file line and the same bytes as text decipher alike.
    qsizetype badBytes = -1;
    qsizetype badText = -1;
    const auto fromBytes = strict.tryHexDecrypt(QLatin1StringView(hex), &badBytes);
    const QString hexText = QString::fromLatin1(hex);
    const auto fromText = strict.tryHexDecrypt(QStringView(hexText), &badText);
    FUZZ_ASSERT(fromBytes == fromText);
    FUZZ_ASSERT(badBytes == badText);

    const QString lenient = tolerant.HexDecrypt(hexText);
    bool thrown = false;
    try {
        strict.HexDecrypt(hexText);
    } catch (const CipherError &) {
        thrown = true;
    }
    FUZZ_ASSERT(thrown == !fromText.has_value());
    if (fromText) {
        FUZZ_ASSERT(lenient == *fromText);
        // Enciphering again gives the digits back, in upper case, whole characters only.
        const qsizetype digits = fromText->size() * 4;
        if (!strict.Key.isEmpty())
            FUZZ_ASSERT(strict.HexEncrypt(*fromText) == hexText.left(digits).toUpper());
    } else {
        FUZZ_ASSERT(badText >= 0 && badText + 1 < hexText.size());
        FUZZ_ASSERT(lenient.size() == hexText.size() / 4 || strict.Key.isEmpty());
    }

    // Any text survives the round trip through hex, and the plain cipher is its own inverse.
    const QString plain = QString::fromUtf8(hex);
    if (!strict.Key.isEmpty()) {
        FUZZ_ASSERT(strict.HexDecrypt(strict.HexEncrypt(plain)) == plain);
        FUZZ_ASSERT(strict.Decrypt(strict.Encrypt(plain)) == plain);
    }

    // A paper line read as bytes or as text gives the same plain line.
    qsizetype lineBad = -1;
    const auto lineFromBytes = paper::decipherLine(QByteArrayView(hex));
    const auto lineFromText = paper::decipherLine(QStringView(plain), &lineBad);
    FUZZ_ASSERT(lineFromBytes == lineFromText);
    return 0;
}
