// The three registrations: the identity (Register / Unregister, "UNREG"),
// the automation server ("/regserver", "/unregserver": registry and bus
// activation file), and the commands in a network project (CommandId 50).
#include "appfixture.h"

#include <host/busactivation.h>
#include <host/connection.h>
#include <host/projectregistration.h>
#include <lnssim/projectregistrations.h>
#include <platform/registrar.h>

#include <QtTest>

namespace {

const QStringList kAllProgramIds{"90:00:9D:51:0A:04:04:01", "90:00:9D:51:0A:04:04:02", "90:00:9D:51:0A:04:04:03",
                                 "90:00:9D:51:0A:04:04:04", "90:00:9D:51:0A:04:04:05"};

QString identityKey()
{
    return platform::PlugInRegistrar::identityKey(QStringLiteral("nordaQRT.Application"));
}

} // namespace

class RegFixture : public AppFixture
{
public:

    QVector<lnssim::PlugInRegistration> registrations() const
    {
        lnssim::NetworkAdmin a(env.lnsRoot(), QStringLiteral("Demo"));
        a.open();
        return lnssim::ProjectRegistrations(a.db()).all();
    }

    // What a network tool does for a project registration.
    void registerInProject(host::Application &app, const QString &programIds, const QString &objectName,
                           const std::shared_ptr<RecordingResult> &result)
    {
        app.setProgramIdsToRegister(programIds);
        if (result)
            app.setRegResult(result);
        qint32 cmd = 50;
        qint16 cls = 0;
        QString name = objectName;
        app.SendCommand(cmd, cls, name);
    }
};

class TstProjectRegistration : public QObject
{
    Q_OBJECT
private slots:
    // One registration per template entry and enabled command slot, for the
    // templates whose program id is in the list (without regard to case).
    void registersPerTemplateAndSlot_data()
    {
        QTest::addColumn<QString>("programIds");
        QTest::addColumn<QStringList>("templates");
        QTest::newRow("every template") << kAllProgramIds.join(",")
                                        << QStringList{"AerolisCtrl-T1", "AerolisCtrl-T2", "AerolisCtrl-T3",
                                                       "AerolisCtrl-T4", "AerolisCtrl-T5"};
        QTest::newRow("one, lower case") << "90:00:9d:51:0a:04:04:03" << QStringList{"AerolisCtrl-T3"};
        QTest::newRow("two, other separator") << "90:00:9D:51:0A:04:04:05; 90:00:9D:51:0A:04:04:02"
                                              << QStringList{"AerolisCtrl-T2", "AerolisCtrl-T5"};
        QTest::newRow("none matches") << "90:00:9D:51:0A:04:04:FF" << QStringList{};
        QTest::newRow("not a program id") << " " << QStringList{};
    }
    void registersPerTemplateAndSlot()
    {
        QFETCH(QString, programIds);
        QFETCH(QStringList, templates);
        RegFixture f;
        host::Application app;
        auto result = std::make_shared<RecordingResult>();
        f.registerInProject(app, programIds, QStringLiteral("Demo"), result);

        // Reported as success, also when nothing matched.
        QCOMPARE(result->values, QList<bool>{false});
        QVERIFY(f.messages->shown.isEmpty());
        QVERIFY(f.traced("[M_PlugIn] Public Sub UpdateLcaComponentApps()"));
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub EndApp()"));
        QCOMPARE(f.geometry->displays, 0);

        const QVector<lnssim::PlugInRegistration> rows = f.registrations();
        QCOMPARE(rows.size(), templates.size() * 2);
        for (int i = 0; i < rows.size(); ++i) {
            const lnssim::PlugInRegistration &r = rows.at(i);
            QCOMPARE(r.templateName, templates.at(i / 2));
            const bool configure = i % 2 == 0;
            QCOMPARE(r.commandId, configure ? 13 : 22);
            QCOMPARE(r.name, configure ? QStringLiteral("configure aerolis controller") : QStringLiteral("control aerolis controller"));
            QCOMPARE(r.description, configure ? QStringLiteral("Configuration plug-in for norda v.link aerolis controller")
                                              : QStringLiteral("Control and monitoring plug-in for norda v.link aerolis controller"));
            QCOMPARE(r.classId, 28);
            QCOMPARE(r.registrationNumber, 4);
            QCOMPARE(r.manufacturerId, QStringLiteral("0009D"));
            QCOMPARE(r.progIdPrefix, QStringLiteral("nordaQRT"));
            QCOMPARE(r.className, QStringLiteral("Application"));
            QCOMPARE(r.progId(), QStringLiteral("nordaQRT.Application"));
            QCOMPARE(r.version, QStringLiteral("1.3"));
            QVERIFY(programIds.contains(r.programId, Qt::CaseInsensitive));
        }
    }

