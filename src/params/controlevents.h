// Wiring of the page controls to the collection's event forwarding, for a
// window that does not forward its controls' events itself, for headless
// drivers and for tests: text changes, key presses and focus departures of
// text boxes, selections of lists, clicks of check boxes and option buttons.
#pragma once

#include <QObject>
#include <QSet>

class QWidget;

namespace params {

class cParams;

class ControlEvents : public QObject
{
    Q_OBJECT
public:
    explicit ControlEvents(cParams *params);

    void attach(QWidget *control);
    // While suspended (the window's value-loading flag) text changes,
    // selections and clicks are not forwarded.
    void setSuspended(bool on) { m_suspended = on; }
    bool suspended() const { return m_suspended; }

Q_SIGNALS:
    // After the bound parameter has taken an event of `control`.
    void forwarded(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    cParams *m_params;
    bool m_suspended = false;
    QSet<QObject *> m_attached;
};

} // namespace params
