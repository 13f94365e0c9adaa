// The host object: identity, read-only members, window geometry and state,
// the handed-over objects, the command, and a plug-in whose start failed.
#include "appfixture.h"

#include <QtTest>

namespace {

// A handed-over object of any class, or one that fails when asked for it.
class ForeignObject : public lns::Object
{
public:
    ForeignObject(int classId, bool fails) : m_classId(classId), m_fails(fails) {}
    int classId() const override
    {
        if (m_fails)
            throw lns::LnsError(lns::ErrNotOpen, QStringLiteral("the tool's object is gone"));
        return m_classId;
    }
    lns::ObjectPtr parent() const override { return nullptr; }
    QString name() const override { return QStringLiteral("foreign"); }

private:
    int m_classId;
    bool m_fails;
};

// A LonMark object in all but its class id: only the ClassId check keeps
// the plug-in from taking it.
class MislabelledObject : public lns::LonMarkObject
{
public:
    explicit MislabelledObject(lns::LonMarkObjectPtr real) : m_real(std::move(real)) {}
    int classId() const override { return 29; }
    lns::ObjectPtr parent() const override { return m_real->parent(); }
    QString name() const override { return m_real->name(); }
    int index() const override { return m_real->index(); }
    lns::CollectionPtr<lns::ConfigProperty> configProperties() const override { return m_real->configProperties(); }
    lns::CollectionPtr<lns::NetworkVariable> networkVariables() const override { return m_real->networkVariables(); }
    QString extensionData(const QString &key) const override { return m_real->extensionData(key); }
    void setExtensionData(const QString &key, const QString &value) override { m_real->setExtensionData(key, value); }

private:
    lns::LonMarkObjectPtr m_real;
};

using Setter = void (host::Application::*)(const QString &);
using Getter = QString (host::Application::*)() const;

} // namespace

Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(Getter)

class TstApplication : public QObject
{
    Q_OBJECT
private slots:
    void creationInitialisesLikeACommandLineStart()
    {
        AppFixture f;
        host::Application app;
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub InitApp()"));
        const host::HostState &s = host::state();
        QVERIFY(!s.abortFlag);
        QVERIFY(s.tooltipsFlag);
        QCOMPARE(s.commands[1].commandId, 13);
        QCOMPARE(s.commands[4].commandId, 22);
        QVERIFY(s.conn.objectServer);
        // Creating the object opens no window and sends no command.
        QCOMPARE(f.geometry->displays, 0);
        QVERIFY(f.messages->shown.isEmpty());
    }

    void identity_data()
    {
        QTest::addColumn<Getter>("getter");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Name") << Getter(&host::Application::Name) << 0 << "Aerolis Controller";
        QTest::newRow("Version") << Getter(&host::Application::Version) << 0 << "1.3";
        QTest::newRow("LcaVersion") << Getter(&host::Application::LcaVersion) << 0 << "2.00";
        QTest::newRow("ManufacturerId") << Getter(&host::Application::ManufacturerId) << 0 << "0009D";
        QTest::newRow("ManufacturerName") << Getter(&host::Application::ManufacturerName) << 0 << "norda Automation GmbH";
        QTest::newRow("ManufacturerName, German") << Getter(&host::Application::ManufacturerName) << 1000
                                                  << platform::rawString(2802);
    }
    void identity()
    {
        QFETCH(Getter, getter);
        QFETCH(int, language);
        QFETCH(QString, expected);
        AppFixture f;
        platform::Registry::write(host::kFamilyKey, "Options", "Language", QString::number(language));
        host::Application app;
        QCOMPARE((app.*getter)(), expected);
    }

