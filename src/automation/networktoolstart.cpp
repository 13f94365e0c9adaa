#include "networktoolstart.h"

#include "automationserver.h"

#include <host/application.h>
#include <host/hoststate.h>
#include <platform/messages.h>
#include <platform/tracelog.h>
#include <platform/version.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

namespace automation {

namespace {
QPointer<AutomationServer> g_server;

QDBusConnection sessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A process the bus started knows the bus as its starter.
    const QString starter = qEnvironmentVariable("DBUS_STARTER_ADDRESS");
    if (!bus.isConnected() && !starter.isEmpty())
        bus = QDBusConnection::connectToBus(starter, QStringLiteral("aerolis-starter-bus"));
    return bus;
}
} // namespace

int serveNetworkTool()
{
    host::Application application;
    const lns::ServerEnvironment &objectServer = host::state().env.server;
    // main() wires the object server's handles in: without them no tool
    // could hand an object over.
    if (!AEROLIS_CHECK(objectServer.handleBindings))
        return 1;
    AutomationServer server(application, objectServer.handleBindings(host::state().conn.objectServer),
                            AutomationServer::Options::fromEnvironment());
    QString error;
    if (!server.start(sessionBus(), &error)) {
        platform::messages().show(platform::MsgIcon::Critical, platform::kProductName, error);
        return 1;
    }
    g_server = &server;
    QObject::connect(&server, &AutomationServer::finished, &server, [](int status) { QCoreApplication::exit(status); });
    const int status = QCoreApplication::exec();
    g_server = nullptr;
    return status;
}

void noteWindowShown(QObject *window, const QString &title)
{
    const QString file = qEnvironmentVariable("AEROLIS_SHOWN_FILE");
    if (!file.isEmpty()) {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count();
            f.write(QStringLiteral("%1 %2 %3\n").arg(ns).arg(host::state().commandIndex).arg(title).toUtf8());
        }
    }
    bool ok = false;
    const int closeAfter = qEnvironmentVariableIntValue("AEROLIS_CLOSE_WINDOW_AFTER_MS", &ok);
    if (g_server && window && ok && closeAfter >= 0) {
        QPointer<QObject> w = window;
        QTimer::singleShot(closeAfter, g_server, [w] {
            if (w)
                QMetaObject::invokeMethod(w, "close");
        });
    }
}

void noteWindowClosed()
{
    if (g_server)
        g_server->windowClosed();
}

} // namespace automation
