// The configuration values the page reads, taken from a parameter
// collection read from a simulated controller: the number of fan levels and
// the night purge command, in the form the decoding compares them with.
#include "cpmap.h"
#include "paramsfixture.h"

#include <monitoring/monitoring.h>
#include <monitoring/nvdecoding.h>

#include <QtTest>

using namespace monitoring;

class TestParamsConfig : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void valuesOfTheCollection_data()
    {
        QTest::addColumn<QByteArray>("hystHigh");
        QTest::addColumn<QByteArray>("discLevels");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("levels");
        QTest::addColumn<QString>("windowRaw");
        QTest::addColumn<bool>("nightPurge");
        QTest::newRow("factory: on, 100 %") << bytesOf({1, 200}) << bytesOf({3}) << 1 << 200 << 3 << "1\t200\t0\t0" << true;
        QTest::newRow("up, 50 %") << bytesOf({3, 100}) << bytesOf({2}) << 3 << 100 << 2 << "3\t100\t0\t0" << true;
        QTest::newRow("other command on the window") << bytesOf({3, 100}) << bytesOf({5}) << 3 << 100 << 5 << "3\t200\t0\t0"
                                                     << false;
        // Night purge switched off: function -1, which the window's raw
        // byte 255 never equals.
        QTest::newRow("night purge off") << bytesOf({255, 0}) << bytesOf({1}) << -1 << 0 << 1 << "255\t0\t0\t0" << false;
    }
    void valuesOfTheCollection()
    {
        QFETCH(QByteArray, hystHigh);
        QFETCH(QByteArray, discLevels);
        QFETCH(int, function);
        QFETCH(int, level);
        QFETCH(int, levels);
        QFETCH(QString, windowRaw);
        QFETCH(bool, nightPurge);
        ParamsFixture f;
        f.setDeviceBytes(QStringLiteral("SettingHystHigh"), hystHigh);
        f.setDeviceBytes(QStringLiteral("DiscLevels"), discLevels);
        QVERIFY(cpmap::build(*f.params) > 0);
        f.params->ReadFromLns();
        ParamsConfig config(f.params.get());
        QCOMPARE(config.parameterValue(QStringLiteral("SettingHystHighFunction")).value_or(-99), function);
        QCOMPARE(config.parameterValue(QStringLiteral("SettingHystHighLevel")).value_or(-99), level);
        QCOMPARE(config.parameterValue(QStringLiteral("DiscLevels")).value_or(-99), levels);
        QVERIFY(!config.parameterValue(QStringLiteral("NoSuchParameter")));
        QCOMPARE(nightPurgeActive(windowRaw, *config.parameterValue(QStringLiteral("SettingHystHighFunction")),
                                  *config.parameterValue(QStringLiteral("SettingHystHighLevel"))),
                 nightPurge);
    }

    void noCollection()
    {
        ParamsConfig config(nullptr);
        QVERIFY(!config.parameterValue(QStringLiteral("DiscLevels")));
    }
};

QTEST_MAIN(TestParamsConfig)
#include "tst_paramsconfig.moc"
