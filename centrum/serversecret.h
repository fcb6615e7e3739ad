// The server's own secret: drawn once, kept in its folder, and the root of the keys it derives.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace centrum {

// 32 random bytes kept as 64 hexadecimal digits (and a line end) in server.key in the server's
// folder, readable by its owner only, and never served. Keys derived from it with the same
// purpose and data are the same in every run, so a candidate's shuffled copy survives a
// restart of the service. A file that is there but cannot be read or is not exactly such a
// line is never replaced: the examiner decides what became of it.
class ServerSecret
{
public:
    static constexpr qsizetype size = 32;
    static constexpr QLatin1StringView fileName { "server.key" };

    // One random byte, 0 to 255.
    using ByteSource = std::function<quint8()>;

    // Why there is no secret.
    struct Fault {
        enum class Kind { Unreadable, Damaged, NotWritten };
        Kind kind = Kind::Damaged;
        QString path;
        QString detail; // the system's reason, when there is one
    };

    // The folder's secret; drawn from randomByte and written (owner only, durably) when the
    // file does not exist. Nothing, with fault set, when it cannot be read, is not one line of
    // 64 hexadecimal digits, or cannot be written.
    static std::optional<ServerSecret> loadOrCreate(const QString &folder, const ByteSource &randomByte,
                                                    Fault *fault = nullptr);

    // HMAC-SHA256 under the secret of purpose, a zero byte and data: 32 bytes. Different
    // purposes give unrelated keys from the same data.
    QByteArray derive(QByteArrayView purpose, QByteArrayView data) const;

    // The key that orders the candidates' copies of a paper: the same for the same paper
    // name and bytes, another when either changes.
    QByteArray shuffleKey(const QString &paperName, const QByteArray &paperBytes) const;

private:
    explicit ServerSecret(QByteArray bytes) : m_bytes(std::move(bytes)) { }
    QByteArray m_bytes;
};

} // namespace centrum
