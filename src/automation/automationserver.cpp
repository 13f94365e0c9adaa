#include "automationserver.h"

#include "busnames.h"

#include <host/busactivation.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace automation {

namespace {

void trace(const QString &line)
{
    platform::TraceLog::instance().write(QStringLiteral("automation: ") + line);
}

int envMs(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

} // namespace

AutomationServer::Options AutomationServer::Options::fromEnvironment()
{
    Options o;
    o.waitForCallerMs = envMs("AEROLIS_AUTOMATION_WAIT_MS", o.waitForCallerMs);
    o.idleMs = envMs("AEROLIS_AUTOMATION_IDLE_MS", o.idleMs);
    return o;
}

AutomationServer::AutomationServer(host::Application &application, ObjectBindings bindings, Options options,
                                   QObject *parent)
    : QObject(parent),
      m_options(options),
      m_object(std::make_unique<ApplicationObject>(application, std::move(bindings))),
      m_bus(QStringLiteral("aerolis-no-bus"))
{
    m_object->setCallbackTimeout(options.callbackTimeoutMs);
    m_waitTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    connect(&m_waitTimer, &QTimer::timeout, this, [this] {
        if (m_object->caller().isEmpty())
            finish(QStringLiteral("no network tool called within %1 ms").arg(m_options.waitForCallerMs));
    });
    connect(&m_idleTimer, &QTimer::timeout, this, &AutomationServer::onIdle);
    connect(m_object.get(), &ApplicationObject::callerArrived, this, &AutomationServer::onCaller);
    connect(m_object.get(), &ApplicationObject::released, this, &AutomationServer::onReleased);
    connect(m_object.get(), &ApplicationObject::called, this, [this] { m_idleTimer.start(m_options.idleMs); });
}

AutomationServer::~AutomationServer()
{
    if (m_serviceOwned && m_bus.isConnected())
        m_bus.unregisterService(host::automationServiceName());
    if (m_registered && m_bus.isConnected())
        m_bus.unregisterObject(host::kAutomationObjectPath);
}

bool AutomationServer::start(const QDBusConnection &bus, QString *error)
{
    m_bus = bus;
    const QString service = host::automationServiceName();
    if (!m_bus.isConnected()) {
        const QString why = m_bus.lastError().isValid() ? m_bus.lastError().message() : QStringLiteral("not connected");
        trace(QStringLiteral("no session bus: ") + why);
        if (error)
            *error = platform::fillPlaceholders(gLoadResString(1900), {why});
        return false;
    }
    if (!m_bus.registerVirtualObject(host::kAutomationObjectPath, m_object.get())) {
        trace(QStringLiteral("object path %1 taken: %2").arg(host::kAutomationObjectPath, m_bus.lastError().message()));
        if (error)
            *error = platform::fillPlaceholders(gLoadResString(1901), {service});
        return false;
    }
    m_registered = true;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        service, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        trace(QStringLiteral("service name %1 not taken: %2")
                  .arg(service, reply.isValid() ? QStringLiteral("served by another instance") : reply.error().message()));
        if (error)
            *error = platform::fillPlaceholders(gLoadResString(1901), {service});
        return false;
    }
    m_serviceOwned = true;
    trace(QStringLiteral("serving %1 as %2, waiting for a network tool").arg(service, m_bus.baseService()));
    m_waitTimer.start(m_options.waitForCallerMs);
    return true;
}

void AutomationServer::onCaller(const QString &uniqueName)
{
    trace(QStringLiteral("created by %1").arg(uniqueName));
    m_waitTimer.stop();
    m_idleTimer.start(m_options.idleMs);
    // Single use: the next creation by a tool starts a new process.
    if (m_serviceOwned) {
        m_bus.unregisterService(host::automationServiceName());
        m_serviceOwned = false;
    }
    m_watcher = new QDBusServiceWatcher(uniqueName, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &name) {
        trace(QStringLiteral("%1 left the bus").arg(name));
        onReleased();
    });
    // The caller may have left already between its call and the watch.
    if (!m_bus.interface()->isServiceRegistered(uniqueName).value())
        onReleased();
}

void AutomationServer::onReleased()
{
    if (m_released)
        return;
    m_released = true;
    // Unattended runs (benchmarks, tests) close the window once the tool has
    // seen it and let go.
    if (!windowShown() || qEnvironmentVariable("AEROLIS_EXIT_WHEN_SHOWN") == QLatin1String("1"))
        finish(QStringLiteral("released"));
}

void AutomationServer::onIdle()
{
    if (!windowShown())
        finish(QStringLiteral("no call for %1 ms").arg(m_options.idleMs));
}

void AutomationServer::windowClosed()
{
    // A window that a failing command closes again (EndApp during the tool's
    // call) leaves the object to the tool, which can still read it (a failed
    // plug-in answers 0 / False) until it releases it.
    if (m_object->inCall() && !m_released) {
        trace(QStringLiteral("window closed during a call; serving until released"));
        return;
    }
    finish(QStringLiteral("window closed"));
}

bool AutomationServer::windowShown() const
{
    if (m_windowShown)
        return m_windowShown();
    const host::HostState &s = host::state();
    return s.mainWindow && s.mainWindow->isLoaded() && s.mainWindow->formVisible();
}

void AutomationServer::finish(const QString &why)
{
    if (m_finished)
        return;
    m_finished = true;
    m_waitTimer.stop();
    m_idleTimer.stop();
    trace(QStringLiteral("ending: ") + why);
    // A window that is still loaded (hidden by the tool) ends the only way
    // the plug-in ends.
    const host::HostState &s = host::state();
    if (s.mainWindow && s.mainWindow->isLoaded())
        host::EndApp();
    Q_EMIT finished(host::exitStatus());
}

} // namespace automation
