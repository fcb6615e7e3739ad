// The download service: browsers fetch files of the program folder over HTTP.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <array>
#include <chrono>

class NetSocket;
class QTimer;

namespace centrum {

class CtransFile;
class FileCache;
class ServiceLog;

// At most 21 browsers are served at once; the others wait for a slot. The server's own
// records and settings are never served.
class DownloadService : public QObject
{
    Q_OBJECT

public:
    DownloadService(ServiceLog &log, FileCache &cache, QString programFolder, std::chrono::milliseconds stallTimeout,
                    QObject *parent = nullptr);
    ~DownloadService() override;

    // Listens on port, anew when already listening; a failure is logged and set in problem.
    bool start(quint16 port, QString *problem);
    // Stops listening; the browsers being answered stay served.
    void stop();
    bool isRunning() const;
    quint16 port() const;
    // Files refused to browsers (403) besides the server's own records, such as the papers in
    // secure mode; replaces the last list.
    void withhold(const QStringList &filePaths);
    // A file never served either for as long as the service lives, such as a roster: once
    // its names and seats were read as one, they stay the examiner's. Empty adds nothing.
    void refuseFile(const QString &path);

private:
    struct HttpSlot {
        NetSocket *socket = nullptr;
        QByteArray request;
        QPointer<CtransFile> sender;
        bool answered = false;
        bool isFile = false;
        QTimer *idle = nullptr;
    };

    void onHttpRequest(int requestId);
    void onHttpData(int i);
    void onHttpSendComplete(int i);
    void freeHttpSlot(int i);

    ServiceLog &m_log;
    FileCache &m_cache;
    QString m_folder;
    QSet<QString> m_refused; // canonical paths
    NetSocket *m_pimp = nullptr; // the browsers' listener
    std::array<HttpSlot, 21> m_hoe;
    QSet<QString> m_withheld; // canonical paths
};

} // namespace centrum
