// The host object over the session bus, end to end: the plug-in executable
// started by the bus from its activation file, a network tool's client in
// this test, on a private bus of each test function's own.
#include "busfixture.h"

#include <lnssim/projectregistrations.h>
#include <platform/registrar.h>
#include <platform/registry.h>

#include <QDBusMessage>
#include <QDBusVariant>

using automation::PlugInClient;

namespace {
const QString kRoom101 = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
}

class TstAutomationBus : public QObject
{
    Q_OBJECT

    // Hides the window and releases the object: the plug-in ends.
    static void endPlugIn(BusFixture &f, PlugInClient &c)
    {
        const QString instance = c.instance();
        QVERIFY_CALL(c, set(QStringLiteral("Visible"), false));
        c.release();
        QVERIFY2(f.waitGone(instance), "the plug-in did not end after it was released");
    }

private slots:
    void regserverInstallsTheActivationFile()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        QCOMPARE(f.regserverStatus, 0);
        QFile service(QDir(f.dataHome).filePath(QStringLiteral("dbus-1/services/nordaQRT.Application.service")));
        QVERIFY(service.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(service.readAll());
        QVERIFY2(text.contains(QStringLiteral("Exec='%1' -automation").arg(BusFixture::plugInExecutable())), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Name=nordaQRT.Application\n")));
        // Nothing runs until a tool creates the object.
        QVERIFY(!f.registered(QStringLiteral("nordaQRT.Application")));
    }

    void readOnlyMembersAnswerWithTheObjectError_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("value");
        QTest::newRow("Version") << "Version" << "1.3";
        QTest::newRow("Name") << "Name" << "Aerolis Controller";
        QTest::newRow("LcaVersion") << "LcaVersion" << "2.00";
        QTest::newRow("ManufacturerId") << "ManufacturerId" << "0009D";
        QTest::newRow("ManufacturerName") << "ManufacturerName" << "norda Automation GmbH";
    }
    void readOnlyMembersAnswerWithTheObjectError()
    {
        QFETCH(QString, member);
        QFETCH(QString, value);
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVERIFY(!c->set(member, QStringLiteral("9.9")));
        const automation::CallError &e = c->lastError();
        QCOMPARE(e.name, QStringLiteral("nordaQRT.Application.Error"));
        QCOMPARE(quint32(e.number), 0x80044E22u);
        QCOMPARE(e.number, qint32(-2147201502));
        QCOMPARE(e.source, QStringLiteral("nordaQRT.Application"));
        QCOMPARE(e.description, QStringLiteral("Write not supported. This property is read-only."));
        QCOMPARE(e.message, e.description);
        QVariant v;
        QVERIFY_CALL(*c, get(member, &v));
        QCOMPARE(v.toString(), value);
        const QString instance = c->instance();
        c->release();
        QVERIFY(f.waitGone(instance));
    }

