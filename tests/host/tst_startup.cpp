// Start-up and command dispatch: the command line grammar, the command table,
// the registry values written on the way, and the ways the plug-in ends.
#include "hostfixture.h"

#include <platform/registrar.h>
#include <platform/registry.h>

#include <QtTest>

using platform::MsgIcon;

class TstStartup : public QObject
{
    Q_OBJECT

    static QString productKey() { return QStringLiteral("SOFTWARE\\norda\\Aerolis Controller"); }
    static QString identityKey() { return platform::PlugInRegistrar::identityKey(QStringLiteral("nordaQRT.Application")); }

private slots:
    void emptyCommandLineShowsAboutAndReRegisters()
    {
        HostFixture f;
        host::Main({});
        QCOMPARE(f.abouts.size(), 1);
        QCOMPARE(f.abouts.first().caption, QStringLiteral("Info about Aerolis Controller"));
        QCOMPARE(f.abouts.first().productLine, QStringLiteral("norda Aerolis Controller (1.3.1210)"));
        QCOMPARE(f.started, QStringList{QDir(f.appFolder).filePath("AerolisCtrl") + " /regserver"});
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub EndApp()"));
        // EndApp refreshed the identity registration, items in their order.
        QCOMPARE(platform::Registry::read(identityKey(), "Identity", "ItemOrder"),
                 QStringLiteral("ProgIdPrefix,ClassName,Description,LcaVersion,ManufacturerName,ProductName,"
                                "RegistrationNumber,Version"));
        QCOMPARE(platform::Registry::read(identityKey(), "Identity", "Version"), QStringLiteral("1.3"));
        QCOMPARE(platform::Registry::read(identityKey(), "Identity", "RegistrationNumber"), QStringLiteral("4"));
        QCOMPARE(f.window->displays, 0);
        QCOMPARE(host::exitStatus(), 0);
    }