    void registeringAgainReplaces()
    {
        RegFixture f;
        {
            host::Application app;
            f.registerInProject(app, kAllProgramIds.join(" "), QStringLiteral("Demo"), nullptr);
        }
        host::resetState();
        host::state().env.server.registerProjectCommand = simulatedServer().registerProjectCommand;
        host::Application again;
        f.registerInProject(again, kAllProgramIds.join(" "), QStringLiteral("Demo.Building.Floor1.Room101.Controller"),
                            nullptr);
        QCOMPARE(f.registrations().size(), 10);
        QVERIFY(f.messages->shown.isEmpty());
    }

    // Failures: with a result object RegResult becomes True, without one
    // message 1435 item 2 is shown; the walk goes on after a failed call.
    void failures_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("failingTemplate");
        QTest::addColumn<bool>("withResult");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("unknown network, result object") << "Nowhere" << "" << true << 0;
        QTest::newRow("unknown network, message") << "Nowhere" << "" << false << 0;
        QTest::newRow("empty object name") << "" << "" << false << 0;
        QTest::newRow("one template fails, result object") << "Demo" << "AerolisCtrl-T2" << true << 8;
        QTest::newRow("one template fails, message") << "Demo" << "AerolisCtrl-T4" << false << 8;
        QTest::newRow("no project registration at all") << "Demo" << "*" << true << 0;
    }
    void failures()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, failingTemplate);
        QFETCH(bool, withResult);
        QFETCH(int, rowsLeft);
        RegFixture f;
        if (failingTemplate == QLatin1String("*")) {
            host::state().env.server.registerProjectCommand = nullptr;
        } else if (!failingTemplate.isEmpty()) {
            host::state().env.server.registerProjectCommand = [failingTemplate, simulated = simulatedServer()](
                                                                  const lns::NetworkPtr &n, const host::ProjectCommand &c,
                                                                  QString *why) {
                if (c.templateName == failingTemplate) {
                    *why = QStringLiteral("refused");
                    return false;
                }
                return simulated.registerProjectCommand(n, c, why);
            };
        }
        host::Application app;
        auto result = withResult ? std::make_shared<RecordingResult>() : nullptr;
        f.registerInProject(app, kAllProgramIds.join(","), objectName, result);
        if (withResult) {
            QCOMPARE(result->values, QList<bool>{true});
            QVERIFY(f.messages->shown.isEmpty());
        } else {
            QCOMPARE(f.messages->shown.size(), 1);
            const platform::Message m = f.messages->shown.first();
            QCOMPARE(m.text, QStringLiteral("Errors occured while registering the plug-in."));
            QCOMPARE(m.icon, platform::MsgIcon::Critical);
            QCOMPARE(m.title, QStringLiteral("Aerolis Controller"));
        }
        QCOMPARE(f.registrations().size(), rowsLeft);
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub EndApp()"));
    }

    // The status window shows the progress only when no tool waits for the
    // result.
    void statusWindow_data()
    {
        QTest::addColumn<bool>("withResult");
        QTest::newRow("tool waits for the result") << true;
        QTest::newRow("no result object") << false;
    }
    void statusWindow()
    {
        QFETCH(bool, withResult);
        RegFixture f;
        host::Application app;
        app.setProgramIdsToRegister(kAllProgramIds.first());
        if (withResult)
            app.setRegResult(std::make_shared<RecordingResult>());
        host::UpdateLcaComponentApps(QStringLiteral("Demo"), 0);
        QCOMPARE(host::statusWindow().text(), QStringLiteral("Registering plug-in ..."));
        QCOMPARE(host::statusWindow().isShown(), !withResult);
    }

    // Without program ids CommandId 50 runs the registrar's default action
    // and registers nothing in the project.
    void noProgramIdsRegistersTheIdentityOnly()
    {
        RegFixture f;
        host::Application app;
        f.registerInProject(app, QString(), QStringLiteral("Demo"), std::make_shared<RecordingResult>());
        QVERIFY(!f.traced("[M_PlugIn] Public Sub UpdateLcaComponentApps()"));
        QVERIFY(f.registrations().isEmpty());
        QVERIFY(platform::Registry::contains(identityKey(), "Identity", "ProgIdPrefix"));
    }

    void programIdLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("programId");
        QTest::addColumn<bool>("listed");
        QTest::newRow("empty list takes all") << "" << "90:00:9D:51:0A:04:04:01" << true;
        QTest::newRow("exact") << "90:00:9D:51:0A:04:04:01" << "90:00:9D:51:0A:04:04:01" << true;
        QTest::newRow("case") << "90:00:9d:51:0a:04:04:0a" << "90:00:9D:51:0A:04:04:0A" << true;
        QTest::newRow("in a list") << "A, 90:00:9D:51:0A:04:04:02, B" << "90:00:9D:51:0A:04:04:02" << true;
        QTest::newRow("other id") << "90:00:9D:51:0A:04:04:02" << "90:00:9D:51:0A:04:04:01" << false;
        QTest::newRow("template without id") << "90:00:9D:51:0A:04:04:02" << "" << false;
    }
    void programIdLists()
    {
        QFETCH(QString, list);
        QFETCH(QString, programId);
        QFETCH(bool, listed);
        QCOMPARE(host::programIdListed(list, programId), listed);
    }

    void projectNetworkName_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("network");
        QTest::newRow("network only") << "Demo" << "Demo";
        QTest::newRow("full object name") << "Demo.Building.Floor1.Room101.Controller" << "Demo";
        QTest::newRow("short dotted name") << "Demo.Building" << "Demo";
        QTest::newRow("empty") << "" << "";
    }
    void projectNetworkName()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, network);
        QCOMPARE(host::projectNetworkName(objectName), network);
    }

    // "/regserver" registers the executable and installs the bus activation
    // file; "/unregserver" removes both.
    void serverRegistration()
    {
        RegFixture f;
        const QString exe = QStringLiteral("/opt/aerolis tools/bin/AerolisCtrl");
        QVERIFY(host::HandleServerRegistration({QStringLiteral("/regserver")}, exe));
        // Under the test mode of the fixture the user's data folder is the
        // test area, never a real installation's.
        const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/dbus-1/services/nordaQRT.Application.service");
        QVERIFY(!file.startsWith(QDir::homePath() + QStringLiteral("/.local/share")));
        QCOMPARE(host::activationFilePath(), file);
        QFile service(file);
        QVERIFY(service.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(service.readAll()),
                 QStringLiteral("[D-BUS Service]\nName=nordaQRT.Application\nExec='/opt/aerolis tools/bin/AerolisCtrl' -automation\n"));
        service.close();
        QCOMPARE(platform::Registry::read(platform::kClassesKey + "\\nordaQRT.Application", "Server", "Automation"),
                 QStringLiteral("-automation"));
        QVERIFY(host::HandleServerRegistration({QStringLiteral("/UnRegServer")}, exe));
        QVERIFY(!QFile::exists(file));
        QVERIFY(!platform::Registry::contains(platform::kClassesKey + "\\nordaQRT.Application", "Server", "Executable"));
    }

    void automationStartIsRecognised_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("automation");
        QTest::newRow("bus start") << QStringList{"-automation"} << true;
        QTest::newRow("other spelling") << QStringList{"/Automation"} << true;
        QTest::newRow("command line") << QStringList{"/COMMANDID:13/CLASSID:28/OBJECTNAME:N.S.D.O"} << false;
        QTest::newRow("empty") << QStringList{} << false;
    }
    void automationStartIsRecognised()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, automation);
        HostFixture f;
        QCOMPARE(host::isAutomationStart(args), automation);
        host::Main(args);
        // An automation start waits for the host object: Main neither
        // initialises nor reads a command line.
        QCOMPARE(f.traced("[M_LcaPlugIn] Public Sub InitApp()"), !automation);
        QVERIFY(f.traced("[M_PlugIn] Public Sub Main()"));
    }

    // "UNREG" removes the identity and the product key, and its EndApp does
    // not register again: nothing is left for a network tool to find.
    void unregLeavesNoRegistration()
    {
        RegFixture f;
        host::Main({});
        QVERIFY(platform::Registry::contains(identityKey(), "Identity", "ProgIdPrefix"));
        QVERIFY(platform::Registry::contains(identityKey(), "Identity", "Version"));
        platform::Registry::write(QStringLiteral("SOFTWARE\\norda\\Aerolis Controller"), "Settings", "Left", "120");
        host::resetState();
        platform::TraceLog::instance().clearRecent();
        host::Main({QStringLiteral("/UNREG")});
        QVERIFY(f.traced("[M_PlugIn] Public Sub Unregister()"));
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub EndApp()"));
        QVERIFY(!f.traced("[M_PlugIn] Public Sub Register()"));
        QVERIFY(platform::Registry::childKeys(platform::kPlugInsKey).isEmpty());
        QVERIFY(!platform::Registry::contains(QStringLiteral("SOFTWARE\\norda\\Aerolis Controller"), "Settings", "Left"));
    }
};

QTEST_GUILESS_MAIN(TstProjectRegistration)
#include "tst_projectregistration.moc"