    void membersOverTheBus()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVERIFY_CALL(*c, set(QStringLiteral("NetworkName"), QStringLiteral("Demo")));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("NetworkName"), &v));
        QCOMPARE(v.toString(), QString());
        QCOMPARE(v.metaType().id(), QMetaType::QString);
        QVERIFY_CALL(*c, set(QStringLiteral("Remote"), true));
        QVERIFY_CALL(*c, get(QStringLiteral("Remote"), &v));
        QCOMPARE(v, QVariant(true));
        QVERIFY_CALL(*c, set(QStringLiteral("NetworkInterfaceName"), QStringLiteral("LON1")));
        QVERIFY_CALL(*c, get(QStringLiteral("NetworkInterfaceName"), &v));
        QCOMPARE(v.toString(), QStringLiteral("LON1"));

        // Bad input gets the bus's own errors.
        QVERIFY(!c->get(QStringLiteral("Colour"), &v));
        QCOMPARE(c->lastError().name, QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"));
        QVERIFY(!c->set(QStringLiteral("Height"), QStringLiteral("tall")));
        QCOMPARE(c->lastError().name, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QVERIFY(!c->get(QStringLiteral("ProgramIdsToRegister"), &v));
        QCOMPARE(c->lastError().name, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QVERIFY(!c->set(QStringLiteral("RegResult"), QStringLiteral("not an object")));
        QCOMPARE(c->lastError().name, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));

        // Every readable member, in one call.
        QDBusMessage all = QDBusMessage::createMethodCall(c->instance(), QStringLiteral("/Application"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
        all << QStringLiteral("nordaQRT.Application");
        const QDBusMessage reply = f.connection.call(all, QDBus::Block, 20000);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const QVariantMap map = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        QCOMPARE(map.size(), 15);
        QCOMPARE(map.value(QStringLiteral("Version")).toString(), QStringLiteral("1.3"));
        QVERIFY(!map.contains(QStringLiteral("LnsServer")));
        const QString instance = c->instance();
        c->release();
        QVERIFY(f.waitGone(instance));
    }

    // A network tool hands over the LonMark object it holds and sends the
    // command: the window opens for that object, positioned through the
    // host object.
    void commandOnAHandedOverObject()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        const QString handle = f.controllerHandle(QStringLiteral("Room102"));
        QVERIFY_CALL(*c, set(QStringLiteral("Remote"), false));
        QVERIFY_CALL(*c, set(QStringLiteral("LnsObjectByTool"), handle));
        QVERIFY_CALL(*c, sendCommand(13, 28, QString()));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QVERIFY(v.toBool());
        QVERIFY_CALL(*c, get(QStringLiteral("LnsObjectByTool"), &v));
        QCOMPARE(v.toString(), handle);
        QCOMPARE(f.shownLines().size(), 1);
        QCOMPARE(BusFixture::shownCommandAndTitle(f.shownLines().first()), QStringLiteral("1 Room102 / Controller"));

        // Position and size follow the tool.
        QVERIFY_CALL(*c, get(QStringLiteral("Width"), &v));
        QVERIFY(v.toInt() > 0);
        QCOMPARE(v.toInt() % 15, 0);
        QVERIFY_CALL(*c, set(QStringLiteral("Left"), 1500));
        QVERIFY_CALL(*c, set(QStringLiteral("Top"), 600));
        QVERIFY_CALL(*c, get(QStringLiteral("Left"), &v));
        QCOMPARE(v.toInt(), 1500);
        QVERIFY_CALL(*c, get(QStringLiteral("Top"), &v));
        QCOMPARE(v.toInt(), 600);
        QVERIFY_CALL(*c, get(QStringLiteral("Height"), &v));
        QVERIFY(v.toInt() > 0);
        QCOMPARE(v.toInt() % 15, 0);
        // The tool sizes the window; the window keeps that size.
        const int designedHeight = v.toInt();
        QVERIFY_CALL(*c, set(QStringLiteral("Height"), designedHeight + 1500));
        QVERIFY_CALL(*c, set(QStringLiteral("Width"), 9990));
        QVERIFY_CALL(*c, get(QStringLiteral("Height"), &v));
        QCOMPARE(v.toInt(), designedHeight + 1500);
        QVERIFY_CALL(*c, get(QStringLiteral("Width"), &v));
        QCOMPARE(v.toInt(), 9990);
        QVERIFY_CALL(*c, set(QStringLiteral("Height"), 3000));
        QVERIFY_CALL(*c, get(QStringLiteral("Height"), &v));
        QCOMPARE(v.toInt(), 3000);
        QVERIFY_CALL(*c, set(QStringLiteral("Minimized"), true));
        QVERIFY_CALL(*c, set(QStringLiteral("Minimized"), false));
        QVERIFY_CALL(*c, get(QStringLiteral("Minimized"), &v));
        QVERIFY(!v.toBool());
        endPlugIn(f, *c);
        // The plug-in ended through EndApp, which refreshed its identity.
        QVERIFY(platform::Registry::contains(platform::PlugInRegistrar::identityKey(QStringLiteral("nordaQRT.Application")),
                                            QStringLiteral("Identity"), QStringLiteral("Version")));
    }

    // A handed-over object that is no LonMark object, or a handle that
    // names nothing, is ignored: the plug-in connects by itself.
    void ignoredObjectsLetThePlugInConnect_data()
    {
        QTest::addColumn<QString>("handle");
        QTest::newRow("names nothing") << "lnssim:28:ROOT:Demo:999:1";
        QTest::newRow("ClassId 29") << "lnssim:29:ROOT:Demo:1:1";
        QTest::newRow("a device") << "DEVICE";
        QTest::newRow("not a handle") << "Room102";
    }
    void ignoredObjectsLetThePlugInConnect()
    {
        QFETCH(QString, handle);
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        handle.replace(QLatin1String("ROOT"), QString::fromLatin1(QUrl::toPercentEncoding(f.env.lnsRoot())));
        if (handle == QLatin1String("DEVICE")) {
            const QString lmo = f.controllerHandle(QStringLiteral("Room102"));
            handle = lmo.left(lmo.lastIndexOf(QLatin1Char(':'))).replace(QLatin1String("lnssim:28:"), QLatin1String("lnssim:7:"));
        }
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVERIFY_CALL(*c, set(QStringLiteral("LnsObjectByTool"), handle));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("LnsObjectByTool"), &v));
        QCOMPARE(v.toString(), QString());
        QVERIFY_CALL(*c, sendCommand(13, 28, kRoom101));
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QVERIFY(v.toBool());
        QCOMPARE(BusFixture::shownCommandAndTitle(f.shownLines().value(0)), QStringLiteral("1 Room101 / Controller"));
        QVERIFY_CALL(*c, get(QStringLiteral("LnsObjectByTool"), &v));
        QCOMPARE(v.toString(), f.controllerHandle(QStringLiteral("Room101")));
        endPlugIn(f, *c);
    }

    // The user closes the window: the plug-in ends by itself.
    void closingTheWindowEndsThePlugIn()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        QVERIFY(f.setActivationEnvironment(QStringLiteral("AEROLIS_CLOSE_WINDOW_AFTER_MS"), QStringLiteral("200")));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        const QString instance = c->instance();
        QVERIFY_CALL(*c, set(QStringLiteral("LnsObjectByTool"), f.controllerHandle(QStringLiteral("Room201"))));
        QVERIFY_CALL(*c, sendCommand(13, 28, QString()));
        // The tool still holds the object; the window closing alone ends it.
        QVERIFY2(f.waitGone(instance), "the plug-in did not end with its window");
        QCOMPARE(BusFixture::shownCommandAndTitle(f.shownLines().value(0)), QStringLiteral("1 Room201 / Controller"));
    }

    // A refused command ends the plug-in's work (abort flag), but the object
    // still answers its tool until released: the window members read 0 /
    // False, a second command does nothing.
    void refusedCommandLeavesTheObjectToTheTool_data()
    {
        QTest::addColumn<int>("commandId");
        QTest::addColumn<int>("classId");
        QTest::addColumn<QString>("objectName");
        QTest::newRow("ClassId 29") << 13 << 29 << kRoom101;
        QTest::newRow("unknown device") << 13 << 28 << "Demo.Building.Floor1.Room999.Controller";
        QTest::newRow("control on an unreachable device") << 22 << 28 << "Demo.Building.Floor2.Room205.Controller";
    }
    void refusedCommandLeavesTheObjectToTheTool()
    {
        QFETCH(int, commandId);
        QFETCH(int, classId);
        QFETCH(QString, objectName);
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVERIFY_CALL(*c, sendCommand(commandId, qint16(classId), objectName));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("Height"), &v));
        QCOMPARE(v, QVariant(0));
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QCOMPARE(v, QVariant(false));
        QVERIFY_CALL(*c, sendCommand(13, 28, kRoom101));
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QCOMPARE(v, QVariant(false));
        QVERIFY(f.shownLines().isEmpty());
        const QString instance = c->instance();
        QVERIFY(f.registered(instance));
        c->release();
        QVERIFY(f.waitGone(instance));
    }

    // A start that failed (no INI file beside the executable): the window
    // members read 0 / False and SendCommand does nothing.
    void failedStartDoesNothing()
    {
        TestEnvironment scratch;
        const QString exe = scratch.file(QStringLiteral("noini/AerolisCtrl"));
        QVERIFY(QDir().mkpath(QFileInfo(exe).path()));
        QVERIFY(QFile::copy(BusFixture::plugInExecutable(), exe));
        BusFixture f(exe);
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("Height"), &v));
        QCOMPARE(v, QVariant(0));
        QVERIFY_CALL(*c, set(QStringLiteral("Visible"), true));
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QCOMPARE(v, QVariant(false));
        QVERIFY_CALL(*c, set(QStringLiteral("LnsObjectByTool"), f.controllerHandle(QStringLiteral("Room101"))));
        QVERIFY_CALL(*c, sendCommand(13, 28, kRoom101));
        QVERIFY_CALL(*c, get(QStringLiteral("Visible"), &v));
        QCOMPARE(v, QVariant(false));
        QVERIFY_CALL(*c, get(QStringLiteral("LnsObjectByTool"), &v));
        QCOMPARE(v.toString(), QString());
        QVERIFY(f.shownLines().isEmpty());
        // The identity still answers.
        QVERIFY_CALL(*c, get(QStringLiteral("Version"), &v));
        QCOMPARE(v.toString(), QStringLiteral("1.3"));
        const QString instance = c->instance();
        c->release();
        QVERIFY(f.waitGone(instance));
    }

    // A second plug-in started while one serves the name ends with a message.
    void secondInstanceIsRefused()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QString output;
        const int status = f.run(BusFixture::plugInExecutable(), {QStringLiteral("-automation")}, &output, 60000);
        QCOMPARE(status, 1);
        QVERIFY2(output.contains(QStringLiteral(
                     "Another instance of the plug-in already serves nordaQRT.Application on the session bus. This "
                     "instance is closed.")),
                 qPrintable(output));
        QVariant v;
        QVERIFY_CALL(*c, get(QStringLiteral("Name"), &v));
        const QString instance = c->instance();
        c->release();
        QVERIFY(f.waitGone(instance));
    }

    // Each tool gets an instance of its own; an instance answers only the
    // tool that created it.
    void instancesServeOneTool()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        auto a = f.client();
        QVERIFY2(f.create(*a), qPrintable(a->lastError().text()));
        QVariant v;
        QVERIFY_CALL(*a, get(QStringLiteral("Name"), &v));

        QString second;
        {
            QDBusConnection other = f.bus.connect(QStringLiteral("tst-other-tool"));
            QVERIFY(other.isConnected());
            PlugInClient b(other, 30000);
            QVERIFY2(b.create(), qPrintable(b.lastError().text()));
            const QDBusReply<uint> pid = f.connection.interface()->servicePid(b.instance());
            if (pid.isValid())
                f.pids << pid.value();
            QVERIFY(b.instance() != a->instance());
            second = b.instance();
            QVERIFY_CALL(b, get(QStringLiteral("Name"), &v));
            b.attach(a->instance());
            QVERIFY(!b.get(QStringLiteral("Name"), &v));
            QCOMPARE(b.lastError().name, QStringLiteral("nordaQRT.Application.Error.InUse"));
        }
        // The second tool leaves the bus: that releases its instance.
        QDBusConnection::disconnectFromBus(QStringLiteral("tst-other-tool"));
        QVERIFY(f.waitGone(second));
        QVERIFY_CALL(*a, get(QStringLiteral("Name"), &v));
        const QString instance = a->instance();
        a->release();
        QVERIFY(f.waitGone(instance));
    }

    void missingBus()
    {
        BusFixture f;
        QProcessEnvironment e = f.processEnv;
        e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + f.env.file(QStringLiteral("nobus")));
        QString output;
        const int status = f.run(BusFixture::plugInExecutable(), {QStringLiteral("-automation")}, &output, 60000, &e);
        QCOMPARE(status, 1);
        QVERIFY2(output.contains(QStringLiteral("The plug-in cannot reach the session bus")), qPrintable(output));
    }

    void noCallerEndsTheWait()
    {
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        QProcessEnvironment e = f.processEnv;
        e.insert(QStringLiteral("AEROLIS_AUTOMATION_WAIT_MS"), QStringLiteral("300"));
        QString output;
        QCOMPARE(f.run(BusFixture::plugInExecutable(), {QStringLiteral("-automation")}, &output, 60000, &e), 0);
        QVERIFY(!f.registered(QStringLiteral("nordaQRT.Application")));
    }

    // Project registration: the plug-in sets the tool's result object.
    void projectRegistrationSetsRegResult_data()
    {
        QTest::addColumn<QString>("programIds");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<bool>("regResult");
        QTest::addColumn<int>("rows");
        QTest::newRow("one template") << "90:00:9d:51:0a:04:04:01" << "Demo" << false << 2;
        QTest::newRow("matches nothing") << "90:00:9D:51:0A:04:04:FF" << "Demo" << false << 0;
        QTest::newRow("network cannot be opened") << "90:00:9D:51:0A:04:04:01" << "Nowhere" << true << 0;
    }
    void projectRegistrationSetsRegResult()
    {
        QFETCH(QString, programIds);
        QFETCH(QString, objectName);
        QFETCH(bool, regResult);
        QFETCH(int, rows);
        BusFixture f;
        QVERIFY2(f.ok, qPrintable(f.error));
        automation::RegResultObject result(f.connection);
        QVERIFY(!result.handle().isEmpty());
        auto c = f.client();
        QVERIFY2(f.create(*c), qPrintable(c->lastError().text()));
        QVERIFY_CALL(*c, set(QStringLiteral("ProgramIdsToRegister"), programIds));
        QVERIFY_CALL(*c, set(QStringLiteral("RegResult"), result.handle()));
        QVERIFY_CALL(*c, sendCommand(50, 0, objectName));
        QVERIFY(result.wasSet());
        QCOMPARE(result.regResult(), regResult);
        lnssim::NetworkAdmin admin(f.env.lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        QCOMPARE(lnssim::ProjectRegistrations(admin.db()).all().size(), rows);
        const QString instance = c->instance();
        c->release();
        QVERIFY(f.waitGone(instance));
    }
};

QTEST_GUILESS_MAIN(TstAutomationBus)
#include "tst_automation_bus.moc"
