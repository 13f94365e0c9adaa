// What the object server's transactions guarantee, and what they cost on the
// channel: cancel and failed commits change nothing, a killed process leaves
// the file as it was, a transaction writes each CP once and reads each CP once.
#include "simfixture.h"

#include <lns/rawtext.h>
#include <lnssim/channelmodel.h>

#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>
#include <optional>

using namespace lnssim;

namespace {

const QStringList kThreeCps = {QStringLiteral("HeatXp"), QStringLiteral("HeatTi"), QStringLiteral("CoolXp")};

// Device and database bytes of every CP of a device, as another process sees them.
QMap<QString, QPair<QByteArray, QByteArray>> snapshot(NetworkAdmin &admin, int deviceId)
{
    QMap<QString, QPair<QByteArray, QByteArray>> out;
    for (const CpComparison &c : admin.compareCps(deviceId))
        out.insert(c.name, qMakePair(c.database, c.device));
    return out;
}

qint64 cpReadMicros(int bytes)
{
    return ChannelModel::cost(ChannelModel::Op::ReadCp, bytes, ChannelModel::Outcome::Ok).micros;
}
qint64 cpWriteMicros(int bytes)
{
    return ChannelModel::cost(ChannelModel::Op::WriteCp, bytes, ChannelModel::Outcome::Ok).micros;
}

} // namespace

