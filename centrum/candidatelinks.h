// What the paper transfers and the result recorder may ask of the candidates' message connections.
#pragma once

#include "centrum/classfile.h"

#include <QByteArray>

#include <optional>

namespace centrum {

// A message connection is named by its socket index and the serial of the connection that
// held the index, as indices are reused: a candidate gone and another in its place is not it.
class CandidateLinks
{
public:
    // Where a candidate is in the paper list it was announced.
    struct Place {
        qint16 paperNo = 1;    // from 1
        qsizetype papers = 0;  // how many its list holds
        ClassFile paper;       // the one at paperNo
    };

    virtual bool isOpen(qint16 index, quint64 serial) const = 0;
    // Nothing when the connection has gone.
    virtual std::optional<Place> placeOf(qint16 index, quint64 serial) const = 0;
    virtual void send(qint16 index, quint64 serial, const QByteArray &bytes) = 0;
    // Closes and forgets the connection, when it is still there.
    virtual void close(qint16 index, quint64 serial) = 0;

protected:
    ~CandidateLinks() = default;
};

} // namespace centrum
