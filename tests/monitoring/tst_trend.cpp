// The trend view: what the updates add to the series and marks, the
// 15-minute window, and the chart drawn from it with a clock of the test's.
#include <monitoring/trendmodel.h>
#include <monitoring/trendwindow.h>
#include <platform/resstrings.h>

#include <QLineSeries>
#include <QScatterSeries>
#include <QtTest>

using namespace monitoring;

namespace {

constexpr qint64 kMinute = 60000;
constexpr qint64 kT0 = 1700000000000LL;

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { platform::setLanguageOffset(0); }

    void updatesToSeries_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("series"); // "index=value;..."
        QTest::newRow("unit status") << "nvoUnitStatus" << "HVAC_HEAT,40,0,-20,5,66,0" << true
                                     << "2=40;3=0;4=20;5=5;6=66";
        QTest::newRow("unit status with a field that is no number")
            << "nvoUnitStatus" << "HVAC_HEAT,40,x,0,5,66,1" << true << "2=40;4=0;5=5;6=66";
        QTest::newRow("unit status of the wrong field count") << "nvoUnitStatus" << "HVAC_HEAT,40" << false << "";
        QTest::newRow("setpoint") << "nvoEffectSetpt" << "8\t52" << true << "0=21";
        QTest::newRow("negative setpoint") << "nvoEffectSetpt" << "255\t56" << true << "0=-2";
        QTest::newRow("setpoint of one byte") << "nvoEffectSetpt" << "8" << false << "";
        QTest::newRow("occupancy adds no series") << "nvoEffectOccup" << "3" << true << "";
        QTest::newRow("occupancy text") << "nvoEffectOccup" << "OC_STANDBY" << false << "";
        QTest::newRow("window is not plotted") << "nvoOaWindow" << "1\t200\t0\t0" << false << "";
    }
    void updatesToSeries()
    {
        QFETCH(QString, point);
        QFETCH(QString, value);
        QFETCH(bool, added);
        QFETCH(QString, series);
        TrendModel m;
        QCOMPARE(m.addUpdate(point, value, kT0), added);
        QStringList got;
        for (int s = 0; s < TS_COUNT; ++s) {
            for (const TrendSample &x : m.series(s)) {
                QCOMPARE(x.ms, kT0);
                got << QStringLiteral("%1=%2").arg(s).arg(x.value);
            }
        }
        QCOMPARE(got.join(QLatin1Char(';')), series);
        QVERIFY(m.marks().isEmpty());
    }

    void changesAreMarked()
    {
        TrendModel m;
        m.addUpdate("nvoUnitStatus", "HVAC_HEAT,40,0,0,5,0,0", kT0);
        m.addUpdate("nvoEffectOccup", "0", kT0);
        m.addUpdate("nvoUnitStatus", "HVAC_HEAT,50,0,0,5,0,0", kT0 + 1000);
        m.addUpdate("nvoEffectOccup", "0", kT0 + 1000);
        QVERIFY(m.marks().isEmpty());
        m.addUpdate("nvoUnitStatus", "HVAC_COOL,0,0,30,5,0,0", kT0 + 2000);
        m.addUpdate("nvoEffectOccup", "3", kT0 + 3000);
        m.addUpdate("nvoEffectOccup", "2", kT0 + 4000);
        QCOMPARE(m.marks().size(), 3);
        QCOMPARE(m.marks().at(0).kind, TrendMark::Mode);
        QCOMPARE(m.marks().at(0).text, QStringLiteral("cool"));
        QCOMPARE(m.marks().at(0).ms, kT0 + 2000);
        QCOMPARE(m.marks().at(1).kind, TrendMark::Occupancy);
        QCOMPARE(m.marks().at(1).text, QStringLiteral("standby"));
        QCOMPARE(m.marks().at(2).text, QString()); // bypass has no text of its own
        m.clear();
        m.addUpdate("nvoUnitStatus", "HVAC_OFF,0,0,0,0,0,0", kT0 + 5000);
        QVERIFY(m.marks().isEmpty());
    }

    void windowOfFifteenMinutes()
    {
        TrendModel m;
        for (int i = 0; i <= 30; ++i)
            m.addUpdate("nvoEffectSetpt", i % 2 ? "8\t52" : "7\t208", kT0 + i * kMinute);
        m.addUpdate("nvoEffectOccup", "0", kT0);
        m.addUpdate("nvoEffectOccup", "1", kT0 + 5 * kMinute);
        m.addUpdate("nvoEffectOccup", "0", kT0 + 20 * kMinute);
        m.prune(kT0 + 30 * kMinute);
        const QVector<TrendSample> &s = m.series(TS_SETPOINT);
        // Minutes 15..30, and the last one before the window (14) so that
        // the line starts at the window's edge.
        QCOMPARE(s.size(), 17);
        QCOMPARE(s.first().ms, kT0 + 14 * kMinute);
        QCOMPARE(s.last().ms, kT0 + 30 * kMinute);
        QCOMPARE(m.marks().size(), 1);
        QCOMPARE(m.marks().first().ms, kT0 + 20 * kMinute);
    }

    void clockGoingBackStartsAgain()
    {
        TrendModel m;
        m.addUpdate("nvoEffectSetpt", "8\t52", kT0);
        m.addUpdate("nvoEffectSetpt", "8\t52", kT0 + kMinute);
        m.addUpdate("nvoEffectSetpt", "9\t0", kT0 - kMinute);
        QCOMPARE(m.series(TS_SETPOINT).size(), 1);
        QCOMPARE(m.series(TS_SETPOINT).first().value, 23.04);
    }

    void chartFollowsTheModel()
    {
        TrendWindow w;
        qint64 now = kT0;
        w.setClock([&now] { return now; });
        QCOMPARE(w.windowTitle(), QStringLiteral("Trend of the last 15 minutes"));
        QCOMPARE(w.lineSeries(TS_SETPOINT)->name(), QStringLiteral("Effective setpoint [°C]"));
        w.addUpdate("nvoEffectSetpt", "8\t52");
        w.addUpdate("nvoUnitStatus", "HVAC_HEAT,40,0,0,5,0,0");
        now += 2 * kMinute;
        w.addUpdate("nvoUnitStatus", "HVAC_COOL,0,0,30,5,0,0");
        w.addRoomTemperature(22.5);
        // The setpoint holds from -2 min until now.
        const QList<QPointF> sp = w.lineSeries(TS_SETPOINT)->points();
        QCOMPARE(sp.size(), 2);
        QCOMPARE(sp.first(), QPointF(-2, 21));
        QCOMPARE(sp.last(), QPointF(0, 21));
        // Heating: 40 until the change, then 0, as steps.
        const QList<QPointF> heat = w.lineSeries(TS_HEAT_PRIMARY)->points();
        QCOMPARE(heat, (QList<QPointF>{{-2, 40}, {0, 40}, {0, 0}, {0, 0}}));
        QCOMPARE(w.lineSeries(TS_ROOM_TEMPERATURE)->points().last(), QPointF(0, 22.5));
        QCOMPARE(w.modeMarks()->points().size(), 1);
        QCOMPARE(w.modeMarks()->points().first().x(), 0.0);
        QVERIFY(w.marksText().endsWith(QLatin1String("cool")));
        // Twenty minutes later the old values have left the window but the
        // last setpoint still holds.
        now += 20 * kMinute;
        w.refresh();
        QCOMPARE(w.lineSeries(TS_SETPOINT)->points().first(), QPointF(-15, 21));
        QCOMPARE(w.modeMarks()->points().size(), 0);
        w.resize(640, 400);
        QVERIFY(!w.grab().isNull());
    }

    void german()
    {
        platform::setLanguageOffset(1000);
        TrendWindow w;
        platform::setLanguageOffset(0);
        QCOMPARE(w.windowTitle(), QStringLiteral("Verlauf der letzten 15 Minuten"));
        QCOMPARE(w.lineSeries(TS_FAN)->name(), QStringLiteral("Lüfterdrehzahl [%]"));
    }
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
