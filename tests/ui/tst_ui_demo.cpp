// The real window started the way the program starts it: the command line
// through Main, the simulated demo network behind the object server, the
// window created by the start-up when the device has been found.
#include "demorooms.h"
#include "hostfixture.h"
#include "simserver.h"

#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <platform/version.h>
#include <ui/frmmain.h>
#include <ui/infowindows.h>

#include <QTest>

namespace {

class DemoFixture : public HostFixture
{
public:
    DemoFixture()
    {
        wireDemoNetwork(env.lnsRoot(), appFolder);
        host::Environment &e = host::state().env;
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<ui::frmMain>();
            return win;
        };
    }
    ~DemoFixture()
    {
        if (win)
            win->hide();
        host::state().mainWindow.reset();
        win.reset();
    }
    void start(int commandId, const QString &room)
    {
        host::Main({QStringLiteral("/COMMANDID:%1/CLASSID:28/OBJECTNAME:%2").arg(commandId).arg(demoControllerPath(room))});
    }
    std::shared_ptr<ui::frmMain> win;
};

} // namespace

class TestUiDemo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsOnItsPage_data();
    void startsOnItsPage();
    void deviceInformationShowsTheDevice();
};

void TestUiDemo::startsOnItsPage_data()
{
    QTest::addColumn<int>("commandId");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("fileTools");
    QTest::newRow("configure, reachable device") << 13 << QStringList{"1001", "1003"} << 0 << true;
    QTest::newRow("control") << 22 << QStringList{"1003"} << 2 << false;
}

void TestUiDemo::startsOnItsPage()
{
    QFETCH(int, commandId);
    QFETCH(QStringList, buttons);
    QFETCH(int, page);
    QFETCH(bool, fileTools);
    DemoFixture f;
    f.start(commandId, QStringLiteral("Room101"));
    QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
    QVERIFY(f.win);
    QVERIFY(f.win->isVisible());
    QStringList tags;
    for (int i = 0; i < f.win->navigationBar()->count(); ++i)
        tags << f.win->navigationBar()->buttonAt(i).tag;
    QCOMPARE(tags, buttons);
    QCOMPARE(f.win->currentPage(), page);
    QCOMPARE(f.win->tool(QStringLiteral("ReadParameters"))->isVisible(), fileTools);
    QCOMPARE(f.win->windowTitle(), host::state().connectionTitle());
    QCOMPARE(f.win->statusText(), gLoadResString(1517));
    // Closing runs the orderly shut-down, which closes the connection.
    QVERIFY(f.win->close());
    QVERIFY(host::state().ending);
    QVERIFY(!host::state().conn.device);
}

void TestUiDemo::deviceInformationShowsTheDevice()
{
    DemoFixture f;
    f.start(13, QStringLiteral("Room102"));
    QVERIFY(f.win && f.win->isVisible());
    const host::HostState &s = host::state();
    f.win->tool(QStringLiteral("DeviceInfo"))->trigger();
    auto *info = f.win->findChild<ui::InfoWindow *>(QStringLiteral("frmDeviceInfo"));
    QVERIFY(info);
    const QString text = info->text();
    QVERIFY2(text.contains(QStringLiteral("Room102")), qPrintable(text));
    QVERIFY(text.contains(s.conn.deviceTemplate->name()));
    QVERIFY(text.contains(s.conn.device->programId()));
    QVERIFY(text.contains(gLoadResString(1383, 7))); // commissioned: yes
    QVERIFY2(text.contains(s.conn.objectServer->version()), qPrintable(text + QLatin1String(" / ") + s.conn.objectServer->version()));
    // The application number as the device's object records it, when it does.
    QString record;
    try {
        record = s.conn.object->extensionData(QStringLiteral("9726A01-27422_Qrt_AppMode"));
    } catch (const std::exception &) {
    }
    const int unknowns = text.count(gLoadResString(1383, 9));
    QCOMPARE(unknowns, record.isEmpty() ? 1 : 0);
    if (!record.isEmpty())
        QVERIFY(text.contains(record));

    f.win->tool(QStringLiteral("About"))->trigger();
    auto *about = f.win->findChild<ui::InfoWindow *>(QStringLiteral("frmAbout"));
    QVERIFY(about);
    QVERIFY(about->text().contains(platform::fullVersionText()));
    QVERIFY(about->text().contains(s.conn.objectServer->version()));
}

QTEST_MAIN(TestUiDemo)
#include "tst_ui_demo.moc"
