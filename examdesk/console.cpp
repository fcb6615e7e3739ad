// Applying the test's control flags to whatever controls the window bound.
#include "examdesk/console.h"

#include <QVariant>

namespace examdesk {

void console::setStatusObj(QObject *nxto, QObject *preo, QObject *endo, QObject *tmo, QObject *tlo)
{
    m_next = nxto;
    m_previous = preo;
    m_submit = endo;
    m_timeLabel = tmo;
    m_countLabel = tlo;
}

void console::setStatus()
{
    const auto apply = [](QObject *control, const char *property, bool on) {
        if (control)
            control->setProperty(property, on);
    };
    apply(m_next, "enabled", m_nextOn);
    apply(m_previous, "enabled", m_previousOn);
    apply(m_submit, "enabled", m_submitOn);
    apply(m_timeLabel, "visible", m_timeShown);
    apply(m_countLabel, "visible", m_countShown);
}

void console::setTesting(bool bs, bool ns, bool ps, bool es, bool ts, bool tls)
{
    m_start = bs;
    m_nextOn = ns;
    m_previousOn = ps;
    m_submitOn = es;
    m_timeShown = ts;
    m_countShown = tls;
    setStatus();
}

} // namespace examdesk