    // Every read-only member raises the object error, also while the abort
    // flag is set, and keeps its value.
    void readOnlyMembersRaise_data()
    {
        QTest::addColumn<Setter>("setter");
        QTest::addColumn<Getter>("getter");
        QTest::addColumn<bool>("aborted");
        const QList<std::tuple<const char *, Setter, Getter>> members{
            {"Version", &host::Application::setVersion, &host::Application::Version},
            {"LcaVersion", &host::Application::setLcaVersion, &host::Application::LcaVersion},
            {"ManufacturerId", &host::Application::setManufacturerId, &host::Application::ManufacturerId},
            {"ManufacturerName", &host::Application::setManufacturerName, &host::Application::ManufacturerName},
            {"Name", &host::Application::setName, &host::Application::Name},
        };
        for (const auto &[name, setter, getter] : members) {
            QTest::newRow(name) << setter << getter << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 after a failed start").arg(QLatin1String(name))))
                << setter << getter << true;
        }
    }
    void readOnlyMembersRaise()
    {
        QFETCH(Setter, setter);
        QFETCH(Getter, getter);
        QFETCH(bool, aborted);
        AppFixture f(!aborted);
        host::Application app;
        QCOMPARE(host::state().abortFlag, aborted);
        const QString before = (app.*getter)();
        bool raised = false;
        try {
            (app.*setter)(QStringLiteral("9.9"));
        } catch (const host::AutomationError &e) {
            raised = true;
            QCOMPARE(e.number(), qint32(-2147201502));
            QCOMPARE(quint32(e.number()), 0x80044E22u);
            QCOMPARE(e.source(), QStringLiteral("nordaQRT.Application"));
            QCOMPARE(e.description(), QStringLiteral("Write not supported. This property is read-only."));
        }
        QVERIFY(raised);
        QCOMPARE((app.*getter)(), before);
    }

    void networkNameReadsEmptyAfterAWrite()
    {
        AppFixture f;
        host::Application app;
        app.setNetworkName(QStringLiteral("Demo"));
        QCOMPARE(app.NetworkName(), QString());
        QVERIFY(app.NetworkName().isEmpty());
    }

    void remoteAndInterfaceNameAreTheProcessFlags()
    {
        AppFixture f;
        host::Application app;
        app.setRemote(true);
        app.setNetworkInterfaceName(QStringLiteral("Internet"));
        QVERIFY(host::state().remoteFlag);
        QCOMPARE(host::state().networkInterfaceName, QStringLiteral("Internet"));
        QVERIFY(app.Remote());
        QCOMPARE(app.NetworkInterfaceName(), QStringLiteral("Internet"));
    }

