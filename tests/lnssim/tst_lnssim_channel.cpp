// The channel model against figures worked out by hand: one byte on the
// channel takes 8 / 78125 s = 102.4 us; a packet carries 13 bytes of overhead;
// each exchange adds 2 x 0.5 ms media access and 2 ms device processing.
#include <lnssim/channelmodel.h>

#include <QtTest>

using lnssim::ChannelModel;
using Op = ChannelModel::Op;
using Outcome = ChannelModel::Outcome;

Q_DECLARE_METATYPE(ChannelModel::Op)
Q_DECLARE_METATYPE(ChannelModel::Outcome)

class TestChannelModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void packetTime()
    {
        QCOMPARE(ChannelModel::packetNanos(0), qint64(13 * 102400));
        QCOMPARE(ChannelModel::packetNanos(2), qint64(1536000));
        lnssim::ChannelParams fast;
        fast.bitRate = 1250000;
        QCOMPARE(ChannelModel::packetNanos(2, fast), qint64(15 * 8 * 800));
    }

    void cost_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<int>("packets");
        QTest::addColumn<int>("fragments");

        // request 4+13 = 17 bytes 1740.8 us, answer 2+13 = 15 bytes 1536 us, + 3000 us
        QTest::newRow("read 2-byte CP") << Op::ReadCp << 2 << Outcome::Ok << 0 << qint64(6277) << 2 << 1;
        QTest::newRow("read 1-byte CP") << Op::ReadCp << 1 << Outcome::Ok << 0 << qint64(6174) << 2 << 1;
        // request 4+12+13 = 29 bytes 2969.6 us, acknowledgement 13 bytes 1331.2 us
        QTest::newRow("write 12-byte CP") << Op::WriteCp << 12 << Outcome::Ok << 0 << qint64(7301) << 2 << 1;
        // request 2+13 = 1536 us, answer 2+12+13 = 27 bytes 2764.8 us
        QTest::newRow("fetch 12-byte NV") << Op::ReadNv << 12 << Outcome::Ok << 0 << qint64(7301) << 2 << 1;
        // request 2+1+13 = 16 bytes 1638.4 us, acknowledgement 1331.2 us
        QTest::newRow("update 1-byte NV") << Op::WriteNv << 1 << Outcome::Ok << 0 << qint64(5970) << 2 << 1;
        // request 13 bytes 1331.2 us, status 13+13 = 26 bytes 2662.4 us; data bytes do not matter
        QTest::newRow("device test") << Op::Test << 99 << Outcome::Ok << 0 << qint64(6994) << 2 << 1;
        QTest::newRow("version read") << Op::ReadVersion << 0 << Outcome::Ok << 0 << qint64(6482) << 2 << 1;
        // 64 + 36 bytes: 81-byte request 8294.4 us and 53-byte request 5427.2 us, two acknowledgements
        QTest::newRow("write 100 bytes, two fragments") << Op::WriteCp << 100 << Outcome::Ok << 0 << qint64(22384) << 4 << 2;
        // two fragments of 64 bytes, each 8294.4 + 1331.2 + 3000 + 5000 flash
        QTest::newRow("download 128 bytes") << Op::Download << 128 << Outcome::Ok << 0 << qint64(35251) << 4 << 2;
        // request 1740.8 us, 1-byte error answer 14 bytes 1433.6 us
        QTest::newRow("device error") << Op::ReadCp << 2 << Outcome::DeviceError << 0 << qint64(6174) << 2 << 1;
        // 4 attempts of 0.5 ms access + 1740.8 us + 64 ms timer
        QTest::newRow("no answer") << Op::ReadCp << 2 << Outcome::NoAnswer << 0 << qint64(264963) << 4 << 1;
        QTest::newRow("latency added once") << Op::ReadCp << 2 << Outcome::Ok << 250 << qint64(256277) << 2 << 1;
    }

    void cost()
    {
        QFETCH(Op, op);
        QFETCH(int, bytes);
        QFETCH(Outcome, outcome);
        QFETCH(int, latencyMs);
        QFETCH(qint64, micros);
        const ChannelModel::Cost c = ChannelModel::cost(op, bytes, outcome, latencyMs);
        QCOMPARE(c.micros, micros);
        QTEST(c.packets, "packets");
        QTEST(c.fragments, "fragments");
    }

    void longerValuesNeverCostLess()
    {
        qint64 last = 0;
        for (int n = 1; n <= 300; ++n) {
            const qint64 t = ChannelModel::cost(Op::WriteCp, n, Outcome::Ok).micros;
            QVERIFY2(t > last, qPrintable(QStringLiteral("%1 bytes").arg(n)));
            last = t;
        }
    }
};

QTEST_GUILESS_MAIN(TestChannelModel)
#include "tst_lnssim_channel.moc"
