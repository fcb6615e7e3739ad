// The test's shared state: the question on show, the answer record and which bar controls are live.
#pragma once

#include "examdesk/testrecord.h"

#include <QObject>
#include <QPointer>

namespace examdesk {

class console
{
public:
    // Number (1-based) of the question on show.
    qint16 currentItem = 0;
    testRecord rec;

    // Binds the next, previous and submit buttons and the time and count labels. Any
    // object with "enabled" and "visible" properties will do, so the logic needs no widgets.
    void setStatusObj(QObject *nxto, QObject *preo, QObject *endo, QObject *tmo, QObject *tlo);
    // Applies the flags to the bound controls.
    void setStatus();
    // Stores the start, next, previous, submit, time-label and count-label flags, then applies them.
    void setTesting(bool bs, bool ns, bool ps, bool es, bool ts, bool tls);

    // True until the test has started.
    bool startFlag() const { return m_start; }

private:
    QPointer<QObject> m_next, m_previous, m_submit, m_timeLabel, m_countLabel;
    bool m_start = true;
    bool m_nextOn = false;
    bool m_previousOn = false;
    bool m_submitOn = false;
    bool m_timeShown = true;
    bool m_countShown = true;
};

} // namespace examdesk
