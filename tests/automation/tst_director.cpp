// aerolis-director against the simulated network and the real plug-in over
// a private bus: its command line end to end, and its window's launch.
#include "busfixture.h"

#include <director.h>
#include <directorwindow.h>

#include <platform/messages.h>

#include <QListWidget>
#include <QTreeWidget>

namespace {

struct Run
{
    int status = -1;
    QString out;
};

QString directorExecutable()
{
    return QDir(TestEnvironment::binDir()).filePath(QStringLiteral("aerolis-director"));
}

} // namespace

class DirectorFixture : public BusFixture
{
public:
    DirectorFixture()
    {
        // Installed as an installer would: the empty command line registers
        // the identity (and the server again).
        installStatus = run(plugInExecutable(), {}, &installOutput);
        // Unattended runs: the plug-in's window closes once the tool let go.
        setActivationEnvironment(QStringLiteral("AEROLIS_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
    }
    Run director(const QStringList &args, const QProcessEnvironment *e = nullptr)
    {
        Run r;
        r.status = run(directorExecutable(), QStringList{QStringLiteral("--timeout"), QStringLiteral("30000")} + args,
                       &r.out, 90000, e);
        return r;
    }
    int installStatus = -1;
    QString installOutput;
};

#define QVERIFY_FIXTURE(f)                                                                                        \
    do {                                                                                                           \
        QVERIFY2((f).ok, qPrintable((f).error));                                                                   \
        QCOMPARE((f).installStatus, 0);                                                                            \
    } while (false)

class TstDirector : public QObject
{
    Q_OBJECT
private slots:
    void listRegisterList()
    {
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        Run r = f.director({QStringLiteral("list")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Room101  AerolisCtrl-T1  90:00:9D:51:0A:04:04:01  commissioned, application 2.30")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Room206  AerolisCtrl-T")));
        QVERIFY(r.out.contains(QStringLiteral("not commissioned")));
        QVERIFY(r.out.contains(QStringLiteral("unreachable")));
        QVERIFY(r.out.contains(QStringLiteral("    Floor2\n")));
        QVERIFY(r.out.contains(QStringLiteral("Controller  (28)  -\n")));
        QVERIFY(!r.out.contains(QStringLiteral("configure aerolis controller")));

        // The outcome in words first; the result object's raw value (False
        // for success) is not shown.
        r = f.director({QStringLiteral("register")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("The plug-in registered its commands in project Demo.\nregistrations 10\n")),
                 qPrintable(r.out));
        QVERIFY(!r.out.contains(QStringLiteral("RegResult")));

        r = f.director({QStringLiteral("list")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count(QStringLiteral("Controller  (28)  13 configure aerolis controller | 22 control aerolis controller\n")),
                 12);
        r = f.director({QStringLiteral("registrations")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count(QStringLiteral("nordaQRT.Application  1.3")), 10);
        QVERIFY(f.waitAlone());
    }

    void registerWithAListThatMatchesNothing()
    {
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        const Run r = f.director({QStringLiteral("register"), QStringLiteral("--program-ids"), QStringLiteral("90:00:9D:51:0A:04:04:FF")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("The plug-in registered its commands in project Demo.\nregistrations 0\n")),
                 qPrintable(r.out));
        QVERIFY(!r.out.contains(QStringLiteral("RegResult")));
    }

    // Launching a registered command on an object: the plug-in opens its
    // window for that object with that command, and ends afterwards.
    void launch_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("shown");
        QTest::newRow("configure by name") << "Demo.Building.Floor1.Room101.Controller" << "configure aerolis controller"
                                           << QStringList{} << "1 Room101 / Controller";
        QTest::newRow("control by CommandId") << "Demo.Building.Floor2.Room204.Controller" << "22" << QStringList{}
                                              << "4 Room204 / Controller";
        QTest::newRow("object by name only") << "Demo.Building.Floor1.Room103.Controller" << "13"
                                             << QStringList{"--by-name"} << "1 Room103 / Controller";
        QTest::newRow("remote over an interface") << "Demo.Building.Floor1.Room102.Controller" << "13"
                                                  << QStringList{"--remote", "--ni", "LON1"} << "1 Room102 / Controller";
    }
    void launch()
    {
        QFETCH(QString, object);
        QFETCH(QString, command);
        QFETCH(QStringList, options);
        QFETCH(QString, shown);
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        QCOMPARE(f.director({QStringLiteral("register")}).status, 0);
        const Run r = f.director(QStringList{QStringLiteral("launch"), object, command} + options);
        QVERIFY2(r.status == 0, qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("window shown")));
        QVERIFY(r.out.contains(QStringLiteral(" started on ")));
        QCOMPARE(f.shownLines().size(), 1);
        QCOMPARE(BusFixture::shownCommandAndTitle(f.shownLines().first()), shown);
        // Released by the tool, the unattended plug-in closes and ends.
        QVERIFY(f.waitAlone());
    }

    // What the tool refuses, each with a clear message.
    void refusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString room101 = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        QTest::newRow("unknown object") << "register" << QStringList{"launch", "Demo.Building.Floor1.Room999.Controller", "13"}
                                        << 1 << "no LonMark object Demo.Building.Floor1.Room999.Controller";
        QTest::newRow("nothing registered in the project") << "" << QStringList{"launch", room101, "13"} << 1
                                                           << "No plug-in command is registered for template AerolisCtrl-T1.";
        // A command the template does not have: the ones it has are listed.
        const QString commands = QStringLiteral("its commands (CommandId or name): 13 \"configure aerolis controller\", "
                                                "22 \"control aerolis controller\"");
        QTest::newRow("command not registered") << "register" << QStringList{"launch", room101, "17"} << 1
                                                << "\"17\" is no command registered for template AerolisCtrl-T1; " + commands;
        QTest::newRow("command name unknown") << "register" << QStringList{"launch", room101, "configure"} << 1
                                              << "\"configure\" is no command registered for template AerolisCtrl-T1; " + commands;
        QTest::newRow("plug-in unregistered") << "register,unreg" << QStringList{"launch", room101, "13"} << 1
                                              << "The plug-in nordaQRT.Application is not registered on this computer.";
        QTest::newRow("no activation file") << "register,unregserver" << QStringList{"launch", room101, "13"} << 1
                                            << "The plug-in is not registered with the session bus";
        QTest::newRow("unknown network") << "" << QStringList{"--network", "Nowhere", "list"} << 1
                                         << "The network Nowhere cannot be opened:";
        QTest::newRow("no command") << "" << QStringList{"frobnicate"} << 2 << "unknown command \"frobnicate\"";
        QTest::newRow("missing argument") << "" << QStringList{"launch", room101} << 2 << "launch: wrong number of arguments";
        QTest::newRow("unknown option") << "" << QStringList{"register", "--fast"} << 2 << "unknown or incomplete option --fast";
    }
    void refusals()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        if (setup.contains(QLatin1String("register")))
            QCOMPARE(f.director({QStringLiteral("register")}).status, 0);
        if (setup.contains(QLatin1String("unreg,")) || setup.endsWith(QLatin1String("unreg")))
            QCOMPARE(f.run(BusFixture::plugInExecutable(), {QStringLiteral("/UNREG")}), 0);
        if (setup.contains(QLatin1String("unregserver")))
            QCOMPARE(f.run(BusFixture::plugInExecutable(), {QStringLiteral("/unregserver")}), 0);
        const Run r = f.director(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.out.contains(message), qPrintable(r.out));
        QVERIFY(f.shownLines().isEmpty());
        QVERIFY(f.waitAlone());
    }

    void missingBus()
    {
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        QProcessEnvironment e = f.processEnv;
        e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + f.env.file(QStringLiteral("nobus")));
        const Run r = f.director({QStringLiteral("register")}, &e);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("No session bus is available")), qPrintable(r.out));
    }

    // The window: register through the tool bar, pick an object in the
    // tree, launch a command from the list.
    void windowLaunchesFromTheTree()
    {
        DirectorFixture f;
        QVERIFY_FIXTURE(f);
        auto messages = std::make_shared<platform::ScriptedMessages>();
        platform::setMessageService(messages);
        director::Director d(f.env.lnsRoot(), TestEnvironment::iniPath(), QStringLiteral("Demo"));
        d.setBus(f.connection);
        d.setTimeout(30000);
        QString error;
        QVERIFY2(d.open(&error), qPrintable(error));
        director::DirectorWindow w(d);
        QCOMPARE(w.tree()->topLevelItemCount(), 1);
        QCOMPARE(w.tree()->headerItem()->text(2), QStringLiteral("Program ID"));
        QVERIFY(w.selectObject(QStringLiteral("Demo.Building.Floor2.Room203.Controller")));
        QCOMPARE(w.commands()->count(), 0);

        const director::Outcome reg = w.registerInProject();
        QVERIFY2(reg.ok, qPrintable(reg.message));
        QVERIFY(reg.regResultSet);
        QVERIFY(!reg.regResult);
        QCOMPARE(w.commands()->count(), 2);
        QCOMPARE(w.commands()->item(1)->text(), QStringLiteral("control aerolis controller"));

        const director::Outcome launched = w.launchCommand(0);
        QVERIFY2(launched.ok, qPrintable(launched.message));
        QVERIFY(launched.windowShown);
        QCOMPARE(BusFixture::shownCommandAndTitle(f.shownLines().value(0)), QStringLiteral("1 Room203 / Controller"));
        QVERIFY(messages->shown.isEmpty());
        QVERIFY(f.waitAlone());
        platform::setMessageService(nullptr);
    }
};

QTEST_MAIN(TstDirector)
#include "tst_director.moc"
