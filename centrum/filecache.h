// The bytes of small files sent again and again, kept while the files stay as they were read.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace centrum {

// The bytes of small files that are sent again and again (a paper to a room, a page to the
// browsers), so that a send costs no reading. A file is read afresh as soon as its size,
// times or inode differ from what was read, and at every send while it changed only just now.
class FileCache
{
public:
    static constexpr qint64 maxFileBytes = 256 * 1024;
    static constexpr qint64 maxTotalBytes = 4 * 1024 * 1024;
    // A file written more recently than this is read at every send.
    static constexpr qint64 settleNs = 2'000'000'000;

    // The whole file when it is a readable regular file of at most maxFileBytes bytes;
    // nothing otherwise, and then the caller reads it piece by piece.
    std::optional<QByteArray> bytesOf(const QString &path);

private:
    struct Item {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        QByteArray bytes;
        bool operator==(const Item &o) const
        {
            return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs
                && changedNs == o.changedNs;
        }
    };
    QHash<QString, Item> m_items;
    qint64 m_total = 0;
};

} // namespace centrum