    // The window's floating-point sizes become the nearest integer, halves
    // to even.
    void sizesRoundHalfToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("half down to even") << 1234.5 << 1234;
        QTest::newRow("half up to even") << 1235.5 << 1236;
        QTest::newRow("below half") << 1234.49 << 1234;
        QTest::newRow("above half") << 1234.51 << 1235;
        QTest::newRow("zero and a half") << 0.5 << 0;
        QTest::newRow("negative half") << -2.5 << -2;
        QTest::newRow("negative") << -1.5 << -2;
        QTest::newRow("whole") << 6510.0 << 6510;
    }
    void sizesRoundHalfToEven()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        AppFixture f;
        host::Application app;
        f.geometry->height = f.geometry->left = f.geometry->top = f.geometry->width = value;
        QCOMPARE(app.Height(), expected);
        QCOMPARE(app.Left(), expected);
        QCOMPARE(app.Top(), expected);
        QCOMPARE(app.Width(), expected);
    }

    void sizesAreWrittenToTheWindow()
    {
        AppFixture f;
        host::Application app;
        app.setHeight(7000);
        app.setWidth(9990);
        app.setLeft(300);
        app.setTop(-150);
        QCOMPARE(f.geometry->height, 7000.0);
        QCOMPARE(f.geometry->width, 9990.0);
        QCOMPARE(f.geometry->left, 300.0);
        QCOMPARE(f.geometry->top, -150.0);
        QCOMPARE(app.Height(), 7000);
        QCOMPARE(app.Top(), -150);
    }

    // Minimized remembers the state the window had and gives it back.
    void minimizedRemembersTheWindowState_data()
    {
        QTest::addColumn<int>("initial");
        QTest::newRow("normal") << host::kWindowNormal;
        QTest::newRow("maximized") << host::kWindowMaximized;
    }
    void minimizedRemembersTheWindowState()
    {
        QFETCH(int, initial);
        AppFixture f;
        host::Application app;
        f.geometry->state = initial;
        QVERIFY(!app.Minimized());
        app.setMinimized(true);
        QCOMPARE(f.geometry->state, host::kWindowMinimized);
        QVERIFY(app.Minimized());
        // Minimizing a minimized window keeps the first remembered state.
        app.setMinimized(true);
        QCOMPARE(int(app.savedWindowState()), initial);
        app.setMinimized(false);
        QCOMPARE(f.geometry->state, initial);
        QVERIFY(!app.Minimized());
    }

    void visibleShowsAndHides()
    {
        AppFixture f;
        host::Application app;
        QVERIFY(!app.Visible());
        app.setVisible(true);
        QVERIFY(f.geometry->visible);
        QVERIFY(app.Visible());
        app.setVisible(false);
        QVERIFY(!f.geometry->visible);
        QVERIFY(!app.Visible());
    }

    // After a failed start (here: no INI file) the window members read 0 /
    // False and nothing the tool does has an effect.
    void nothingWorksAfterAFailedStart()
    {
        AppFixture f(false);
        host::Application app;
        QVERIFY(host::state().abortFlag);
        QCOMPARE(f.messages->shown.size(), 1); // message 1526
        f.geometry->visible = true;
        f.geometry->state = host::kWindowMinimized;
        QCOMPARE(app.Height(), 0);
        QCOMPARE(app.Width(), 0);
        QCOMPARE(app.Left(), 0);
        QCOMPARE(app.Top(), 0);
        QVERIFY(!app.Minimized());
        QVERIFY(!app.Visible());

        app.setHeight(100);
        app.setVisible(false);
        app.setMinimized(false);
        app.setRemote(true);
        app.setNetworkInterfaceName(QStringLiteral("Internet"));
        app.setProgramIdsToRegister(QStringLiteral("90:00:9D:51:0A:04:04:01"));
        app.setLnsObjectByTool(f.toolObject(QStringLiteral("Room101")));
        QCOMPARE(f.geometry->writes, 0);
        const host::HostState &s = host::state();
        QVERIFY(!s.remoteFlag);
        QVERIFY(s.networkInterfaceName.isEmpty());
        QVERIFY(s.programIdsToRegister.isEmpty());
        QVERIFY(!s.hostSuppliedObjects);
        QVERIFY(!s.conn.object);

        platform::TraceLog::instance().clearRecent();
        qint32 cmd = 13;
        qint16 cls = 28;
        QString name = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        app.SendCommand(cmd, cls, name);
        QVERIFY(!f.traced("[M_PlugIn] Public Sub ValidateCommand()"));
        QCOMPARE(f.geometry->displays, 0);
        QCOMPARE(f.messages->shown.size(), 1);
    }

    // LnsObjectByTool takes a LonMark object (ClassId 28) only; anything
    // else is ignored and the plug-in connects by itself.
    void handedOverObjects_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("LonMark object") << "lmo" << true;
        QTest::newRow("ClassId 29") << "class29" << false;
        QTest::newRow("LonMark object reporting ClassId 29") << "mislabelled" << false;
        QTest::newRow("device") << "device" << false;
        QTest::newRow("ClassId cannot be read") << "fails" << false;
        QTest::newRow("nothing") << "null" << false;
    }
    void handedOverObjects()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        AppFixture f;
        host::Application app;
        lns::ObjectPtr object;
        if (kind == QLatin1String("lmo"))
            object = f.toolObject(QStringLiteral("Room102"));
        else if (kind == QLatin1String("class29"))
            object = std::make_shared<ForeignObject>(29, false);
        else if (kind == QLatin1String("mislabelled"))
            object = std::make_shared<MislabelledObject>(f.toolObject(QStringLiteral("Room102")));
        else if (kind == QLatin1String("device"))
            object = f.toolObject(QStringLiteral("Room102"))->parent();
        else if (kind == QLatin1String("fails"))
            object = std::make_shared<ForeignObject>(28, true);
        app.setLnsObjectByTool(object);
        QCOMPARE(host::state().hostSuppliedObjects, taken);
        QCOMPARE(app.LnsObjectByTool() == object && object, taken);

        // The command: with the object the window opens for it without a
        // connection of its own; without, the plug-in connects to the object
        // named in the command (Room101).
        qint32 cmd = 13;
        qint16 cls = 28;
        QString name = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        app.SendCommand(cmd, cls, name);
        QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
        QCOMPARE(f.geometry->displays, 1);
        const host::HostState &s = host::state();
        QCOMPARE(s.commandIndex, 1);
        QCOMPARE(s.conn.device->name(), taken ? QStringLiteral("Room102") : QStringLiteral("Room101"));
        QCOMPARE(s.connectionTitle(), s.conn.device->name() + " / Controller");
        QVERIFY(s.conn.deviceTemplate);
        QCOMPARE(f.traced("[M_LcaPlugIn] Public Sub FetchObjects()"), !taken);
        // The object server is the one the object belongs to (its updates
        // reach the monitoring).
        QCOMPARE(lns::findAncestor(s.conn.network, lns::ClsObjectServer).get(),
                 static_cast<lns::Object *>(s.conn.objectServer.get()));
        if (taken)
            QCOMPARE(s.conn.objectServer.get(), static_cast<lns::ObjectServer *>(f.toolServer.get()));
        // The plug-in closes only what it opened itself.
        lns::NetworkPtr net = s.conn.network;
        host::EndApp();
        QVERIFY(net);
        QCOMPARE(net->isOpen(), taken);
    }

    // LnsServer: an object server becomes the connection's and the
    // monitoring's; whatever could be looked at without an error counts as
    // handed over.
    void handedOverServer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("monitorServer");
        QTest::addColumn<bool>("flag");
        QTest::newRow("object server") << "server" << true << true;
        QTest::newRow("another class") << "device" << false << true;
        QTest::newRow("ClassId cannot be read") << "fails" << false << false;
    }
    void handedOverServer()
    {
        QFETCH(QString, kind);
        QFETCH(bool, monitorServer);
        QFETCH(bool, flag);
        AppFixture f;
        host::Application app;
        const lns::ObjectServerPtr own = host::state().conn.objectServer;
        lns::ObjectPtr object;
        if (kind == QLatin1String("server")) {
            f.toolObject(QStringLiteral("Room101"));
            object = f.toolServer;
        } else if (kind == QLatin1String("device")) {
            object = f.toolObject(QStringLiteral("Room101"))->parent();
        } else {
            object = std::make_shared<ForeignObject>(0, true);
        }
        app.setLnsServer(object);
        const host::HostState &s = host::state();
        QCOMPARE(s.hostSuppliedObjects, flag);
        QCOMPARE(bool(s.monitorObjectServer), monitorServer);
        QCOMPARE(s.conn.objectServer == own, !monitorServer);
        if (monitorServer)
            QCOMPARE(s.monitorObjectServer.get(), static_cast<lns::ObjectServer *>(f.toolServer.get()));
    }

    void sendCommandValidatesTheCommand()
    {
        AppFixture f;
        host::Application app;
        qint32 cmd = 13;
        qint16 cls = 29;
        QString name = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        app.SendCommand(cmd, cls, name);
        QVERIFY(f.traced("[Application] Public Sub SendCommand()"));
        QCOMPARE(f.messages->shown.size(), 1);
        QCOMPARE(f.messages->shown.first().text, QStringLiteral("The transmitted CommandId (13) is not\nsupported for  ClassId 29 !"));
        QVERIFY(host::state().abortFlag);
        // ... after which the host object does nothing any more.
        cls = 28;
        app.SendCommand(cmd, cls, name);
        QCOMPARE(f.geometry->displays, 0);
        QCOMPARE(app.Height(), 0);
    }

    void closePlugInDoesNothing()
    {
        AppFixture f;
        host::Application app;
        qint32 cmd = 22;
        qint16 cls = 28;
        QString name = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        app.SendCommand(cmd, cls, name);
        QCOMPARE(f.geometry->displays, 1);
        app.ClosePlugIn();
        QVERIFY(f.geometry->loaded);
        QCOMPARE(f.geometry->unloads, 0);
        QVERIFY(!f.traced("[M_LcaPlugIn] Public Sub EndApp()"));
        QVERIFY(host::state().conn.network->isOpen());
    }
};

QTEST_GUILESS_MAIN(TstApplication)
#include "tst_application.moc"
