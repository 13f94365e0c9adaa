// Placeholders, the leading-number rule, tokens and object names.
#include <platform/objectname.h>
#include <platform/stringutil.h>

#include <QtTest>

class TstTextUtil : public QObject
{
    Q_OBJECT
private slots:
    void placeholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one") << "Loading application %1 ..." << QStringList{"2/5"} << "Loading application 2/5 ...";
        QTest::newRow("repeated") << "%1 and %1" << QStringList{"x"} << "x and x";
        QTest::newRow("order") << "%2-%1" << QStringList{"a", "b"} << "b-a";
        QTest::newRow("ninth") << "%9" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "nine"} << "nine";
        QTest::newRow("missing value kept") << "%1 %2" << QStringList{"a"} << "a %2";
        QTest::newRow("value not expanded again") << "%1 %2" << QStringList{"%2", "b"} << "%2 b";
        QTest::newRow("percent sign alone") << "100 % sure %" << QStringList{"x"} << "100 % sure %";
    }
    void placeholders()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        QFETCH(QString, expected);
        QCOMPARE(platform::fillPlaceholders(text, values), expected);
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::addColumn<int>("asInt16");
        QTest::newRow("plain") << "28" << 28.0 << 28;
        QTest::newRow("trailing text") << "13abc" << 13.0 << 13;
        QTest::newRow("leading blanks") << "  1000" << 1000.0 << 1000;
        QTest::newRow("no number") << "abc" << 0.0 << 0;
        QTest::newRow("empty") << "" << 0.0 << 0;
        QTest::newRow("negative") << "-50" << -50.0 << -50;
        QTest::newRow("decimal") << "2.5 K" << 2.5 << 2;
        QTest::newRow("sign only") << "-" << 0.0 << 0;
        QTest::newRow("clamped to 16 bit") << "99999" << 99999.0 << 32767;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QFETCH(int, asInt16);
        QCOMPARE(platform::leadingNumber(text), expected);
        QCOMPARE(int(platform::leadingInt16(text)), asInt16);
    }

    void token()
    {
        QCOMPARE(platform::token("a b c", " ", 3), QStringLiteral("c"));
        QCOMPARE(platform::token("a b c", " ", 4), QString());
        QCOMPARE(platform::token("a b c", " ", 0), QString());
    }

    void objectName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("network");
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("object");
        QTest::newRow("nested subsystem") << "Demo.Building.Floor1.Room101.Controller" << true << "Demo"
                                          << "Building.Floor1" << "Room101" << "Controller";
        QTest::newRow("top subsystem") << "Net.Sub.Dev.Obj" << true << "Net" << "Sub" << "Dev" << "Obj";
        QTest::newRow("blanks inside parts") << "My Net.Sub A.Dev 1.Obj" << true << "My Net" << "Sub A" << "Dev 1"
                                             << "Obj";
        QTest::newRow("trailing blank of the command line") << "Net.Sub.Dev.Obj " << true << "Net" << "Sub" << "Dev"
                                                            << "Obj";
        QTest::newRow("too few parts") << "Net.Dev.Obj" << false << "" << "" << "" << "";
        QTest::newRow("empty part") << "Net..Dev.Obj" << false << "" << "" << "" << "";
        QTest::newRow("empty") << "" << false << "" << "" << "" << "";
    }
    void objectName()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const platform::ObjectName n = platform::analyseObjectName(text);
        QCOMPARE(n.valid, valid);
        if (!valid)
            return;
        QTEST(n.networkName, "network");
        QTEST(n.subsystemPath, "subsystem");
        QTEST(n.deviceName, "device");
        QTEST(n.objectName, "object");
        QCOMPARE(platform::analyseObjectName(n.toString()).toString(), n.toString());
    }
};

QTEST_GUILESS_MAIN(TstTextUtil)
#include "tst_textutil.moc"
