// One candidate waiting for, or receiving, a paper.
#pragma once

#include <QString>

namespace centrum {

class Cuser
{
public:
    QString uIP;         // address of the candidate's message connection
    QString uPort;       // the candidate's file port as received
    qint16 uSckNdx = 0;  // index of the candidate's message socket
    QString uID;         // the ID, trimmed
    quint64 uConn = 0;   // which connection held that index, as indices are reused
    QString uServerIP;   // the server's address that the candidate dialled
};

} // namespace centrum