class TestSimTransactions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        f = std::make_unique<SimFixture>();
        f->open();
    }
    void cleanup() { f.reset(); }

    void readComesFromTheDeviceAndRefreshesTheDatabase()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        admin->setDeviceCp(id, QStringLiteral("HeatXp"), QByteArray("\x01\x2C", 2)); // changed at the device
        auto cp = f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"));
        QCOMPARE(cp->databaseValue(), QStringLiteral("0\t200"));
        QCOMPARE(admin->counters(id).deviceReads, qint64(0));
        QCOMPARE(cp->value(), QStringLiteral("1\t44"));
        QCOMPARE(cp->databaseValue(), QStringLiteral("1\t44"));
        const Counters c = admin->counters(id);
        QCOMPARE(c.deviceReads, qint64(1));
        QCOMPARE(c.bytesRead, qint64(2));
        QCOMPARE(c.channelMicros, cpReadMicros(2));
    }

    void writeOutsideATransactionReachesBoth()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("SetPoints"))
            ->setValue(QStringLiteral("8\t0\t9\t1\t10\t2\t8\t3\t7\t4\t6\t5"));
        const QByteArray expected("\x08\x00\x09\x01\x0A\x02\x08\x03\x07\x04\x06\x05", 12);
        QCOMPARE(admin->deviceCp(id, QStringLiteral("SetPoints")), expected);
        QCOMPARE(admin->databaseCp(id, QStringLiteral("SetPoints")), expected);
        const Counters c = admin->counters(id);
        QCOMPARE(c.deviceWrites, qint64(1));
        QCOMPARE(c.bytesWritten, qint64(12));
        QCOMPARE(c.channelMicros, cpWriteMicros(12));
    }

    void badValuesAreRefused_data()
    {
        QTest::addColumn<QString>("cp");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("element");
        QTest::newRow("too few bytes") << "SetPoints" << "8\t252" << -1;
        QTest::newRow("too many bytes") << "HeatXp" << "0\t200\t1" << -1;
        QTest::newRow("not a number") << "HeatXp" << "0\tx" << -1;
        QTest::newRow("above 255") << "HvacAppMode" << "256" << -1;
        QTest::newRow("blank separated") << "HeatXp" << "0 200" << -1;
        QTest::newRow("empty") << "HvacAppMode" << "" << -1;
        QTest::newRow("element too long") << "HeatXp" << "1\t2\t3" << 0;
    }

    void badValuesAreRefused()
    {
        QFETCH(QString, cp);
        QFETCH(QString, text);
        QFETCH(int, element);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const auto before = snapshot(*admin, id);
        auto c = f->objectCp(QStringLiteral("Room101"), cp);
        bool thrown = false;
        try {
            if (element < 0)
                c->setValue(text);
            else
                c->setElementValue(element, text);
        } catch (const lns::LnsError &e) {
            thrown = true;
            QCOMPARE(e.number(), int(lns::ErrBadValue));
            QVERIFY2(e.description().contains(cp), qPrintable(e.description()));
        }
        QVERIFY(thrown);
        QCOMPARE(snapshot(*admin, id), before);
        QVERIFY(admin->counters(id).isZero());
        QVERIFY_LNS_ERROR(c->setElementValue(1, QStringLiteral("0\t1")), lns::ErrIndexOutOfRange);
    }

    void defaultFormatIsRawTextForNow()
    {
        auto cp = f->controller(QStringLiteral("Room101"))->configProperties()->item(QStringLiteral("HeatTi"));
        QCOMPARE(cp->formatSpecifier(), QString());
        QCOMPARE(cp->value(), QStringLiteral("0\t30"));
        QVERIFY_LNS_ERROR(cp->setFormatSpecifier(QStringLiteral("#SNVT_temp_p")), lns::ErrBadValue);
        cp->setFormatSpecifier(QStringLiteral("raw"));
        QCOMPARE(cp->formatSpecifier(), QStringLiteral("RAW"));
        // The format stays with the CP, not with the handle.
        QCOMPARE(f->controller(QStringLiteral("Room101"))->configProperties()->item(QStringLiteral("HeatTi"))->formatSpecifier(),
                 QStringLiteral("RAW"));
    }

    void cancelLeavesDeviceAndDatabase()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const auto before = snapshot(*admin, id);
        f->system->startTransaction();
        for (const QString &name : kThreeCps)
            f->objectCp(QStringLiteral("Room101"), name)->setValue(QStringLiteral("9\t9"));
        f->controller(QStringLiteral("Room101"))->setExtensionData(QStringLiteral("k"), QStringLiteral("v"));
        // Inside the transaction the written value is what a read gives.
        QCOMPARE(f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->value(), QStringLiteral("9\t9"));
        QCOMPARE(f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->databaseValue(), QStringLiteral("0\t200"));
        f->system->cancelTransaction();
        QCOMPARE(snapshot(*admin, id), before);
        QVERIFY(admin->counters(id).isZero());
        QVERIFY_LNS_ERROR(f->controller(QStringLiteral("Room101"))->extensionData(QStringLiteral("k")), lns::ErrIndexOutOfRange);
    }

    // A transaction inside another joins it: one of devices may add devices
    // to a device transaction, but a network-wide change cannot join one
    // (it would change what the outer one does not hold); the outer one's
    // writes stay its own to commit or roll back.
    void nestedTransactionsJoinTheOuterOne_data()
    {
        QTest::addColumn<bool>("outerNetworkWide");
        QTest::addColumn<bool>("innerNetworkWide");
        QTest::addColumn<bool>("joins");
        QTest::newRow("devices in devices") << false << false << true;
        QTest::newRow("devices in network-wide") << true << false << true;
        QTest::newRow("network-wide in network-wide") << true << true << true;
        QTest::newRow("network-wide in devices") << false << true << false;
    }
    void nestedTransactionsJoinTheOuterOne()
    {
        QFETCH(bool, outerNetworkWide);
        QFETCH(bool, innerNetworkWide);
        QFETCH(bool, joins);
        auto admin = f->admin();
        NetworkDb &db = admin->db();
        const int first = admin->device(QStringLiteral("Room101")).id;
        const int second = admin->device(QStringLiteral("Room203")).id;
        const QByteArray outerBytes("\x03\x03", 2);
        const QByteArray innerBytes("\x04\x04", 2);
        {
            std::optional<NetworkDb::Transaction> outer;
            if (outerNetworkWide)
                outer.emplace(db);
            else
                outer.emplace(db, QVector<int>{first});
            db.setDatabaseCp(first, QStringLiteral("HeatXp"), outerBytes);
            try {
                std::optional<NetworkDb::Transaction> inner;
                if (innerNetworkWide)
                    inner.emplace(db);
                else
                    inner.emplace(db, QVector<int>{second});
                QVERIFY(joins);
                db.setDatabaseCp(second, QStringLiteral("HeatXp"), innerBytes);
                inner->commit();
            } catch (const lns::LnsError &e) {
                QVERIFY2(!joins, qPrintable(e.description()));
                QCOMPARE(e.number(), lns::ErrDatabase);
            }
            QVERIFY(db.inTransaction());
            outer->commit();
        }
        QVERIFY(!db.inTransaction());
        auto other = f->admin();
        QCOMPARE(other->db().databaseCp(first, QStringLiteral("HeatXp")), outerBytes);
        QCOMPARE(other->db().databaseCp(second, QStringLiteral("HeatXp")) == innerBytes, joins);
    }

    void commitWritesEachDistinctCpOnce()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room102")).id;
        f->system->startTransaction();
        // The product's write sequence: a CP shared by several parameters is
        // read, changed and written once per parameter.
        auto heatXp = f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"));
        auto setPoints = f->objectCp(QStringLiteral("Room102"), QStringLiteral("SetPoints"));
        for (int round = 0; round < 3; ++round) {
            QByteArray bytes;
            QVERIFY(lns::parseRaw(setPoints->value(), &bytes));
            bytes[round] = char(round + 1);
            setPoints->setValue(lns::formatRaw(bytes));
            heatXp->setValue(QStringLiteral("0\t%1").arg(100 + round));
        }
        // One read of SetPoints on the wire so far; nothing written yet.
        Counters c = admin->counters(id);
        QCOMPARE(c.deviceReads, qint64(1));
        QCOMPARE(c.deviceWrites, qint64(0));
        QCOMPARE(admin->deviceCp(id, QStringLiteral("HeatXp")), QByteArray("\x00\xC8", 2));
        f->system->commitTransaction();
        c = admin->counters(id);
        QCOMPARE(c.deviceReads, qint64(1));
        QCOMPARE(c.deviceWrites, qint64(2));
        QCOMPARE(c.bytesWritten, qint64(14));
        QCOMPARE(c.channelMicros, cpReadMicros(12) + cpWriteMicros(12) + cpWriteMicros(2));
        QCOMPARE(admin->deviceCp(id, QStringLiteral("HeatXp")), QByteArray("\x00\x66", 2));
        QCOMPARE(admin->databaseCp(id, QStringLiteral("HeatXp")), QByteArray("\x00\x66", 2));
        QCOMPARE(admin->deviceCp(id, QStringLiteral("SetPoints")).left(3), QByteArray("\x01\x02\x03", 3));
        QCOMPARE(admin->databaseCp(id, QStringLiteral("SetPoints")), admin->deviceCp(id, QStringLiteral("SetPoints")));
        QVERIFY(!f->system->inTransaction());
    }

    void fullReadCostsOneReadPerCp_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("T1, plain") << "Room101" << false;
        QTest::newRow("T1, in a transaction") << "Room101" << true;
        QTest::newRow("T3, in a transaction") << "Room103" << true;
        QTest::newRow("T4, plain") << "Room104" << false;
    }

    void fullReadCostsOneReadPerCp()
    {
        QFETCH(QString, device);
        QFETCH(bool, inTransaction);
        auto admin = f->admin();
        const int id = admin->device(device).id;
        auto dev = f->device(device);
        QList<lns::ConfigPropertyPtr> all;
        for (auto cps : {dev->configProperties(), dev->lonMarkObjects()->item(1)->configProperties(),
                         dev->networkVariables()->item(QStringLiteral("nvoUnitStatus"))->configProperties()}) {
            for (int p = 1; p <= cps->count(); ++p)
                all << cps->itemAt(p);
        }
        qint64 expectedMicros = 0, expectedBytes = 0;
        for (const auto &cp : all) {
            expectedMicros += cpReadMicros(cp->elementByteLength() * cp->dimension());
            expectedBytes += cp->elementByteLength() * cp->dimension();
        }
        if (inTransaction)
            f->system->startTransaction();
        for (int pass = 0; pass < (inTransaction ? 2 : 1); ++pass) {
            for (const auto &cp : all)
                QCOMPARE(cp->value(), cp->databaseValue());
        }
        if (inTransaction)
            f->system->commitTransaction();
        const Counters c = admin->counters(id);
        QCOMPARE(c.deviceReads, qint64(all.size()));
        QCOMPARE(c.deviceWrites, qint64(0));
        QCOMPARE(c.bytesRead, expectedBytes);
        QCOMPARE(c.channelMicros, expectedMicros);
        QCOMPARE(admin->totals(), c);
    }

    void failedCommitChangesNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("error");
        QTest::newRow("CP write fault on the 2nd CP") << "cp" << int(lns::ErrDeviceFailed);
        QTest::newRow("device unreachable") << "unreachable" << int(lns::ErrDeviceUnreachable);
    }

    void failedCommitChangesNothing()
    {
        QFETCH(QString, fault);
        QFETCH(int, error);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const int other = admin->device(QStringLiteral("Room102")).id;
        f->system->startTransaction();
        // A CP of another device first: its write succeeds and must be undone.
        f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("7\t7"));
        for (const QString &name : kThreeCps)
            f->objectCp(QStringLiteral("Room101"), name)->setValue(QStringLiteral("5\t5"));
        if (fault == QLatin1String("cp"))
            admin->setCpFault(id, kThreeCps.at(1), CpFault::Write);
        else
            admin->setUnreachable(id, true);
        const auto before = snapshot(*admin, id);
        const auto beforeOther = snapshot(*admin, other);
        bool thrown = false;
        try {
            f->system->commitTransaction();
        } catch (const lns::LnsError &e) {
            thrown = true;
            QCOMPARE(e.number(), error);
            QVERIFY2(e.description().contains(QLatin1String("Room101")), qPrintable(e.description()));
            QVERIFY2(e.description().contains(QLatin1String("nothing was changed")), qPrintable(e.description()));
            if (fault == QLatin1String("cp"))
                QVERIFY2(e.description().contains(kThreeCps.at(1)), qPrintable(e.description()));
        }
        QVERIFY(thrown);
        QVERIFY(!f->system->inTransaction());
        QCOMPARE(snapshot(*admin, id), before);
        QCOMPARE(snapshot(*admin, other), beforeOther);
        QCOMPARE(admin->deviceCp(id, kThreeCps.at(0)), QByteArray("\x00\xC8", 2));
        // The attempts were on the wire: the other device was written and
        // restored, the failing one was tried.
        QCOMPARE(admin->counters(other).deviceWrites, qint64(2));
        QVERIFY(admin->counters(id).deviceWrites >= 1);
    }

    void uncommissionedDeviceIsDatabaseOnly()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room206")).id;
        auto cp = f->objectCp(QStringLiteral("Room206"), QStringLiteral("HeatTi"));
        cp->setValue(QStringLiteral("0\t45"));
        QCOMPARE(cp->value(), QStringLiteral("0\t45"));
        QCOMPARE(admin->databaseCp(id, QStringLiteral("HeatTi")), QByteArray("\x00\x2D", 2));
        QCOMPARE(admin->deviceCp(id, QStringLiteral("HeatTi")), QByteArray("\x00\x1E", 2));
        QVERIFY(admin->counters(id).isZero());
    }

    void faultsOnSingleOperations_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("error");
        QTest::addColumn<qint64>("micros");
        QTest::newRow("unreachable read") << "unreachable" << false << int(lns::ErrDeviceUnreachable) << qint64(264963);
        QTest::newRow("CP read fault") << "read" << false << int(lns::ErrDeviceFailed) << qint64(6174);
        // a 2-byte write: request 19 bytes 1945.6 us, acknowledgement 1331.2 us, + 3000 us
        QTest::newRow("CP read fault, write passes") << "read" << true << 0 << qint64(6277);
        // refused write: request 1945.6 us, error answer 1433.6 us, + 3000 us
        QTest::newRow("CP write fault") << "write" << true << int(lns::ErrDeviceFailed) << qint64(6379);
        QTest::newRow("both") << "both" << false << int(lns::ErrDeviceFailed) << qint64(6174);
    }

    void faultsOnSingleOperations()
    {
        QFETCH(QString, fault);
        QFETCH(bool, write);
        QFETCH(int, error);
        QFETCH(qint64, micros);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        if (fault == QLatin1String("unreachable"))
            admin->setUnreachable(id, true);
        else
            admin->setCpFault(id, QStringLiteral("HeatXp"),
                              fault == QLatin1String("read") ? CpFault::Read
                              : fault == QLatin1String("write") ? CpFault::Write : CpFault::Both);
        auto cp = f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"));
        const auto before = snapshot(*admin, id);
        int got = 0;
        try {
            if (write)
                cp->setValue(QStringLiteral("0\t99"));
            else
                cp->value();
        } catch (const lns::LnsError &e) {
            got = e.number();
            QVERIFY2(e.description().contains(QLatin1String("HeatXp")), qPrintable(e.description()));
        }
        QCOMPARE(got, error);
        if (error != 0)
            QCOMPARE(snapshot(*admin, id), before);
        // Failed transactions are counted with their time on the channel.
        QCOMPARE(admin->counters(id).channelMicros, micros);
        QCOMPARE(admin->counters(id).deviceReads + admin->counters(id).deviceWrites, qint64(1));
        // Other CPs of the device are not affected by a CP fault.
        if (fault != QLatin1String("unreachable"))
            QCOMPARE(f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatTi"))->value(), QStringLiteral("0\t30"));
    }

    void latencyIsModelledAndCounted()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        admin->setLatency(id, 40, false);
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->value();
        QCOMPARE(admin->counters(id).channelMicros, cpReadMicros(2) + 40000);
        admin->resetCounters();
        QVERIFY(admin->totals().isZero());
    }

    void killedInsideACommitLeavesTheFileAsItWas()
    {
        const QString helper = TestEnvironment::binDir() + QStringLiteral("/lnssim_txhelper");
        QVERIFY2(QFileInfo::exists(helper), qPrintable(helper));
        f->network->close();
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room103")).id;
        admin->setLatency(id, 1500, true); // every device transaction really waits 1.5 s
        const auto before = snapshot(*admin, id);
        const Counters countersBefore = admin->totals();
        admin->close();

        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(helper, {f->env.lnsRoot(), TestEnvironment::iniPath(), QStringLiteral("Room103")});
        QVERIFY(child.waitForStarted());
        QByteArray output;
        while (!output.contains("COMMITTING")) {
            QVERIFY2(child.waitForReadyRead(20000), output.constData());
            output += child.readAll();
        }
        // Wait until the child holds the database's write lock, then give it
        // time to write the first CP inside its transaction.
        bool locked = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock-probe"));
            db.setDatabaseName(NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo")));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(db.open());
            for (int i = 0; i < 500 && !locked; ++i) {
                QSqlQuery q(db);
                if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
                    locked = true;
                } else {
                    q.exec(QStringLiteral("ROLLBACK"));
                    QTest::qWait(10);
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lock-probe"));
        QVERIFY2(locked, "the helper never held the write lock");
        QTest::qWait(2000);
        QCOMPARE(child.state(), QProcess::Running);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(!child.readAll().contains("COMMITTED"));

        // The file is consistent and unchanged, for the server and for admin.
        QVERIFY(NetworkDb::probe(NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo"))).version == kSchemaVersion);
        auto after = f->admin();
        QCOMPARE(snapshot(*after, id), before);
        QCOMPARE(after->totals(), countersBefore);
        after->setLatency(id, 0, false);
        f->network->open(false);
        f->system = f->network->system();
        QCOMPARE(f->objectCp(QStringLiteral("Room103"), QStringLiteral("HeatXp"))->value(), QStringLiteral("0\t200"));
    }

private:
    std::unique_ptr<SimFixture> f;
};

QTEST_GUILESS_MAIN(TestSimTransactions)
#include "tst_lnssim_transactions.moc"
