// A private session bus for one test function: its own dbus-daemon whose
// activation folder holds the plug-in's activation file, the demo network,
// the test's own registry, and the environment every started plug-in gets
// (offscreen, unattended, the same network and registry roots, a file the
// plug-in notes its shown window in). Plug-in processes that a test leaves
// behind are ended when the fixture goes.
#pragma once

#include "demorooms.h"
#include "testenv.h"

#include <automation/pluginclient.h>
#include <automation/privatebus.h>
#include <lnssim/handles.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QProcess>
#include <QtTest>

#include <signal.h>

using StringMap = QMap<QString, QString>;
Q_DECLARE_METATYPE(StringMap)

class BusFixture
{
public:
    // executable: the plug-in the activation file names (default: the build's).
    explicit BusFixture(const QString &executable = plugInExecutable())
    {
        qDBusRegisterMetaType<StringMap>();
        platform::IniFile ini;
        ini.setFileName(TestEnvironment::iniPath());
        lnssim::DemoNetwork::create(env.lnsRoot(), ini, false);
        dataHome = env.file(QStringLiteral("share"));
        shownFile = env.file(QStringLiteral("shown.txt"));

        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        e.remove(QStringLiteral("DBUS_STARTER_ADDRESS"));
        e.remove(QStringLiteral("DBUS_STARTER_BUS_TYPE"));
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("AEROLIS_UNATTENDED"), QStringLiteral("1"));
        e.insert(QStringLiteral("AEROLIS_SHOWN_FILE"), shownFile);
        e.insert(QStringLiteral("AEROLIS_AUTOMATION_WAIT_MS"), QStringLiteral("30000"));
        e.insert(QStringLiteral("AEROLIS_AUTOMATION_IDLE_MS"), QStringLiteral("60000"));
        e.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        processEnv = e;

        // The activation file is in place before the bus reads its folders.
        regserverStatus = run(executable, {QStringLiteral("/regserver")}, &regserverOutput);
        ok = bus.start(env.file(QStringLiteral("bus")), dataHome, processEnv, &error);
        if (ok) {
            static int n = 0;
            connection = bus.connect(QStringLiteral("tst-%1").arg(++n));
            ok = connection.isConnected();
            if (!ok)
                error = connection.lastError().message();
            processEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        }
    }

    ~BusFixture()
    {
        // Plug-ins still running: give them a moment, then end them.
        for (qint64 pid : qAsConst(pids)) {
            for (int i = 0; i < 100 && ::kill(pid_t(pid), 0) == 0; ++i)
                QTest::qWait(50);
            if (::kill(pid_t(pid), 0) == 0) {
                qWarning("plug-in %lld left running; ended", pid);
                ::kill(pid_t(pid), SIGKILL);
            }
        }
        if (connection.isConnected())
            QDBusConnection::disconnectFromBus(connection.name());
        bus.stop();
    }

    static QString plugInExecutable() { return QDir(TestEnvironment::binDir()).filePath(QStringLiteral("AerolisCtrl")); }

    // Runs a program with the plug-ins' environment; -1 when it does not end
    // within timeoutMs.
    int run(const QString &program, const QStringList &args, QString *output = nullptr, int timeoutMs = 60000,
            const QProcessEnvironment *environment = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(environment ? *environment : processEnv);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForStarted(10000))
            return -2;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished(5000);
            if (output)
                *output = QString::fromUtf8(p.readAll());
            return -1;
        }
        if (output)
            *output = QString::fromUtf8(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
    }

    // A client of this test's connection; the plug-in it creates is
    // remembered so that the fixture can end it.
    std::unique_ptr<automation::PlugInClient> client(int timeoutMs = 30000)
    {
        return std::make_unique<automation::PlugInClient>(connection, timeoutMs);
    }
    bool create(automation::PlugInClient &c)
    {
        if (!c.create())
            return false;
        const QDBusReply<uint> pid = connection.interface()->servicePid(c.instance());
        if (pid.isValid())
            pids << pid.value();
        return true;
    }

    bool registered(const QString &name) const { return connection.interface()->isServiceRegistered(name).value(); }
    // Waits until the bus name is gone (the plug-in ended).
    bool waitGone(const QString &name, int timeoutMs = 20000) const
    {
        QElapsedTimer t;
        t.start();
        while (registered(name)) {
            if (t.elapsed() > timeoutMs)
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    // Waits until no connection but this test's is left on the bus (every
    // plug-in and tool has ended).
    bool waitAlone(int timeoutMs = 20000) const
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            QStringList others = connection.interface()->registeredServiceNames().value();
            others.removeAll(QStringLiteral("org.freedesktop.DBus"));
            others.removeAll(connection.baseService());
            if (others.isEmpty())
                return true;
            if (t.elapsed() > timeoutMs)
                return false;
            QTest::qWait(50);
        }
    }

    // Changes the environment of plug-ins the bus starts from now on.
    bool setActivationEnvironment(const QString &key, const QString &value)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                        QStringLiteral("/org/freedesktop/DBus"),
                                                        QStringLiteral("org.freedesktop.DBus"),
                                                        QStringLiteral("UpdateActivationEnvironment"));
        m << QVariant::fromValue(StringMap{{key, value}});
        return connection.call(m, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
    }

    // Lines "<ns> <command index> <title>" of windows shown so far.
    QStringList shownLines() const
    {
        QFile f(shownFile);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    static QString shownCommandAndTitle(const QString &line) { return line.section(QLatin1Char(' '), 1); }

    // The handle of a controller's LonMark object, as a network tool holds it.
    QString controllerHandle(const QString &device)
    {
        if (!toolServer) {
            toolServer = lnssim::SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
            toolServer->open(0);
            toolNetwork = toolServer->networks()->item(QStringLiteral("Demo"));
            toolNetwork->open(false);
        }
        return lnssim::objectHandle(demoController(toolNetwork->system(), device));
    }

    TestEnvironment env;
    QString dataHome;
    QString shownFile;
    QProcessEnvironment processEnv;
    automation::PrivateBus bus;
    QDBusConnection connection{QStringLiteral("tst-none")};
    bool ok = false;
    QString error;
    int regserverStatus = -1;
    QString regserverOutput;
    QList<qint64> pids;
    std::shared_ptr<lnssim::SimObjectServer> toolServer;
    lns::NetworkPtr toolNetwork;
};

#define QVERIFY_CALL(client, call) QVERIFY2((client).call, qPrintable((client).lastError().text()))
