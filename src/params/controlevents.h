// The collection's event forwarding on the page controls' state: text
// changes, typed keys and focus departures of text boxes, selections of
// lists, clicks of check boxes and option buttons go to the bound
// parameter. A view (the window's binder) or a headless driver reports the
// user's actions to the state; this forwards them.
#pragma once

#include <model/controlstate.h>

#include <QObject>
#include <QSet>

namespace params {

class cParams;

class ControlEvents : public QObject
{
    Q_OBJECT
public:
    explicit ControlEvents(cParams *params);

    void attach(model::ControlState *control);
    // While suspended (the window's value-loading flag) text changes,
    // selections and clicks are not forwarded.
    void setSuspended(bool on) { m_suspended = on; }
    bool suspended() const { return m_suspended; }

Q_SIGNALS:
    // After the bound parameter has taken an event of `control`.
    void forwarded(model::ControlState *control);

private:
    cParams *m_params;
    bool m_suspended = false;
    QSet<QObject *> m_attached;
};

} // namespace params
