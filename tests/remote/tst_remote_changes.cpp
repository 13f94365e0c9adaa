// Two sessions on one network: a session that read a CP which the other
// changed since is told before it writes over it (the CP, who changed it and
// when), on a network file and on a database server alike; it can read again
// or write over the change, and changes of other CPs, its own earlier writes
// and CPs it never read do not stop it.
#include "demorooms.h"
#include "remotefixture.h"
#include "testenv.h"

#include <lns/rawtext.h>
#include <lnssim/dbengine.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkcopy.h>
#include <lnssim/simobjectserver.h>

using namespace lnssim;

namespace {

const QString kRoom = QStringLiteral("Room101");

// What the first session does between the other's change and its own write.
enum class Then { Write, ReadAgainThenWrite, Overwrite, WriteOtherCp, WriteUnreadCp, WriteTwice };

} // namespace

Q_DECLARE_METATYPE(Then)

namespace {

// One session: its own object server on the network.
struct Session
{
    std::shared_ptr<SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;

    Session(const QString &root, bool remote)
    {
        server = SimObjectServer::create(root, TestEnvironment::iniPath());
        server->open(remote ? 1 : 0);
        network = server->networks()->item(kDemo);
        network->open(remote);
        system = network->system();
    }
    ~Session() { network->close(); }

    lns::ConfigPropertyPtr cp(const QString &name) const { return demoControllerCp(system, kRoom, name); }
    // A write as the window makes it: in one transaction.
    void write(const QString &name, const QString &text)
    {
        system->startTransaction();
        cp(name)->setValue(text);
        try {
            system->commitTransaction();
        } catch (const lns::LnsError &) {
            if (system->inTransaction())
                system->cancelTransaction();
            throw;
        }
    }
};

} // namespace

class TestRemoteChanges : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        srv = std::make_unique<TestServer>();
    }
    void cleanup()
    {
        srv.reset();
        env.reset();
    }

    void aChangeSinceTheReadIsTold_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<Then>("then");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("ends"); // HeatXp's bytes at the end
        for (const bool remote : {false, true}) {
            const char *engine = remote ? "server" : "file";
            QTest::addRow("%s: write over the change", engine) << remote << Then::Write << true << "0 77";
            QTest::addRow("%s: read again, then write", engine) << remote << Then::ReadAgainThenWrite << false << "0 55";
            QTest::addRow("%s: overwrite", engine) << remote << Then::Overwrite << false << "0 55";
            QTest::addRow("%s: another CP", engine) << remote << Then::WriteOtherCp << false << "0 77";
            QTest::addRow("%s: a CP not read", engine) << remote << Then::WriteUnreadCp << false << "0 55";
            QTest::addRow("%s: own write, then again", engine) << remote << Then::WriteTwice << false << "0 56";
        }
    }

    void aChangeSinceTheReadIsTold()
    {
        QFETCH(bool, remote);
        QFETCH(Then, then);
        QFETCH(bool, refused);
        QFETCH(QString, ends);
        if (remote)
            REQUIRE_TEST_SERVER(srv->server());
        const std::unique_ptr<ScopedEnv> named = makeDemo(remote);
        Session first(env->lnsRoot(), remote);
        Session other(env->lnsRoot(), remote);
        if (then != Then::WriteUnreadCp)
            QCOMPARE(first.cp(QStringLiteral("HeatXp"))->value(), QStringLiteral("0\t200"));
        if (then == Then::WriteTwice)
            first.write(QStringLiteral("HeatXp"), QStringLiteral("0\t55"));
        else
            other.write(QStringLiteral("HeatXp"), QStringLiteral("0\t77"));
        if (then == Then::ReadAgainThenWrite)
            QCOMPARE(first.cp(QStringLiteral("HeatXp"))->value(), QStringLiteral("0\t77"));
        first.system->setOverwriteChanges(then == Then::Overwrite);

        QString told;
        try {
            if (then == Then::WriteOtherCp)
                first.write(QStringLiteral("HeatTi"), QStringLiteral("0\t55"));
            else
                first.write(QStringLiteral("HeatXp"), then == Then::WriteTwice ? QStringLiteral("0\t56") : QStringLiteral("0\t55"));
        } catch (const lns::LnsError &e) {
            QCOMPARE(e.number(), int(lns::ErrChangedSince));
            told = e.description();
        }
        QCOMPARE(!told.isEmpty(), refused);
        if (refused) {
            // The CP, the device, who changed it and when.
            QVERIFY2(told.contains(QStringLiteral("CP HeatXp of Demo.Building.Floor1.Room101")), qPrintable(told));
            QVERIFY2(told.contains(lns::currentWriteOrigin().user), qPrintable(told));
            QVERIFY2(told.contains(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd"))), qPrintable(told));
        }
        // What the device and the database hold, as a third session sees it.
        Session third(env->lnsRoot(), remote);
        QCOMPARE(third.cp(QStringLiteral("HeatXp"))->value(), QString(ends).replace(QLatin1Char(' '), QLatin1Char('\t')));
    }

    // A transaction reads a CP; another session changes it; the transaction
    // then writes another CP. What the read brought from the device goes
    // into the database copy at the commit, unless another session changed
    // the CP since: its newer bytes stay.
    void aReadTakenIntoTheCopyKeepsANewerChange_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }
    void aReadTakenIntoTheCopyKeepsANewerChange()
    {
        QFETCH(bool, remote);
        if (remote)
            REQUIRE_TEST_SERVER(srv->server());
        const std::unique_ptr<ScopedEnv> named = makeDemo(remote);
        {
            // Changed at the device: the database copy still says 0 200.
            NetworkAdmin admin(remote ? serverHome(*srv) : folderHome(*env), kDemo);
            admin.open();
            admin.setDeviceCp(admin.device(kRoom).id, QStringLiteral("HeatXp"), QByteArray("\x00\xC7", 2));
        }
        Session first(env->lnsRoot(), remote);
        Session other(env->lnsRoot(), remote);
        first.system->startTransaction();
        QCOMPARE(first.cp(QStringLiteral("HeatXp"))->value(), QStringLiteral("0\t199"));
        other.write(QStringLiteral("HeatXp"), QStringLiteral("0\t77"));
        first.cp(QStringLiteral("HeatTi"))->setValue(QStringLiteral("0\t55"));
        first.system->commitTransaction();

        Session third(env->lnsRoot(), remote);
        QCOMPARE(third.cp(QStringLiteral("HeatXp"))->databaseValue(), QStringLiteral("0\t77"));
        QCOMPARE(third.cp(QStringLiteral("HeatXp"))->value(), QStringLiteral("0\t77"));
        QCOMPARE(third.cp(QStringLiteral("HeatTi"))->databaseValue(), QStringLiteral("0\t55"));
    }

private:
    // The demo network in the test's folder and, for remote access, on the
    // test server, which then is remote access's server until the result
    // goes.
    std::unique_ptr<ScopedEnv> makeDemo(bool remote)
    {
        if (!remote) {
            DemoNetwork::create(env->lnsRoot(), demoTemplateFile(), false);
            return nullptr;
        }
        makeDemoOnBoth(*env, *srv);
        return std::make_unique<ScopedEnv>("AEROLIS_LNS_SERVER", srv->server());
    }

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestServer> srv;
};

QTEST_GUILESS_MAIN(TestRemoteChanges)
#include "tst_remote_changes.moc"
