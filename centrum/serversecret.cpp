// The server's own secret: drawn once, kept in its folder, and the root of the keys it derives.
#include "centrum/serversecret.h"

#include "common/durablefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>

#include <sys/stat.h>

namespace centrum {

namespace {

bool isHexDigits(QByteArrayView text)
{
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

std::optional<ServerSecret> ServerSecret::loadOrCreate(const QString &folder, const ByteSource &randomByte,
                                                       Fault *fault)
{
    const QString path = QDir(folder).filePath(fileName);
    const auto fail = [&](Fault::Kind kind, const QString &detail = QString()) -> std::optional<ServerSecret> {
        if (fault)
            *fault = Fault { kind, path, detail };
        return std::nullopt;
    };

    QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        QFile file(path);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly))
            return fail(Fault::Kind::Unreadable, info.isFile() ? file.errorString() : QString());
        // More than one line's worth is not a secret written here.
        QByteArray text = file.read(4 * size);
        if (text.endsWith('\n'))
            text.chop(1);
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.size() != 2 * size || !isHexDigits(text))
            return fail(Fault::Kind::Damaged);
        return ServerSecret(QByteArray::fromHex(text));
    }

    QByteArray bytes;
    for (qsizetype i = 0; i < size; ++i)
        bytes += char(randomByte());
    // Only the owner may read it, from the first byte written: the temporary file the write
    // goes through is created under this mask and renamed into place as it is.
    const mode_t mask = ::umask(077);
    QString error;
    const bool written = writeFileDurably(path, bytes.toHex() + '\n', &error);
    ::umask(mask);
    if (!written)
        return fail(Fault::Kind::NotWritten, error);
    if (!QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(Fault::Kind::NotWritten);
    return ServerSecret(bytes);
}

QByteArray ServerSecret::derive(QByteArrayView purpose, QByteArrayView data) const
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, m_bytes);
    mac.addData(purpose.data(), purpose.size());
    mac.addData("", 1); // the zero byte ending the purpose
    mac.addData(data.data(), data.size());
    return mac.result();
}

QByteArray ServerSecret::shuffleKey(const QString &paperName, const QByteArray &paperBytes) const
{
    const QByteArray name = paperName.toUtf8();
    // The name's length first, so no name and content run into each other ambiguously.
    QByteArray data = QByteArray::number(name.size()) + ':' + name;
    data += QCryptographicHash::hash(paperBytes, QCryptographicHash::Sha256);
    return derive("shuffle", data);
}

} // namespace centrum
