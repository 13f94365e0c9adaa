// The plug-in's side of an automation start: exports the host object on the
// bus, takes the service name, waits for the network tool that created it,
// and decides when the process ends.
//
// The instance serves one network tool: once the first caller has arrived
// it gives the service name up again, so the next creation by a tool starts
// a new plug-in process (each plug-in window belongs to one command of one
// tool). The process ends
//  - when no caller arrives within the wait time,
//  - when its window is closed (by the user; a window that a failing command
//    closes during the tool's call leaves the object to the tool),
//  - when the caller releases the object (Release, or leaving the bus) while
//    no window is shown,
//  - after an idle time without calls while no window is shown.
#pragma once

#include "applicationobject.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <memory>

class QDBusServiceWatcher;

namespace automation {

class AutomationServer : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        int waitForCallerMs = 60000;
        int idleMs = 600000;
        int callbackTimeoutMs = 10000;
        // From AEROLIS_AUTOMATION_WAIT_MS, AEROLIS_AUTOMATION_IDLE_MS.
        static Options fromEnvironment();
    };

    AutomationServer(host::Application &application, ObjectBindings bindings, Options options,
                     QObject *parent = nullptr);
    ~AutomationServer() override;

    // Exports the object and takes the service name. False, with a text for
    // the user, when the bus cannot be reached or another instance serves the
    // name already.
    bool start(const QDBusConnection &bus, QString *error);

    ApplicationObject &object() { return *m_object; }
    QString caller() const { return m_object->caller(); }
    bool released() const { return m_released; }

    // The window was closed: the plug-in ends.
    void windowClosed();

    // Whether the plug-in still shows a window (the process then lives on
    // after its caller released it).
    void setWindowShownQuery(std::function<bool()> query) { m_windowShown = std::move(query); }

Q_SIGNALS:
    // The process may end now with this exit status.
    void finished(int exitStatus);

private:
    void onCaller(const QString &uniqueName);
    void onReleased();
    void onIdle();
    void finish(const QString &why);
    bool windowShown() const;

    Options m_options;
    std::unique_ptr<ApplicationObject> m_object;
    QDBusConnection m_bus;
    bool m_registered = false;
    bool m_serviceOwned = false;
    bool m_released = false;
    bool m_finished = false;
    QTimer m_waitTimer;
    QTimer m_idleTimer;
    QDBusServiceWatcher *m_watcher = nullptr;
    std::function<bool()> m_windowShown;
};

} // namespace automation
