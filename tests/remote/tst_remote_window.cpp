// The configuration window on a network held by a database server (started
// with /REMOTE), while a copy run in another process writes to the same
// controller and another one: both complete, and each controller ends with
// one writer's whole set, the same on the device and in the database.
#include "configfixture.h"
#include "demorooms.h"
#include "remotefixture.h"

#include <QProcess>

#include <algorithm>

using namespace lnssim;

namespace {

const QString kRoom = QStringLiteral("Room101");
const QString kOtherRoom = QStringLiteral("Room103");
const QStringList kCopySet{QStringLiteral("HeatXp"), QStringLiteral("HeatTi"), QStringLiteral("CoolXp")};
constexpr int kCopyValue = 11;
constexpr int kPasses = 60;

bool waitForLine(QProcess &p, const QByteArray &line)
{
    QByteArray seen;
    while (!seen.contains(line)) {
        if (!p.waitForReadyRead(60000))
            return false;
        seen += p.readAll();
    }
    return true;
}

} // namespace

class TestRemoteWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowAndCopyRunOnOneControllerBothComplete()
    {
        TestServer srv;
        REQUIRE_TEST_SERVER(srv.server());
        ConfigFixture f;
        copyNetwork(folderHome(f.env), serverHome(srv), kDemo, false);
        const ScopedEnv named("AEROLIS_LNS_SERVER", serverHome(srv).server);
        NetworkAdmin admin(serverHome(srv), kDemo);
        admin.open();
        const int id = admin.device(kRoom).id;
        // Each of the copy's transactions on the other room takes a while on
        // the channel, so that the run is still going when the window writes.
        admin.setLatency(admin.device(kOtherRoom).id, 10, true);

        QStringList rooms;
        for (int i = 0; i < kPasses; ++i)
            rooms << kRoom << kOtherRoom;
        QProcess copy;
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start(TestEnvironment::binDir() + QStringLiteral("/remote_copyhelper"),
                   QStringList{f.env.lnsRoot(), TestEnvironment::iniPath(), QStringLiteral("1"),
                               QString::number(kCopyValue)}
                       + rooms);
        QVERIFY2(waitForLine(copy, "READY"), qPrintable(QString::fromUtf8(copy.readAll())));

        host::Main({QStringLiteral("/COMMANDID:13/CLASSID:28/REMOTE/OBJECTNAME:%1").arg(demoControllerPath(kRoom))});
        QVERIFY(f.config());
        QVERIFY2(!f.win->errorsLogged(), qPrintable(f.loggerLines().join(QLatin1Char('\n'))));
        copy.write("go\n");
        QVERIFY(copy.waitForBytesWritten(10000));
        const QByteArray setPointsBefore = admin.deviceCp(id, QStringLiteral("SetPoints"));
        f.type(3, QStringLiteral("23"));
        const QString typed = f.box(3)->text();
        // Asked whether to write over the copy's change, the user says yes.
        f.messages->queueAnswer(platform::ANS_Yes);
        f.win->menuToolClick(QStringLiteral("WriteParameters"));
        QVERIFY2(!f.win->errorsLogged(), qPrintable(f.loggerLines().join(QLatin1Char('\n'))));
        QVERIFY(!f.win->parametersChanged());
        QVERIFY2(copy.state() == QProcess::Running, "the copy run ended before the window wrote");
        // The copy changed the controller since the window read it: the
        // window asked before writing over that.
        QVERIFY(f.messages->shown.size() <= 1);
        if (!f.messages->shown.isEmpty()) {
            const QString asked = f.messages->shown.first().text;
            QVERIFY2(std::any_of(kCopySet.cbegin(), kCopySet.cend(), [&](const QString &cp) { return asked.contains(cp); }),
                     qPrintable(asked));
        }

        QVERIFY(copy.waitForFinished(120000));
        const QString output = QString::fromUtf8(copy.readAll());
        QVERIFY2(copy.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("DONE %1").arg(rooms.size())), qPrintable(output));

        // The window's edit arrived (the copy does not touch the setpoints),
        // and the copy's three CPs are one writer's whole set.
        QCOMPARE(f.box(3)->text(), typed);
        QVERIFY(admin.deviceCp(id, QStringLiteral("SetPoints")) != setPointsBefore);
        const QByteArray fromCopy(QByteArray(1, '\0') + char(kCopyValue));
        QSet<QByteArray> held;
        for (const QString &cp : kCopySet)
            held << admin.deviceCp(id, cp);
        const bool copyLast = held == QSet<QByteArray>{fromCopy};
        const bool windowLast = !held.contains(fromCopy);
        QVERIFY2(copyLast || windowLast, "the copy's set is mixed with the window's");
        for (const CpComparison &c : admin.compareCps(id))
            QVERIFY2(!c.differs(), qPrintable(c.name));
        for (const QString &cp : kCopySet)
            QCOMPARE(admin.deviceCp(admin.device(kOtherRoom).id, cp), fromCopy);
    }
};

QTEST_MAIN(TestRemoteWindow)
#include "tst_remote_window.moc"
