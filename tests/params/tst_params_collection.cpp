// The parameter collection against the simulated object server: what a full
// read and a full write cost on the device, how the fields of a shared CP
// are merged, what a failing CP does to the rest, the write filter and the
// CP names in the logger, lookups, the template fetches and copying the set
// into another device.
#include "cpmap.h"
#include "paramsfixture.h"

#include <QtTest>

using namespace params;

namespace {
const QString kSetPoints = QStringLiteral("SetPoints");
// Factory bytes of SetPoints: cool 23.00 / 25.00 / 28.00, heat 21.00 / 19.00 / 16.00.
const QByteArray kSetPointsFactory = bytesOf({8, 252, 9, 196, 10, 240, 8, 52, 7, 108, 6, 64});
} // namespace

class TstParamsCollection : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<ParamsFixture>();
        QCOMPARE(cpmap::build(*f->params), 33);
    }
    void cleanup() { f.reset(); }

    // ---- costs ----

    void fullReadReadsEachCpOnce()
    {
        f->resetCounters();
        f->params->ReadFromLns();
        const lnssim::Counters c = f->counters();
        QCOMPARE(c.deviceReads, qint64(cpmap::kDistinctCps));
        QCOMPARE(c.deviceWrites, qint64(0));
        // Six fields of SetPoints came from that one read.
        QCOMPARE(f->params->TextBoxParameterByName("CoolSetpointComfort")->TextBoxControl()->text(), QStringLiteral("23.0"));
        QCOMPARE(f->params->TextBoxParameterByName("HeatSetpointComfort")->TextBoxControl()->text(), QStringLiteral("21.0"));
        QCOMPARE(f->params->TextBoxParameterByName("HeatSetpointEconomy")->Value(), 1600);
        QCOMPARE(f->params->TextBoxParameterByName("SettingHystHighLevel")->TextBoxControl()->text(), QStringLiteral("100.0"));
        QCOMPARE(f->params->ComboBoxParameterByName("SettingHystHighFunction")->Value(), int(SET_ON));
        QCOMPARE(f->params->Parameter2ByteByName("NumValves")->Value(), 1);
        QCOMPARE(f->params->TextBoxParameterByName("MaxSendTime")->TextBoxControl()->text(), QStringLiteral("60"));
        for (const auto &p : f->params->AllParameters())
            QVERIFY2(!p->Changed(), qPrintable(p->Name()));
        QVERIFY(!f->system->inTransaction());
    }

    void secondReadCostsTheSame()
    {
        f->params->ReadFromLns();
        f->resetCounters();
        f->params->ReadFromLns();
        QCOMPARE(f->counters().deviceReads, qint64(cpmap::kDistinctCps));
    }

    void fullWriteWritesEachCpOnceAndReadsNothing_data()
    {
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("nothing changed") << QStringList();
        QTest::newRow("one setpoint") << QStringList{"HeatSetpointComfort"};
        QTest::newRow("all six setpoints") << QStringList{"HeatSetpointComfort", "HeatSetpointStandby", "HeatSetpointEconomy",
                                                          "CoolSetpointComfort", "CoolSetpointStandby", "CoolSetpointEconomy"};
        QTest::newRow("setpoint, Ti and a level") << QStringList{"CoolSetpointEconomy", "HeatTi", "SettingHystLowLevel"};
    }
    void fullWriteWritesEachCpOnceAndReadsNothing()
    {
        QFETCH(QStringList, changed);
        f->params->ReadFromLns();
        for (const QString &name : changed) {
            auto t = f->params->TextBoxParameterByName(name);
            t->setValueCalc(t->ValueCalc() + 1);
        }
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        const lnssim::Counters c = f->counters();
        QCOMPARE(c.deviceWrites, qint64(cpmap::kDistinctCps));
        QCOMPARE(c.deviceReads, qint64(0));
        for (const auto &p : f->params->AllParameters())
            QVERIFY2(!p->Changed(), qPrintable(p->Name()));
    }

    void skipMatchingWritesOnlyChangedCps_data()
    {
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<int>("writes");
        QTest::newRow("none") << QStringList() << 0;
        QTest::newRow("one") << QStringList{"HeatTi"} << 1;
        QTest::newRow("three fields of one CP") << QStringList{"HeatSetpointComfort", "CoolSetpointComfort",
                                                               "CoolSetpointEconomy"}
                                                << 1;
        QTest::newRow("fields of three CPs") << QStringList{"HeatSetpointComfort", "HeatTi", "SettingHystHighLevel"} << 3;
    }
    void skipMatchingWritesOnlyChangedCps()
    {
        QFETCH(QStringList, changed);
        QFETCH(int, writes);
        f->params->cpIo().setSkipMatchingCps(true);
        f->params->ReadFromLns();
        for (const QString &name : changed) {
            auto t = f->params->TextBoxParameterByName(name);
            t->setValueCalc(t->ValueCalc() + 1);
        }
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->counters().deviceWrites, qint64(writes));
        QCOMPARE(f->counters().deviceReads, qint64(0));
        // What the device holds now is known: the same write again costs nothing.
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->counters().deviceWrites, qint64(0));
    }

    void oneWritePerCpInsideSomeoneElsesTransaction()
    {
        // The caller holds a transaction on the System: the collection works
        // inside it without an error of its own, the fields of a CP are
        // still merged and the CP is written once.
        f->params->ReadFromLns();
        f->params->TextBoxParameterByName("HeatSetpointComfort")->setValueCalc(22);
        f->params->TextBoxParameterByName("CoolSetpointComfort")->setValueCalc(24);
        f->system->startTransaction();
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QVERIFY(!f->traced(QStringLiteral("StartTransaction")));
        f->system->commitTransaction();
        QCOMPARE(f->counters().deviceWrites, qint64(cpmap::kDistinctCps));
        QCOMPARE(f->counters().deviceReads, qint64(0));
        QCOMPARE(f->deviceBytes(kSetPoints), bytesOf({9, 96, 9, 196, 10, 240, 8, 152, 7, 108, 6, 64}));
    }

    void oneWritePerCpWithoutSystem()
    {
        f->params->ReadFromLns();
        f->params->setSystem(nullptr);
        f->params->TextBoxParameterByName("HeatSetpointComfort")->setValueCalc(22);
        f->params->TextBoxParameterByName("HeatSetpointStandby")->setValueCalc(18);
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->counters().deviceWrites, qint64(cpmap::kDistinctCps));
        QCOMPARE(f->counters().deviceReads, qint64(0));
        QCOMPARE(f->deviceBytes(kSetPoints), bytesOf({8, 252, 9, 196, 10, 240, 8, 152, 7, 8, 6, 64}));
    }

    // ---- merging the fields of a shared CP ----

    void sharedCpFieldsAreMerged_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("heat comfort only") << QStringList{"HeatSetpointComfort"} << QList<double>{22.5}
                                           << bytesOf({8, 252, 9, 196, 10, 240, 8, 202, 7, 108, 6, 64});
        QTest::newRow("first and last field") << QStringList{"CoolSetpointComfort", "HeatSetpointEconomy"}
                                              << QList<double>{24, 15.5}
                                              << bytesOf({9, 96, 9, 196, 10, 240, 8, 52, 7, 108, 6, 14});
        QTest::newRow("all six") << QStringList{"CoolSetpointComfort", "CoolSetpointStandby", "CoolSetpointEconomy",
                                                "HeatSetpointComfort", "HeatSetpointStandby", "HeatSetpointEconomy"}
                                 << QList<double>{1, 2, 3, 4, 5, 6}
                                 << bytesOf({0, 100, 0, 200, 1, 44, 1, 144, 1, 244, 2, 88});
    }
    void sharedCpFieldsAreMerged()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<double>, values);
        QFETCH(QByteArray, expected);
        f->params->ReadFromLns();
        for (int i = 0; i < names.size(); ++i)
            f->params->TextBoxParameterByName(names.at(i))->setValueCalc(values.at(i));
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes(kSetPoints), expected);
    }

    void partialFieldKeepsTheOtherByte()
    {
        // Function and level of a setting CP are two parameters of one CP.
        f->params->ReadFromLns();
        f->params->ComboBoxParameterByName("SettingHystHighFunction")->setValue(SET_NUL);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystHigh"), bytesOf({255, 200}));
        f->params->TextBoxParameterByName("SettingHystHighLevel")->setValueCalc(50);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystHigh"), bytesOf({255, 100}));
    }

    void deviceChangedBetweenReadAndWrite()
    {
        // Every byte of SetPoints belongs to a parameter, so the write puts
        // the parameters' values there, not what the device got meanwhile.
        f->params->ReadFromLns();
        f->setDeviceBytes(kSetPoints, QByteArray(12, '\0'));
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes(kSetPoints), kSetPointsFactory);
    }

    // ---- the logger ----

    void cpNamesGoToTheLogger()
    {
        f->params->ReadFromLns();
        QVERIFY(f->params->WriteToLns(true));
        const QList<LoggedLine> &l = f->window.lines;
        QCOMPARE(l.size(), cpmap::kDistinctCps + 2);
        QCOMPARE(l.first().text, QStringLiteral("  The following config properties will be written:"));
        QCOMPARE(l.first().color, 0);
        QStringList names;
        for (int i = 1; i <= cpmap::kDistinctCps; ++i) {
            QVERIFY(l.at(i).text.startsWith(QStringLiteral("    - ")));
            QCOMPARE(l.at(i).color, int(kColorGreen));
            names << l.at(i).text.mid(6);
        }
        QCOMPARE(names, f->params->GetAllCpNamesShouldBeWrittenToLns());
        QCOMPARE(names.count(kSetPoints), 1);
        // Registry order: 1-byte, 2-byte, (no check boxes), combo boxes, text boxes.
        QCOMPARE(names.mid(0, 3), (QStringList{"HvacAppMode", "NumValves", "SetPointMode"}));
        QCOMPARE(l.last().text, QString());
        // Without the flag nothing is logged.
        QVERIFY(f->params->WriteToLns(false));
        QCOMPARE(f->window.lines.size(), cpmap::kDistinctCps + 2);
    }

    void germanHeader()
    {
        platform::setLanguageOffset(1000);
        f->params->ReadFromLns();
        f->params->WriteToLns(true);
        platform::setLanguageOffset(0);
        QCOMPARE(f->window.lines.first().text, QStringLiteral("  Die folgenden Konfigurationseigenschaften werden geschrieben:"));
    }

    // ---- the write filter ----

    void writeFilter_data()
    {
        QTest::addColumn<QStringList>("dontWrite");
        QTest::addColumn<bool>("setPointsListed");
        QTest::addColumn<int>("cps");
        QTest::newRow("all written") << QStringList() << true << cpmap::kDistinctCps;
        QTest::newRow("one of six setpoints kept back") << QStringList{"HeatSetpointComfort"} << true
                                                        << cpmap::kDistinctCps;
        QTest::newRow("all six kept back") << QStringList{"HeatSetpointComfort", "HeatSetpointStandby",
                                                          "HeatSetpointEconomy", "CoolSetpointComfort",
                                                          "CoolSetpointStandby", "CoolSetpointEconomy"}
                                           << false << cpmap::kDistinctCps - 1;
        QTest::newRow("Xp and Ti kept back") << QStringList{"HeatXp", "HeatTi"} << true << cpmap::kDistinctCps - 2;
    }
    void writeFilter()
    {
        QFETCH(QStringList, dontWrite);
        QFETCH(bool, setPointsListed);
        QFETCH(int, cps);
        f->params->ReadFromLns();
        for (const QString &n : dontWrite)
            f->params->TextBoxParameterByName(n)->setDontWriteToLns(true);
        const QStringList names = f->params->GetAllCpNamesShouldBeWrittenToLns();
        QCOMPARE(names.size(), cps);
        QCOMPARE(names.contains(kSetPoints), setPointsListed);
        for (const QString &n : dontWrite)
            QVERIFY(!f->params->GetAllParamsShouldBeWrittenToLns().contains(f->params->TextBoxParameterByName(n)));
        // What is kept back is not written: its device bytes stay.
        for (const QString &n : dontWrite)
            f->params->TextBoxParameterByName(n)->setValueCalc(1);
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->counters().deviceWrites, qint64(cps));
        if (!setPointsListed)
            QCOMPARE(f->deviceBytes(kSetPoints), kSetPointsFactory);
        if (dontWrite.contains("HeatTi"))
            QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 30}));
    }

    void unavailableParameterIsNotWrittenNorListed()
    {
        auto p = f->params->Add2ByteParameter(QStringLiteral("Missing"), nullptr, QStringLiteral("Missing"));
        QVERIFY(p);
        QVERIFY(!p->Available());
        p->setValue(5);
        QVERIFY(!f->params->GetAllParamsShouldBeWrittenToLns().contains(p));
        f->params->ReadFromLns();
        QVERIFY(f->params->WriteToLns());
    }

    // ---- failures ----

    void failedCommitChangesNothing()
    {
        f->params->ReadFromLns();
        f->admin->setCpFault(f->deviceId, kSetPoints, lnssim::CpFault::Write);
        auto comfort = f->params->TextBoxParameterByName("HeatSetpointComfort");
        auto ti = f->params->TextBoxParameterByName("HeatTi");
        comfort->setValueCalc(22);
        ti->setValueCalc(45);
        QVERIFY(!f->params->WriteToLns());
        // All or nothing: HeatTi was in the same transaction.
        QCOMPARE(f->deviceBytes(kSetPoints), kSetPointsFactory);
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 30}));
        QVERIFY(comfort->Changed());
        QVERIFY(ti->Changed());
        QVERIFY(!f->params->TextBoxParameterByName("CoolXp")->Changed());
        QVERIFY(f->params->failedCpNames().contains(kSetPoints));
        QVERIFY(f->params->failedCpNames().contains("HeatTi"));
        QVERIFY(f->traced(QStringLiteral("CommitTransaction")));
        QVERIFY(!f->system->inTransaction());

        // Once the device answers again the same write goes through.
        f->admin->clearFaults();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 45}));
        QCOMPARE(f->deviceBytes(kSetPoints).mid(6, 2), bytesOf({8, 152}));
    }

    void failedCpWithoutTransactionLeavesTheOthersWritten()
    {
        f->params->ReadFromLns();
        f->params->setSystem(nullptr);
        f->admin->setCpFault(f->deviceId, kSetPoints, lnssim::CpFault::Write);
        auto comfort = f->params->TextBoxParameterByName("HeatSetpointComfort");
        auto ti = f->params->TextBoxParameterByName("HeatTi");
        comfort->setValueCalc(22);
        ti->setValueCalc(45);
        QVERIFY(!f->params->WriteToLns());
        QCOMPARE(f->deviceBytes(kSetPoints), kSetPointsFactory);
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 45}));
        QVERIFY(comfort->Changed());
        QVERIFY(!ti->Changed());
        QCOMPARE(f->params->failedCpNames(), QStringList{kSetPoints});
    }

    void failedReadKeepsTheCpFromBeingOverwritten()
    {
        f->admin->setCpFault(f->deviceId, kSetPoints, lnssim::CpFault::Read);
        f->params->ReadFromLns();
        auto comfort = f->params->TextBoxParameterByName("HeatSetpointComfort");
        QVERIFY(!comfort->valueKnown());
        QVERIFY(f->traced(QStringLiteral("SetPoints")));
        // The other CPs were read.
        QCOMPARE(f->params->TextBoxParameterByName("HeatTi")->Value(), 30);
        QVERIFY(f->params->TextBoxParameterByName("HeatTi")->valueKnown());
        QVERIFY(!f->params->GetAllCpNamesShouldBeWrittenToLns().contains(kSetPoints));

        // A write now leaves SetPoints alone (its values were never read).
        f->admin->clearFaults();
        f->setDeviceBytes(kSetPoints, bytesOf({9, 0, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0}));
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes(kSetPoints), bytesOf({9, 0, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0}));

        // The user sets one setpoint: only that field changes, the rest
        // comes from the device.
        comfort->setValueCalc(22);
        f->resetCounters();
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes(kSetPoints), bytesOf({9, 0, 9, 0, 9, 0, 8, 152, 9, 0, 9, 0}));
        QCOMPARE(f->counters().deviceReads, qint64(1));
    }

    void failedRereadDoesNotMergeIntoOldBytes()
    {
        f->params->ReadFromLns();
        // The device changes, then its next read fails.
        f->setDeviceBytes(kSetPoints, bytesOf({9, 0, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0}));
        f->admin->setCpFault(f->deviceId, kSetPoints, lnssim::CpFault::Read);
        f->params->ReadFromLns();
        f->admin->clearFaults();
        f->params->TextBoxParameterByName("HeatSetpointComfort")->setValueCalc(22);
        QVERIFY(f->params->WriteToLns());
        // Only the changed field differs from what the device holds now.
        QCOMPARE(f->deviceBytes(kSetPoints), bytesOf({9, 0, 9, 0, 9, 0, 8, 152, 9, 0, 9, 0}));
    }

    void malformedDeviceAnswerIsRefused()
    {
        // A device that answers with a byte too many: the raw text has three
        // numbers for a CP of two bytes.
        f->admin->db().setDeviceCp(f->deviceId, QStringLiteral("HeatTi"), bytesOf({1, 2, 3}));
        f->params->ReadFromLns();
        auto ti = f->params->TextBoxParameterByName("HeatTi");
        QCOMPARE(ti->Value(), 0);
        QVERIFY(!ti->valueKnown());
        QVERIFY(f->traced(QStringLiteral("raw text has 3 bytes, 2 expected")));
        QCOMPARE(f->params->TextBoxParameterByName("CoolTi")->Value(), 30);
    }

    void valueOutsideItsFieldIsNotWritten()
    {
        f->params->ReadFromLns();
        // A level of 200 % is 400 in a one-byte field: refused, the byte stays.
        auto level = f->params->TextBoxParameterByName("SettingHystLowLevel");
        level->setValueCalc(200);
        QVERIFY(!f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystLow"), bytesOf({0, 0}));
        QVERIFY(level->Changed());
        QCOMPARE(f->params->failedCpNames(), QStringList{"SettingHystLow"});
        QVERIFY(f->traced(QStringLiteral("400 does not fit in unsigned 1 byte(s)")));
        // An unsigned field refuses a negative value the same way.
        level->setValueCalc(-1);
        QVERIFY(!f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystLow"), bytesOf({0, 0}));
    }

    void unreachableDevice()
    {
        f->admin->setUnreachable(f->deviceId, true);
        f->params->ReadFromLns();
        for (const auto &p : f->params->AllParameters())
            QVERIFY2(!p->valueKnown(), qPrintable(p->Name()));
        QVERIFY(f->params->GetAllCpNamesShouldBeWrittenToLns().isEmpty());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->counters().deviceWrites, qint64(0));
    }

    // ---- validity ----

    void anyParameterValueIsInvalid_data()
    {
        QTest::addColumn<QString>("cp");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("factory values") << "HeatTi" << bytesOf({0, 30}) << false;
        QTest::newRow("setpoint above 50") << kSetPoints << bytesOf({23, 112, 9, 196, 10, 240, 8, 52, 7, 108, 6, 64})
                                           << true;
        QTest::newRow("level not in list") << "DiscLevels" << bytesOf({0}) << true;
        QTest::newRow("Xp below 0.5") << "HeatXp" << bytesOf({0, 10}) << true;
        QTest::newRow("function -1 in list") << "SettingHystLow" << bytesOf({255, 0}) << false;
        QTest::newRow("function 9 not in list") << "SettingHystLow" << bytesOf({9, 0}) << true;
    }
    void anyParameterValueIsInvalid()
    {
        QFETCH(QString, cp);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, invalid);
        // The factory's 0 s is below the box's 1 s (shown red): start valid.
        f->setDeviceBytes("MaxReceiveTime", bytesOf({2, 88}));
        f->setDeviceBytes(cp, bytes);
        f->params->ReadFromLns();
        QCOMPARE(f->params->AnyParameterValueIsInvalid(), invalid);
    }

    void keptBackValueIsNotInvalid()
    {
        f->setDeviceBytes("MaxReceiveTime", bytesOf({2, 88}));
        f->setDeviceBytes("HeatXp", bytesOf({0, 10}));
        f->params->ReadFromLns();
        QVERIFY(f->params->AnyParameterValueIsInvalid());
        f->params->TextBoxParameterByName("HeatXp")->setDontWriteToLns(true);
        QVERIFY(!f->params->AnyParameterValueIsInvalid());
    }

    // ---- registries ----

    void lookups()
    {
        QCOMPARE(f->params->TextBoxParameterCount(), 26);
        QCOMPARE(f->params->ComboBoxParameterCount(), 5);
        QCOMPARE(f->params->Parameter1ByteCount(), 1);
        QCOMPARE(f->params->Parameter2ByteCount(), 1);
        QCOMPARE(f->params->AllParameters().size(), 33);
        QCOMPARE(f->params->TextBoxParameter(1)->Name(), QStringLiteral("MaxReceiveTime"));
        QVERIFY(!f->params->TextBoxParameter(27));
        QVERIFY(!f->params->TextBoxParameter(0));
        QCOMPARE(f->params->TextBoxParameterByName("heatti")->Name(), QStringLiteral("HeatTi"));
        QCOMPARE(f->params->TextBoxParameterByControlIndex(21)->Name(), QStringLiteral("HeatTi"));
        QCOMPARE(f->params->ComboBoxParameterByControlIndex(7)->Name(), QStringLiteral("DiscLevels"));
        QVERIFY(!f->params->TextBoxParameterByControlIndex(99));
        QCOMPARE(f->params->TextBoxParameterByName("HeatTi")->TextBoxControl(), f->window.textBox(21));
        QCOMPARE(controlTag(f->window.textBox(21)), QStringLiteral("HeatTi"));
    }

    void parameterAllByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("classId"); // 0: none
        QTest::newRow("text box after five kinds") << "HeatTi" << 0 << int(PA_CLASSID_TEXTBOX_PARAMETER);
        QTest::newRow("1-byte") << "HvacAppMode" << 0 << int(PA_CLASSID_1BYTE_PARAMETER);
        QTest::newRow("combo box") << "DiscLevels" << 0 << int(PA_CLASSID_COMBOBOX_PARAMTER);
        QTest::newRow("with its type") << "NumValves" << int(PA_CLASSID_2BYTE_PARAMETER) << int(PA_CLASSID_2BYTE_PARAMETER);
        QTest::newRow("wrong type") << "NumValves" << int(PA_CLASSID_TEXTBOX_PARAMETER) << 0;
        QTest::newRow("unknown") << "Nothing" << 0 << 0;
    }
    void parameterAllByName()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(int, classId);
        const auto p = f->params->ParameterAllByName(name, type);
        QCOMPARE(p ? p->ClassId() : 0, classId);
    }

    void duplicateNameIsRefused()
    {
        auto again = f->params->AddTextBoxParameter(QStringLiteral("HEATTI"), nullptr, f->cp("HeatTi"), "HeatTi");
        QVERIFY(!again);
        QVERIFY(f->traced(QStringLiteral("already associated")));
        QCOMPARE(f->params->TextBoxParameterCount(), 26);
    }

    // ---- template fetches ----

    void fetchWrappers()
    {
        TestWindow w;
        ParamsFixture g(QStringLiteral("Room104")); // template T4: no CycleTime
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(!g.params->FetchTextBoxCp(QStringLiteral("CycleTime"), 33, &t));
        QVERIFY(!t);
        QVERIFY(!g.params->FetchTextBoxCp(QStringLiteral("NoSuchCp"), 1, &t));
        QVERIFY(g.params->FetchTextBoxCp(QStringLiteral("SetPoints"), 3, &t, QStringLiteral("HeatSetpointComfort")));
        QCOMPARE(t->Name(), QStringLiteral("HeatSetpointComfort"));
        QCOMPARE(t->CpIniName(), QStringLiteral("SetPoints"));
        QCOMPARE(t->SnvtType(), int(SNVT_unsigned));
        std::shared_ptr<cParam2Byte> calib;
        QVERIFY(g.params->Fetch2ByteCp(QStringLiteral("TempCalib"), &calib, QString(), true));
        QCOMPARE(calib->Name(), QStringLiteral("TempCalib"));
        QVERIFY(calib->FetchCp(true));
        // A CP of an NV of the object (MinDeltaLevel belongs to NV 3).
        std::shared_ptr<cParamTextBox> level;
        QVERIFY(g.params->FetchTextBoxCp(QStringLiteral("MinDeltaLevel"), 2, &level));
        g.params->ReadFromLns();
        QCOMPARE(level->Value(), 4);
        QVERIFY(level->FetchCp(true));
    }

    void devCpErrors_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such CP") << "Missing" << "INI-File Error (CP, CP-Fetch): Missing / CP-Index=-1";
        QTest::newRow("index not on the device") << "BadIndex" << "INI-File Error (CP, CP-Fetch): BadIndex / CP-Index=77";
        QTest::newRow("no such object") << "BadObject" << "INI-File Error (CP, Object-Fetch): BadObject / Object-Index=9";
        QTest::newRow("no such NV") << "BadNv" << "INI-File Error (CP, NV-Fetch): BadNv / NV-Index=42";
    }
    void devCpErrors()
    {
        QFETCH(QString, key);
        QFETCH(QString, message);
        platform::IniFile ini;
        ini.parse(QStringLiteral("[S ]\nBadIndex=77,0\nBadObject=1,9\nBadNv=1,1,42\nGood=1,1,3\n"));
        const lns::TemplateContext ctx{&ini, nullptr};
        bool ok = true;
        QVERIFY(!params::FetchDevCp(key, QStringLiteral("S "), ctx, f->device, &ok));
        QVERIFY(!ok);
        try {
            params::FetchDevCp(key, QStringLiteral("S "), ctx, f->device);
            QFAIL("no error raised");
        } catch (const lns::LnsError &e) {
            QCOMPARE(e.number(), 10000);
            QCOMPARE(e.description(), message);
        }
        // A CP of NV 3 of the Controller.
        QVERIFY(params::FetchDevCp(QStringLiteral("Good"), QStringLiteral("S "), ctx, f->device, &ok));
        QVERIFY(ok);
    }

    void lmoCpErrors()
    {
        const lns::TemplateContext ctx{&f->ini, f->device->deviceTemplate()};
        bool ok = true;
        QVERIFY(!params::FetchLmoCp(QStringLiteral("Missing"), lns::kCpSection, ctx, f->object, &ok));
        QVERIFY(!ok);
        try {
            params::FetchLmoCp(QStringLiteral("Missing"), lns::kCpSection, ctx, f->object);
            QFAIL("no error raised");
        } catch (const lns::LnsError &e) {
            QCOMPARE(e.number(), 10000);
            QCOMPARE(e.description(), QStringLiteral("INI - File Error : Missing"));
        }
        const auto cp = params::FetchLmoCp(QStringLiteral("HeatTi"), lns::kCpSection, ctx, f->object, &ok);
        QVERIFY(ok);
        QCOMPARE(cp->name(), QStringLiteral("HeatTi"));
    }

    // ---- writing into another device ----

    void copyToAnotherDevice()
    {
        f->params->ReadFromLns();
        f->params->TextBoxParameterByName("HeatSetpointComfort")->setValueCalc(22.5);
        f->params->TextBoxParameterByName("HeatTi")->setValueCalc(40);
        f->params->ComboBoxParameterByName("SettingHystHighFunction")->setValue(SET_NUL);
        const int target = f->admin->device(QStringLiteral("Room106")).id;
        f->resetCounters();
        const auto lmo = f->findDevice(QStringLiteral("Room106"))->lonMarkObjects()->item(QStringLiteral("Controller"));
        QVERIFY(f->params->WriteToLnsLmo(lmo, &f->ini, lns::kCpSection));
        QCOMPARE(f->admin->deviceCp(target, kSetPoints), bytesOf({8, 252, 9, 196, 10, 240, 8, 202, 7, 108, 6, 64}));
        QCOMPARE(f->admin->deviceCp(target, "HeatTi"), bytesOf({0, 40}));
        QCOMPARE(f->admin->deviceCp(target, "SettingHystHigh"), bytesOf({255, 200}));
        QCOMPARE(f->admin->counters(target).deviceWrites, qint64(cpmap::kDistinctCps));
        // The own device is untouched and still waits for its write.
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 30}));
        QCOMPARE(f->counters().deviceWrites, qint64(0));
        QVERIFY(f->params->TextBoxParameterByName("HeatTi")->Changed());
        QCOMPARE(f->params->TextBoxParameterByName("HeatTi")->ConfigProperty()->parent()->parent()->name(),
                 QStringLiteral("Room101"));
    }

    void copyReportsMissingCps()
    {
        f->params->ReadFromLns();
        QStringList missing;
        f->params->setCpNotFoundWhileWriting([&](const QString &name, lns::ObjectPtr &) { missing << name; });
        const auto lmo = f->findDevice(QStringLiteral("Room104"))->lonMarkObjects()->item(QStringLiteral("Controller"));
        QVERIFY(f->params->WriteToLnsLmo(lmo, &f->ini, lns::kCpSection));
        QCOMPARE(missing, QStringList{"CycleTime"});
        const int target = f->admin->device(QStringLiteral("Room104")).id;
        QCOMPARE(f->admin->counters(target).deviceWrites, qint64(cpmap::kDistinctCps - 1));
    }

    void copyToAFailingDeviceChangesNothing()
    {
        f->params->ReadFromLns();
        f->params->TextBoxParameterByName("HeatTi")->setValueCalc(40);
        const int target = f->admin->device(QStringLiteral("Room106")).id;
        f->admin->setCpFault(target, QStringLiteral("CoolXp"), lnssim::CpFault::Write);
        const auto lmo = f->findDevice(QStringLiteral("Room106"))->lonMarkObjects()->item(QStringLiteral("Controller"));
        QVERIFY(!f->params->WriteToLnsLmo(lmo, &f->ini, lns::kCpSection));
        QCOMPARE(f->admin->deviceCp(target, "HeatTi"), bytesOf({0, 30}));
    }

    void copyToADevice()
    {
        // Device lookups read "<CP index>,<LonMark object index>": a template
        // that names the Controller (object 1) for CoolTi and nothing else.
        platform::IniFile devIni;
        devIni.parse(QStringLiteral("[norda AerolisController CPs 1.0 ]\nCoolTi=13,1\n"));
        f->params->ReadFromLns();
        f->params->TextBoxParameterByName("CoolTi")->setValueCalc(41);
        QStringList missing;
        f->params->setCpNotFoundWhileWriting([&](const QString &name, lns::ObjectPtr &) { missing << name; });
        const int target = f->admin->device(QStringLiteral("Room106")).id;
        QVERIFY(f->params->WriteToLnsDev(f->findDevice(QStringLiteral("Room106")), &devIni, lns::kCpSection));
        QCOMPARE(f->admin->deviceCp(target, "CoolTi"), bytesOf({0, 41}));
        QCOMPARE(f->admin->counters(target).deviceWrites, qint64(1));
        QCOMPARE(missing.size(), 32);
        QVERIFY(!missing.contains("CoolTi"));
    }

    // ---- the shared CP wrapper ----

    void wrapperSharedByTwoParameters()
    {
        ParamsFixture g;
        auto w = g.params->AddConfigProp(QStringLiteral("SetPointsCp"), g.cp(kSetPoints), kSetPoints);
        QVERIFY(w);
        QCOMPARE(w->ClassId(), int(PA_CLASSID_CONFIG_PROPERTY));
        QCOMPARE(w->ByteLength(), 12);
        QCOMPARE(w->Dimension(), 1);
        QCOMPARE(w->ElementByteLength(), 12);
        auto heat = g.params->AddTextBoxParameterExtCp(QStringLiteral("Heat"), g.window.textBox(3), w);
        auto cool = g.params->AddTextBoxParameterExtCp(QStringLiteral("Cool"), g.window.textBox(7), w);
        QVERIFY(heat->CpIsExternal());
        QVERIFY(heat->Available());
        for (const auto &t : {heat, cool}) {
            t->setSnvtType(SNVT_temp_p);
            t->setResolution(RES_0_1);
        }
        QVERIFY(heat->ConsiderPartOfCpOnly(7, 2).ok());
        QVERIFY(cool->ConsiderPartOfCpOnly(1, 2).ok());
        g.resetCounters();
        g.params->ReadFromLns();
        QCOMPARE(g.counters().deviceReads, qint64(1));
        QCOMPARE(heat->TextBoxControl()->text(), QStringLiteral("21.0"));
        QCOMPARE(cool->TextBoxControl()->text(), QStringLiteral("23.0"));
        heat->setValueCalc(20);
        cool->setValueCalc(26);
        g.resetCounters();
        QVERIFY(g.params->WriteToLns());
        QCOMPARE(g.counters().deviceWrites, qint64(1));
        QCOMPARE(g.counters().deviceReads, qint64(0));
        QCOMPARE(g.deviceBytes(kSetPoints), bytesOf({10, 40, 9, 196, 10, 240, 7, 208, 7, 108, 6, 64}));
        QVERIFY(!heat->Changed());
        // The CP object is back in the format it had.
        QCOMPARE(g.cp(kSetPoints)->formatSpecifier(), QString());
    }

    void wrapperOfAMultiElementCp()
    {
        // A device whose template has a CP of three 2-byte elements.
        TestEnvironment env;
        QFile in(TestEnvironment::iniPath());
        QVERIFY(in.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(in.readAll());
        text.replace(QStringLiteral("[norda AerolisController CPs 1.0 ]"),
                     QStringLiteral("[norda AerolisController CPs 1.0 ]\nTriple=26,0"));
        text.replace(QStringLiteral("[norda AerolisController Device 1.0]"),
                     QStringLiteral("[norda AerolisController Device 1.0]\nTriple=obj,UCPTtriple,2,3,1 2 3 4 5 6"));
        const QString iniPath = env.file(QStringLiteral("AerolisCtrl.ini"));
        QFile out(iniPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        out.close();
        platform::IniFile ini;
        QVERIFY(ini.setFileName(iniPath));
        lnssim::NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Net"));
        admin.create();
        lnssim::NewDevice d;
        d.subsystemPath = QStringLiteral("Site");
        d.name = QStringLiteral("Dev1");
        d.templateName = QStringLiteral("AerolisCtrl-T1");
        const int id = admin.addDevice(d, ini);
        auto server = lnssim::SimObjectServer::create(env.lnsRoot(), iniPath);
        server->open(0);
        auto network = server->networks()->item(QStringLiteral("Net"));
        network->open(false);
        auto system = network->system();
        auto object = system->subsystems()->item(QStringLiteral("Site"))->appDevices()->item(QStringLiteral("Dev1"))
                          ->lonMarkObjects()->item(QStringLiteral("Controller"));
        {
            params::cParams p;
            p.setSystem(system);
            auto w = p.AddConfigProp(QStringLiteral("T"), object->configProperties()->item(QStringLiteral("Triple")),
                                     QStringLiteral("Triple"));
            QCOMPARE(w->Dimension(), 3);
            QCOMPARE(w->ElementByteLength(), 2);
            QCOMPARE(w->ByteLength(), 6);
            auto second = p.Add2ByteParameterExtCp(QStringLiteral("Second"), w);
            QVERIFY(second->ConsiderPartOfCpOnly(3).ok());
            admin.resetCounters();
            p.ReadFromLns();
            QCOMPARE(w->bytes(), bytesOf({1, 2, 3, 4, 5, 6}));
            QCOMPARE(second->Value(), 0x0304);
            QCOMPARE(admin.counters(id).deviceReads, qint64(1));
            second->setValue(0x0909);
            QVERIFY(p.WriteToLns());
            QCOMPARE(admin.deviceCp(id, QStringLiteral("Triple")), bytesOf({1, 2, 9, 9, 5, 6}));
            QCOMPARE(admin.counters(id).deviceWrites, qint64(1));
            QCOMPARE(p.cpIo().stats().lnsValueWrites, 3); // one element value each
        }
        network->close();
    }

    void wrapperReadsOnceAndKeepsItsSize()
    {
        ParamsFixture g;
        auto w = g.params->AddConfigProp(QStringLiteral("Ti"), g.cp("HeatTi"), "HeatTi");
        g.resetCounters();
        bool ok = false;
        QCOMPARE(int(w->ByteValue(2, &ok)), 30);
        QVERIFY(ok);
        QCOMPARE(int(w->ByteValue(1, &ok)), 0);
        QCOMPARE(g.counters().deviceReads, qint64(1));
        w->ByteValue(3, &ok);
        QVERIFY(!ok); // subscript out of range
        w->setConfigProperty(g.cp(kSetPoints));
        QCOMPARE(w->ByteLength(), 2);
        QVERIFY(w->setByteValue(2, 45));
        QVERIFY(!w->setByteValue(0, 1));
        // Back in the format it had.
        QCOMPARE(g.cp("HeatTi")->formatSpecifier(), QString());
    }

    void wrapperWithoutCp()
    {
        ParamsFixture g;
        auto w = g.params->AddConfigProp(QStringLiteral("None"), nullptr, QStringLiteral("Missing"));
        QVERIFY(!w->Available());
        QCOMPARE(w->ByteLength(), -1);
        QCOMPARE(w->Dimension(), -1);
        QVERIFY(!w->ReadFromLns());
        QVERIFY(!w->WriteToLns());
        QVERIFY(!w->FetchCp());
        bool ok = true;
        w->ByteValue(1, &ok);
        QVERIFY(!ok);
    }

    void rawParameters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<int>("value1");
        QTest::addColumn<int>("value2");
        QTest::addColumn<int>("value");
        QTest::newRow("1 and 44") << bytesOf({1, 44}) << false << 1 << 44 << 300;
        QTest::newRow("0xFFFF unsigned") << bytesOf({255, 255}) << false << 255 << 255 << 65535;
        QTest::newRow("0xFFFF signed") << bytesOf({255, 255}) << true << 0 << -1 << -1;
        QTest::newRow("0x8000 signed") << bytesOf({128, 0}) << true << -128 << 0 << -32768;
    }
    void rawParameters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isSigned);
        QFETCH(int, value1);
        QFETCH(int, value2);
        QFETCH(int, value);
        f->setDeviceBytes("NumValves", bytes);
        auto p = f->params->Parameter2ByteByName("NumValves");
        p->setSignedValue(isSigned);
        f->params->ReadFromLns();
        QCOMPARE(p->Value1(), value1);
        QCOMPARE(p->Value2(), value2);
        QCOMPARE(p->Value(), value);
        // Written back as it was read.
        f->setDeviceBytes("NumValves", bytesOf({0, 0}));
        p->setValue(value);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("NumValves"), bytes);
    }

    void oneByteSignedness()
    {
        f->setDeviceBytes("HvacAppMode", bytesOf({255}));
        auto p = f->params->Parameter1ByteByName("HvacAppMode");
        f->params->ReadFromLns();
        QCOMPARE(p->Value(), 255);
        p->setSignedValue(true);
        p->ReadFromLns();
        QCOMPARE(p->Value(), -1);
        QVERIFY(!p->Changed());
        QVERIFY(!p->ConsiderPartOfCpOnly(2).ok());
        QCOMPARE(p->ConsiderPartOfCpOnly(2).description, QStringLiteral("invalid parameters"));
        QVERIFY(p->ConsiderPartOfCpOnly(1).ok());
    }

    void twoByteValueSplit_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("value1");
        QTest::addColumn<int>("value2");
        QTest::newRow("300") << 300 << 1 << 44;
        QTest::newRow("-300: sign follows") << -300 << -1 << -44;
        QTest::newRow("255") << 255 << 0 << 255;
    }
    void twoByteValueSplit()
    {
        QFETCH(int, value);
        QFETCH(int, value1);
        QFETCH(int, value2);
        auto p = f->params->Parameter2ByteByName("NumValves");
        p->setValue(value);
        QCOMPARE(p->Value1(), value1);
        QCOMPARE(p->Value2(), value2);
        QCOMPARE(p->Value(), value);
        QVERIFY(p->Changed());
    }

    void asciiThroughAWrapper()
    {
        ParamsFixture g;
        auto w = g.params->AddConfigProp(QStringLiteral("Sp"), g.cp(kSetPoints), kSetPoints);
        auto own = g.params->AddAsciiParameter(QStringLiteral("Own"), g.cp("HeatTi"), "HeatTi");
        auto text = g.params->AddAsciiParameterExtCp(QStringLiteral("Label"), w);
        QVERIFY(text->ConsiderPartOfCpOnly(3, 4).ok());
        g.params->ReadFromLns();
        QCOMPARE(own->Value(), QString()); // first byte is 0: empty text
        text->setValue(QStringLiteral("AB"));
        own->setValue(QStringLiteral("zz"));
        QVERIFY(g.params->WriteToLns());
        QCOMPARE(g.deviceBytes(kSetPoints), bytesOf({8, 252, 65, 66, 0, 0, 8, 52, 7, 108, 6, 64}));
        // Text goes to a device only through a wrapper.
        QCOMPARE(g.deviceBytes("HeatTi"), bytesOf({0, 30}));
        QVERIFY(!own->Changed());
        g.params->ReadFromLns();
        QCOMPARE(text->Value(), QStringLiteral("AB"));
    }

private:
    std::unique_ptr<ParamsFixture> f;
};

QTEST_MAIN(TstParamsCollection)
#include "tst_params_collection.moc"