    void entryLinesAreTraced()
    {
        HostFixture f;
        host::Main({});
        const QStringList expected{"[M_PlugIn] Public Sub Main()", "[M_LcaPlugIn] Public Sub InitApp()",
                                   "[M_LcaPlugIn] Public Sub EndApp()", "[M_PlugIn] Public Sub Register()"};
        for (const QString &line : expected)
            QVERIFY2(f.traced(line), qPrintable(line));
        // The trace file sits beside the executable and holds the same lines.
        QFile log(QDir(f.appFolder).filePath("AerolisCtrl.LOG"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        for (const QString &line : expected)
            QVERIFY2(text.contains(line), qPrintable(line));
    }

    void regStoresLanguageUnderProductKey()
    {
        HostFixture f;
        platform::Registry::write(host::kFamilyKey, "Options", "Language", "0");
        host::Main({"/REG:1000"});
        QCOMPARE(platform::Registry::read(productKey(), "Options", "Language"), QStringLiteral("1000"));
        QCOMPARE(f.window->displays, 0);
        QCOMPARE(f.abouts.size(), 0);
        QVERIFY(f.messages->shown.isEmpty());
        // The next start still reads the family key.
        HostFixture g;
        host::Main({});
        QCOMPARE(platform::languageOffset(), 0);
    }

    void languageComesFromFamilyKey()
    {
        HostFixture f;
        platform::Registry::write(host::kFamilyKey, "Options", "Language", "1000");
        host::InitApp();
        QCOMPARE(platform::languageOffset(), 1000);
        QCOMPARE(host::state().commands[1].name, gLoadResString(1800));
        QVERIFY(host::state().commands[1].name != platform::rawString(1800));
        QCOMPARE(host::state().companyName, platform::rawString(2802));
    }

    void commandTable()
    {
        HostFixture f;
        host::InitApp();
        const auto &c = host::state().commands;
        QVERIFY(c[1].enabled && c[4].enabled);
        QVERIFY(!c[2].enabled && !c[3].enabled);
        QCOMPARE(c[1].commandId, 13);
        QCOMPARE(c[4].commandId, 22);
        QCOMPARE(int(c[1].classId), 28);
        QCOMPARE(int(c[1].registrationNumber), 4);
        QCOMPARE(c[1].name, QStringLiteral("configure aerolis controller"));
        QCOMPARE(c[4].name, QStringLiteral("control aerolis controller"));
        QCOMPARE(host::state().versionText, QStringLiteral("1.3"));
        QVERIFY(host::state().tooltipsFlag);
    }

    // Lines that name a command: which one is matched (or refused), read
    // through the object-server-less path (message 1508 tells which command
    // got as far as the connection).
    void dispatch_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("commandIndex");
        QTest::addColumn<QString>("message");
        const QString noServer = QStringLiteral("The LNS server can not be opened ! Aerolis Controller is being closed.");
        const QString obj = QStringLiteral("/OBJECTNAME:Demo.Building.Floor1.Room101.Controller");
        QTest::newRow("configure") << QStringList{"/COMMANDID:13/CLASSID:28" + obj} << 1 << noServer;
        QTest::newRow("control") << QStringList{"/COMMANDID:22/CLASSID:28" + obj} << 4 << noServer;
        QTest::newRow("keys are case-insensitive") << QStringList{"/commandid:13/ClassId:28/objectName:" + obj.mid(12)} << 1
                                                   << noServer;
        QTest::newRow("separate arguments") << QStringList{"/COMMANDID:13", "/CLASSID:28", obj} << 1 << noServer;
        QTest::newRow("value stops at second colon") << QStringList{"/COMMANDID:13:99/CLASSID:28:1" + obj} << 1
                                                     << noServer;
        QTest::newRow("unknown keys ignored") << QStringList{"/FOO:1/COMMANDID:13/BAR/CLASSID:28" + obj} << 1
                                              << noServer;
        QTest::newRow("wrong class id") << QStringList{"/COMMANDID:13/CLASSID:29" + obj} << 0
                                        << "The transmitted CommandId (13) is not\nsupported for  ClassId 29 !";
        QTest::newRow("unknown command") << QStringList{"/COMMANDID:7/CLASSID:28" + obj} << 0
                                         << "The transmitted CommandId (7) is not\nsupported for  ClassId 28 !";
        QTest::newRow("non-numeric ids count as 0") << QStringList{"/COMMANDID:x/CLASSID:y" + obj} << 0
                                                    << "The transmitted CommandId (0) is not\nsupported for  ClassId 0 !";
    }
    void dispatch()
    {
        QFETCH(QStringList, args);
        QFETCH(int, commandIndex);
        QFETCH(QString, message);
        HostFixture f; // no object server factory: no object server on this machine
        host::Main(args);
        QCOMPARE(f.messages->shown.size(), 1);
        QCOMPARE(f.messages->shown.first().text, message);
        QCOMPARE(host::state().commandIndex, commandIndex);
        QCOMPARE(host::state().abortFlag, true);
        QCOMPARE(host::exitStatus(), 1);
        QCOMPARE(f.window->displays, 0);
        if (commandIndex == 0) {
            QCOMPARE(f.messages->shown.first().icon, MsgIcon::Exclamation);
            QCOMPARE(f.messages->shown.first().title, QStringLiteral("Aerolis Controller"));
        } else {
            QCOMPARE(f.messages->shown.first().title, QStringLiteral("Room101 / Controller"));
        }
    }

    // "S" and the hidden token end the reading: keys behind them are not
    // read, the window opens without a device.
    void standAloneTokens_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("statusShown");
        QTest::newRow("S") << "/S/COMMANDID:13/CLASSID:28/OBJECTNAME:N.S.D.O" << true;
        QTest::newRow("s lower case") << "/s/REG:1000" << true;
        QTest::newRow("hidden token") << "/ZKVT3952/OBJECTNAME:N.S.D.O" << false;
    }
    void standAloneTokens()
    {
        QFETCH(QString, line);
        QFETCH(bool, statusShown);
        HostFixture f;
        host::Main({line});
        QCOMPARE(host::state().commandIndex, host::kCmdStandAlone);
        QCOMPARE(f.window->displays, 1);
        QVERIFY(f.messages->shown.isEmpty());
        QCOMPARE(host::statusWindow().isShown(), statusShown);
        QVERIFY(!platform::Registry::contains(productKey(), "Options", "Language"));
    }

