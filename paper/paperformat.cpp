// The paper file's lines: the header and question fields, and the cipher every stored line goes through.
#include "paper/paperformat.h"

#include "common/clsencryptxor.h"
#include "paper/linefields.h"
#include "paper/onechoice.h"

namespace paper {

bool isKnownKind(const QString &code)
{
    return code == kindSingle || code == kindMultiple || code == kindBlank || code == kindTrueFalse;
}

QString removeCrLf(QString text)
{
    text.remove(QStringLiteral("\r\n"));
    return text;
}

QString buildHeaderLine(const Header &h)
{
    const QChar sep = fieldSeparator;
    return removeCrLf(h.random + sep + h.timeLimit + sep + h.subject + sep + h.title + sep
                      + h.total + sep + h.author);
}

Header readHeader(const QString &plainLine)
{
    const LineFields fields(plainLine);
    Header h;
    h.random = fields.readAt(0).toString();
    h.timeLimit = fields.readAt(1).toString();
    h.subject = fields.readAt(2).toString();
    h.title = fields.readAt(3).toString();
    h.total = fields.readAt(4).toString();
    h.author = fields.readAt(5).toString();
    return h;
}

QString buildQuestionLine(const oneChoice &q)
{
    const QChar sep = fieldSeparator;
    return removeCrLf(q.getContext() + sep + QString::number(q.getImg()) + sep + q.getAnswer()
                      + sep + q.getPoint() + sep + q.getType() + q.getOptStr());
}

namespace {
// Every stored line is enciphered under the default key.
const clsEncryptXOR &lineCipher()
{
    static const clsEncryptXOR cipher;
    return cipher;
}
} // namespace

QString encipherLine(const QString &plainLine)
{
    return lineCipher().HexEncrypt(plainLine);
}

EncipheredLine::~EncipheredLine()
{
    // In one run rather than part by part: a line's parts are mostly a few characters long.
    lineCipher().appendHexEncrypted(m_out, QStringView(m_plain.data(), m_plain.size()));
}

std::optional<QString> decipherLine(QStringView storedLine, qsizetype *badPosition)
{
    return lineCipher().tryHexDecrypt(storedLine, badPosition);
}

std::optional<QString> decipherLine(QByteArrayView storedLine, qsizetype *badPosition)
{
    // A line of hex digits is ASCII, so its bytes are its characters and need no decoding.
    if (auto plain = lineCipher().tryHexDecrypt(QLatin1StringView(storedLine)))
        return plain;
    // Otherwise the line as text decides: positions count its characters, and a character
    // beyond ASCII that only ends the line is an odd trailing digit, ignored.
    return lineCipher().tryHexDecrypt(QString::fromUtf8(storedLine), badPosition);
}

} // namespace paper