    void emptyTokenEndsReading()
    {
        HostFixture f;
        host::Main({"/COMMANDID:13//CLASSID:28/OBJECTNAME:N.S.D.O"});
        // Nothing after "//" was read: no object name, so About and re-registration.
        QCOMPARE(f.abouts.size(), 1);
        QCOMPARE(f.started.size(), 1);
        QVERIFY(f.messages->shown.isEmpty());
    }

    void unregLeavesNoRegistration()
    {
        HostFixture f;
        host::Main({});
        QVERIFY(platform::Registry::contains(identityKey(), "Identity", "ProgIdPrefix"));
        platform::Registry::write(productKey(), "Settings", "Top", "100");
        host::resetState();
        HostFixture g;
        platform::Registry::write(productKey(), "Settings", "Top", "100");
        platform::Registry::write(identityKey(), "Identity", "ProgIdPrefix", "nordaQRT");
        host::Main({"/UNREG"});
        QVERIFY(!platform::Registry::contains(identityKey(), "Identity", "ProgIdPrefix"));
        QVERIFY(!platform::Registry::contains(productKey(), "Settings", "Top"));
        QVERIFY(g.traced("[M_PlugIn] Public Sub Unregister()"));
        QVERIFY(!g.traced("[M_PlugIn] Public Sub Register()"));
    }

    void missingIniEndsWith1526()
    {
        HostFixture f(false);
        host::Main({"/COMMANDID:13/CLASSID:28/OBJECTNAME:N.S.D.O"});
        QCOMPARE(f.messages->shown.size(), 1);
        const platform::Message m = f.messages->shown.first();
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(m.text, "The INI file does not exist :\n\n" + QDir(f.appFolder).filePath("AerolisCtrl.ini"));
        QCOMPARE(host::exitStatus(), 1);
        QCOMPARE(f.window->displays, 0);
        QCOMPARE(f.abouts.size(), 0);
    }

    void serverRegistration()
    {
        TestEnvironment env;
        const QString progId = QStringLiteral("nordaQRT.Application");
        const QString key = platform::kClassesKey + "\\" + progId;
        QVERIFY(!host::HandleServerRegistration({"/COMMANDID:13"}, "/x/AerolisCtrl"));
        QVERIFY(host::HandleServerRegistration({"/RegServer"}, "/x/AerolisCtrl"));
        QCOMPARE(platform::Registry::read(key, "Server", "Executable"), QStringLiteral("/x/AerolisCtrl"));
        QVERIFY(host::HandleServerRegistration({"/unregserver"}, "/x/AerolisCtrl"));
        QVERIFY(!platform::Registry::contains(key, "Server", "Executable"));
    }

    void unattendedMessageLine()
    {
        platform::Message m{MsgIcon::Critical, "Room101 / Controller", "a\nb", platform::MB_OK};
        QCOMPARE(platform::messageLine(m), QStringLiteral("MESSAGE critical Room101 / Controller: a\\nb"));
        QCOMPARE(platform::defaultAnswer(platform::MB_YesNo), int(platform::ANS_Yes));
        // A message whose default button is "No" is answered "No" unattended.
        platform::Message q{MsgIcon::Question, "t", "quit?", platform::MB_YesNo, platform::ANS_No};
        platform::ScriptedMessages scripted;
        QCOMPARE(scripted.show(q), int(platform::ANS_No));
        QCOMPARE(platform::defaultAnswer(q), int(platform::ANS_No));
    }
};

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
