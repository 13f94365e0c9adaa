// The configuration command end to end on the demo network: start, read,
// page logic, edits, checks and writes against the simulated object server,
// with the real window offscreen.
#include "configfixture.h"

#include <configuration/appmodes.h>
#include <params/controlutil.h>
#include <params/paramcollection.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using configuration::cConfiguration;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

int word(const QByteArray &b, int pos) // 1-based, most significant byte first
{
    return (static_cast<quint8>(b.at(pos - 1)) << 8) | static_cast<quint8>(b.at(pos));
}

const char *roomOf(int ctrlType)
{
    static const char *const rooms[] = {"", "Room101", "Room102", "Room103", "Room104", "Room105"};
    return rooms[ctrlType];
}

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void objectServerWorkDrivesTheWindowsNotificationCounter();
    void startReadsEveryCpOnce_data();
    void startReadsEveryCpOnce();
    void editWriteReadRoundTrips_data();
    void editWriteReadRoundTrips();
    void controllerTypeChangeDownloads_data();
    void controllerTypeChangeDownloads();
    void invalidValueBlocksWrite();
    void failedWriteLeavesEverythingForRetry_data();
    void failedWriteLeavesEverythingForRetry();
    void downloadFaultKeepsRecord();
    void unreachableDeviceStillOpens();
    void unreadValuesLookUnread_data();
    void unreadValuesLookUnread();
    void unreadValuesAreNotWritten();
    void readAfterTheDeviceAnswersAgain();
    void readQuestionNoChangesNothing();
    void setpointRanges_data();
    void setpointRanges();
    void pageLayout_data();
    void pageLayout();
    void nightPurgeOffWritesNul();
    void steadyPShownFromDevice();
    void reducedRegistryUnderControl();
};

// ---------------------------------------------------------------- start

void TestWorkflow::startReadsEveryCpOnce_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<int>("reads");
    QTest::addColumn<int>("app");
    // Kinds 1 and 2: 24 parameter CPs (mode CPs not read) + the two mode
    // CPs of the application check; 3 to 5: every CP of the template
    // (each lacks one optional CP), application from the read.
    QTest::newRow("CtrlType 1") << 1 << 26 << 3;
    QTest::newRow("CtrlType 2") << 2 << 26 << 3;
    QTest::newRow("CtrlType 3") << 3 << 25 << 1;
    QTest::newRow("CtrlType 4") << 4 << 25 << 1;
    QTest::newRow("CtrlType 5") << 5 << 25 << 1;
}

// While the object server works it notifies the window again and again; the
// window counts the notices in a byte that starts over after 10.
void TestWorkflow::objectServerWorkDrivesTheWindowsNotificationCounter()
{
    ConfigFixture f;
    f.start(QStringLiteral("Room103"));
    QVERIFY(f.config());
    const lns::ObjectServerPtr server = host::state().conn.objectServer;
    QVERIFY(server);
    QSignalSpy working(server.get(), &lns::ObjectServer::working);
    const int before = f.win->notificationCount();
    const qint64 readsBefore = f.admin->totals().deviceReads;
    f.config()->ReadSettings();
    // A multiple of 11 notices would leave an unconnected counter where it was.
    while (working.count() % 11 == 0)
        f.config()->ReadSettings();
    const qint64 reads = f.admin->totals().deviceReads - readsBefore;
    QVERIFY(reads > 10);
    // At least one notice per device exchange, each one counted by the window.
    QVERIFY2(working.count() >= reads, qPrintable(QString::number(working.count())));
    QCOMPARE(f.win->notificationCount(), (before + working.count()) % 11);
}

void TestWorkflow::startReadsEveryCpOnce()
{
    QFETCH(int, ctrlType);
    QFETCH(int, reads);
    QFETCH(int, app);
    ConfigFixture f;
    const QString room = QString::fromLatin1(roomOf(ctrlType));
    const int id = f.deviceId(room);
    // Values of our own in the device, so that the pages cannot show defaults.
    f.admin->setDeviceCp(id, QStringLiteral("SetPoints"), bytes({9, 146, 10, 40, 11, 84, 8, 2, 7, 58, 6, 14}));
    f.admin->setDeviceCp(id, QStringLiteral("ProtSetpointFrost"), bytes({1, 194}));
    f.admin->resetCounters();
    f.start(room);
    QVERIFY(f.win && f.win->isVisible());
    QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
    cConfiguration *c = f.config();
    QVERIFY(c);
    QCOMPARE(c->appNumber(), app);
    QCOMPARE(f.admin->counters(id).deviceReads, reads);
    QCOMPARE(f.admin->counters(id).deviceWrites, 0);
    // Values in their pages and units (cooling setpoints of a heating-only
    // controller are locked without value).
    // A cooling-only controller gets heating comfort 15 degrees on its page.
    QCOMPARE(f.box(3)->text(), c->coolingOnly() ? QStringLiteral("15.0") : QStringLiteral("20.5"));
    if (!c->coolingOnly()) {
        QCOMPARE(f.box(4)->text(), QStringLiteral("18.5"));
        QCOMPARE(f.box(5)->text(), QStringLiteral("15.5"));
    }
    if (!c->heatingOnly()) {
        QCOMPARE(f.box(7)->text(), QStringLiteral("24.5"));
        QCOMPARE(f.box(8)->text(), QStringLiteral("26.0"));
        QCOMPARE(f.box(9)->text(), QStringLiteral("29.0"));
    }
    QCOMPARE(f.box(11)->text(), QStringLiteral("4.5"));
    QCOMPARE(f.box(1)->text(), QStringLiteral("60")); // MaxSendTime 600 x 0.1 s
    QVERIFY(f.logged(gLoadResString(1530)));
    QVERIFY(f.logged(gLoadResString(1550, 2)));
    // Kinds 3 and 4 do not check the application at start.
    QCOMPARE(f.logged(gLoadResString(1552)), ctrlType != 3 && ctrlType != 4);
    QVERIFY(!f.win->parametersChanged());
    QVERIFY(!f.win->applyEnabled());
    auto *type = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    QCOMPARE(type->currentData().toInt(), app);
}

// ------------------------------------------------------------ edit and write

void TestWorkflow::editWriteReadRoundTrips_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<int>("boxIndex");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("bytePos");
    QTest::addColumn<int>("raw");
    QTest::addColumn<bool>("german");
    QTest::newRow("CtrlType 1 heat standby") << 1 << 4 << "18.5" << 9 << 1850 << false;
    QTest::newRow("CtrlType 2 cool standby") << 2 << 8 << "26.5" << 3 << 2650 << false;
    QTest::newRow("CtrlType 3 heat economy") << 3 << 5 << "14.5" << 11 << 1450 << false;
    QTest::newRow("CtrlType 4 cool economy") << 4 << 9 << "29.5" << 5 << 2950 << false;
    QTest::newRow("CtrlType 5 heat standby") << 5 << 4 << "17.0" << 9 << 1700 << false;
    // The same in German: entries, logger lines and messages of the German table.
    QTest::newRow("German, CtrlType 1 heat standby") << 1 << 4 << "18.5" << 9 << 1850 << true;
    QTest::newRow("German, CtrlType 4 cool economy") << 4 << 9 << "29.5" << 5 << 2950 << true;
}

void TestWorkflow::editWriteReadRoundTrips()
{
    QFETCH(int, ctrlType);
    QFETCH(int, boxIndex);
    QFETCH(QString, entry);
    QFETCH(int, bytePos);
    QFETCH(int, raw);
    QFETCH(bool, german);
    ConfigFixture f;
    if (german)
        platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                  QStringLiteral("1000"));
    const QString room = QString::fromLatin1(roomOf(ctrlType));
    const int id = f.deviceId(room);
    f.start(room);
    QVERIFY(f.config());
    QCOMPARE(platform::languageOffset(), german ? 1000 : 0);
    const QByteArray before = f.admin->deviceCp(id, QStringLiteral("SetPoints"));
    f.type(boxIndex, entry);
    QVERIFY(f.win->parametersChanged());
    QVERIFY(f.win->applyEnabled());
    f.admin->resetCounters();
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QVERIFY(f.messages->shown.isEmpty());
    QVERIFY(!f.win->parametersChanged());
    QVERIFY(!f.win->applyEnabled());
    QVERIFY(f.win->isEnabled());
    QCOMPARE(f.win->statusText(), gLoadResString(1517));
    QVERIFY(f.logged(gLoadResString(1551, 2)));
    QVERIFY(f.logged(QStringLiteral("SetPoints")));
    // The list of written CPs is introduced in the window's language.
    const QString header = platform::rawString(german ? 2553 : 1553);
    QVERIFY(f.logged(header));
    const QByteArray after = f.admin->deviceCp(id, QStringLiteral("SetPoints"));
    QCOMPARE(word(after, bytePos), raw);
    // The other five setpoints of the CP are untouched (a cooling-only
    // controller writes its forced heating comfort of 15 degrees).
    for (int pos = 1; pos <= 11; pos += 2)
        if (pos >= 7 && f.config()->coolingOnly()) // comfort forced, the chain below follows it
            QCOMPARE(word(after, pos), pos == 7 ? 1500 : qMin(word(before, pos), 1500));
        else if (pos != bytePos)
            QCOMPARE(word(after, pos), word(before, pos));
    QVERIFY(f.consistent(id));
    // Read again: the same text comes back from the device.
    f.box(boxIndex)->setText(QStringLiteral("0"));
    f.win->setParametersChanged(false);
    f.win->menuToolClick(QStringLiteral("ReadParameters"));
    QCOMPARE(f.box(boxIndex)->text(), entry);
    QVERIFY(!f.win->parametersChanged());
}

void TestWorkflow::controllerTypeChangeDownloads_data()
{
    QTest::addColumn<QString>("templateName");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("newApp");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("valves");
    QTest::addColumn<bool>("calibrationKept");
    QTest::newRow("ceiling to chilled ceiling, new application") << "AerolisCtrl-T1" << "2.30" << 2 << 1 << 1 << true;
    QTest::newRow("ceiling, application older than the calibration") << "AerolisCtrl-T1" << "2.00" << 5 << 2 << 2 << false;
    QTest::newRow("fan coil to heating with fan") << "AerolisCtrl-T2" << "2.30" << 4 << 7 << 1 << true;
    QTest::newRow("fan coil to 4-pipe with heater") << "AerolisCtrl-T2" << "2.10" << 9 << 10 << 2 << true;
}

void TestWorkflow::controllerTypeChangeDownloads()
{
    QFETCH(QString, templateName);
    QFETCH(QString, version);
    QFETCH(int, newApp);
    QFETCH(int, mode);
    QFETCH(int, valves);
    QFETCH(bool, calibrationKept);
    ConfigFixture f;
    lnssim::NewDevice d;
    d.subsystemPath = QStringLiteral("Building.Floor1");
    d.name = QStringLiteral("Room107");
    d.templateName = templateName;
    d.appVersion = version;
    const int id = f.admin->addDevice(d, f.ini);
    const QByteArray calibration = bytes({255, 226}); // -0.3 K set at the knob
    f.admin->setDeviceCp(id, QStringLiteral("TempCalib"), calibration);
    f.start(QStringLiteral("Room107"));
    cConfiguration *c = f.config();
    QVERIFY(c);
    auto *type = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    const int index = type->findData(newApp);
    QVERIFY(index >= 0);
    type->setCurrentIndex(index);
    QCOMPARE(c->appNumber(), newApp);
    QVERIFY(f.win->parametersChanged());
    f.admin->resetCounters();
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
    QCOMPARE(f.admin->counters(id).downloads, 1);
    const lnssim::DeviceInfo info = f.admin->device(QStringLiteral("Room107"));
    QCOMPARE(info.state.appNumber, newApp);
    QVERIFY(f.logged(gLoadResString(1206)));
    QVERIFY(f.logged(gLoadResString(1207)));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("TempCalib")) == calibration, calibrationKept);
    QCOMPARE(static_cast<quint8>(f.admin->deviceCp(id, QStringLiteral("HvacAppMode")).at(0)), mode);
    QCOMPARE(static_cast<quint8>(f.admin->deviceCp(id, QStringLiteral("NumValves")).at(1)), valves);
    QCOMPARE(host::state().conn.object->extensionData(configuration::kAppModeRecordKey), QString::number(newApp));
    QVERIFY(f.consistent(id));
    QVERIFY(!f.win->parametersChanged());
    // Read again: the device runs what the pages say.
    f.win->LogLine(QStringLiteral("-- read --"));
    f.win->menuToolClick(QStringLiteral("ReadParameters"));
    QCOMPARE(c->appNumber(), newApp);
    QCOMPARE(f.loggerLines().last(), gLoadResString(1550, 2));
    QVERIFY(f.loggerLines().contains(QStringLiteral("  ") + gLoadResString(1203)));
    // A second write finds the application in place.
    f.admin->resetCounters();
    f.win->menuToolClick(QStringLiteral("WriteParameters"));
    QCOMPARE(f.admin->counters(id).downloads, 0);
}

// ------------------------------------------------------------ bad input

void TestWorkflow::invalidValueBlocksWrite()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room101"));
    f.start(QStringLiteral("Room101"));
    cConfiguration *c = f.config();
    // Comfort 18 under a standby of 19, ranges moved without correction.
    c->Parameters().TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"))->setValueCalc(18);
    c->SetSetpointRanges(false);
    f.win->setParametersChanged(true);
    f.win->setApplyEnabled(true);
    f.admin->resetCounters();
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QCOMPARE(f.messages->shown.size(), 1);
    QCOMPARE(f.messages->shown.first().text, gLoadResString(1420));
    QCOMPARE(f.messages->shown.first().icon, platform::MsgIcon::Critical);
    QCOMPARE(f.admin->counters(id).deviceWrites, 0);
    QCOMPARE(f.admin->counters(id).downloads, 0);
    QVERIFY(f.win->parametersChanged());
    QVERIFY(f.win->applyEnabled());
}

void TestWorkflow::failedWriteLeavesEverythingForRetry_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<bool>("unreachable"); // else: the SetPoints CP fails
    for (int kind = 1; kind <= 5; ++kind) {
        QTest::addRow("CtrlType %d, CP write fails", kind) << kind << false;
        QTest::addRow("CtrlType %d, device unreachable", kind) << kind << true;
    }
}

void TestWorkflow::failedWriteLeavesEverythingForRetry()
{
    QFETCH(int, ctrlType);
    QFETCH(bool, unreachable);
    ConfigFixture f;
    const QString room = QString::fromLatin1(roomOf(ctrlType));
    const int id = f.deviceId(room);
    f.start(room);
    QVERIFY(f.config());
    const QByteArray before = f.admin->deviceCp(id, QStringLiteral("SetPoints"));
    // Heating comfort, or cooling standby on the cooling-only controller.
    const bool coolOnly = f.config()->coolingOnly();
    f.type(coolOnly ? 8 : 3, coolOnly ? QStringLiteral("26.5") : QStringLiteral("20.5"));
    if (unreachable)
        f.admin->setUnreachable(id, true);
    else
        f.admin->setCpFault(id, QStringLiteral("SetPoints"), lnssim::CpFault::Write);
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QVERIFY(f.logged(gLoadResString(1528)));
    QVERIFY(f.win->parametersChanged());
    QVERIFY(f.win->applyEnabled());
    QVERIFY(f.win->isEnabled());
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("SetPoints")), before);
    QVERIFY(f.consistent(id));
    // The user repairs the cause and presses Apply again.
    f.admin->clearFaults();
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QVERIFY(!f.win->parametersChanged());
    QCOMPARE(word(f.admin->deviceCp(id, QStringLiteral("SetPoints")), coolOnly ? 3 : 7), coolOnly ? 2650 : 2050);
    QVERIFY(f.consistent(id));
}

void TestWorkflow::downloadFaultKeepsRecord()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room101"));
    f.start(QStringLiteral("Room101"));
    auto *type = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    type->setCurrentIndex(type->findData(2));
    f.admin->setDownloadFault(id, true);
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QCOMPARE(f.admin->device(QStringLiteral("Room101")).state.appNumber, 1);
    bool recordWritten = true;
    try {
        host::state().conn.object->extensionData(configuration::kAppModeRecordKey);
    } catch (const std::exception &) {
        recordWritten = false;
    }
    QVERIFY(!recordWritten);
    QVERIFY(f.win->parametersChanged());
    QVERIFY(f.win->applyEnabled());
    QVERIFY(f.consistent(id));
    f.admin->clearFaults();
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QCOMPARE(f.admin->device(QStringLiteral("Room101")).state.appNumber, 2);
    QVERIFY(!f.win->parametersChanged());
}

void TestWorkflow::unreachableDeviceStillOpens()
{
    ConfigFixture f;
    f.start(QStringLiteral("Room205"));
    QVERIFY(f.win && f.win->isVisible());
    QVERIFY(f.config());
    QCOMPARE(f.config()->appNumber(), 3);
    QVERIFY(!f.logged(gLoadResString(1552)));
    // Nothing was read: the setpoint is not shown as a value of the device.
    QVERIFY(!f.win->parametersChanged());
}

void TestWorkflow::unreadValuesLookUnread_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("failingCp"); // empty: the whole device is silent
    QTest::addColumn<QList<int>>("emptyBoxes");
    QTest::addColumn<QList<int>>("filledBoxes");
    QTest::addColumn<bool>("nothingRead");
    // Room205 is the demo network's unreachable controller (kind 1, app 3).
    QTest::newRow("device silent") << "Room205" << QString() << QList<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 20, 21, 2}
                                   << QList<int>{} << true;
    QTest::newRow("setpoint CP failing") << "Room103" << "SetPoints" << QList<int>{3, 4, 5, 7, 8, 9}
                                         << QList<int>{6, 11, 2} << false;
}

// A value that was not read looks not read: no 0.0, no red, and the logger
// and the status line say in red what happened.
void TestWorkflow::unreadValuesLookUnread()
{
    QFETCH(QString, room);
    QFETCH(QString, failingCp);
    QFETCH(QList<int>, emptyBoxes);
    QFETCH(QList<int>, filledBoxes);
    QFETCH(bool, nothingRead);
    ConfigFixture f;
    if (!failingCp.isEmpty())
        f.admin->setCpFault(f.deviceId(room), failingCp, lnssim::CpFault::Read);
    f.start(room);
    QVERIFY(f.win && f.win->isVisible());
    QVERIFY(f.config());
    for (int i : emptyBoxes) {
        QVERIFY2(f.box(i)->text().isEmpty(), qPrintable(QStringLiteral("box %1: %2").arg(i).arg(f.box(i)->text())));
        QVERIFY2(params::textColor(f.win->modelControl(QStringLiteral("TextBox"), i)) != params::kColorRed, qPrintable(QString::number(i)));
    }
    // The values read are shown, and none is judged against an unread one.
    for (int i : filledBoxes) {
        QVERIFY2(!f.box(i)->text().isEmpty(), qPrintable(QString::number(i)));
        QVERIFY2(params::textColor(f.win->modelControl(QStringLiteral("TextBox"), i)) != params::kColorRed, qPrintable(QString::number(i)));
    }
    // Lists select no entry for a value they do not have: the fan levels,
    // and the heating control mode that would follow from the unread time.
    if (nothingRead) {
        QCOMPARE(f.win->control<QComboBox>(QStringLiteral("ComboBox"), 7)->currentIndex(), -1);
        QCOMPARE(f.win->control<QComboBox>(QStringLiteral("ComboBox"), 2)->currentIndex(), -1);
    }
    QCOMPARE(f.logged(gLoadResString(1590, 1)), nothingRead);
    QCOMPARE(f.logged(gLoadResString(1550, 2)), !nothingRead);
    if (!nothingRead)
        QVERIFY(f.logged(gLoadResString(1591).section(QLatin1Char(':'), 0, 0)));
    QCOMPARE(f.win->statusIsAlert(), nothingRead);
    QCOMPARE(f.win->statusText(), nothingRead ? gLoadResString(1590, 2) : gLoadResString(1517));
    // Nothing was entered: leaving an empty box enters no 0.
    f.type(emptyBoxes.first(), QString());
    QVERIFY(f.box(emptyBoxes.first())->text().isEmpty());
    QVERIFY(!f.win->parametersChanged());
}

// After a silent start a write sends only what the user entered; the CPs
// that were never read stay as the device holds them.
void TestWorkflow::unreadValuesAreNotWritten()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room205"));
    f.start(QStringLiteral("Room205"));
    QVERIFY(f.config());
    f.admin->setUnreachable(id, false);
    QMap<QString, QByteArray> before;
    for (const lnssim::CpComparison &c : f.admin->compareCps(id))
        before.insert(c.name, c.device);
    // The night-purge level of the setting CP: its function byte was not read.
    f.type(29, QStringLiteral("50"));
    QVERIFY(f.win->parametersChanged());
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
    QVERIFY(f.logged(gLoadResString(1592).section(QLatin1Char(':'), 0, 0)));
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QByteArray expected = it.value();
        if (it.key() == QLatin1String("SettingHystHigh"))
            expected[1] = char(100); // 50 % in 0.5 % steps, byte 1 as the device holds it
        QCOMPARE(f.admin->deviceCp(id, it.key()), expected);
    }
}

// A read once the device answers again shows its values and clears the alert.
void TestWorkflow::readAfterTheDeviceAnswersAgain()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room205"));
    f.start(QStringLiteral("Room205"));
    QVERIFY(f.win->statusIsAlert());
    f.admin->setUnreachable(id, false);
    f.config()->ReadParameters();
    QVERIFY(!f.win->statusIsAlert());
    QCOMPARE(f.win->statusText(), gLoadResString(1517));
    QVERIFY(!f.box(3)->text().isEmpty());
    QVERIFY(!f.config()->nothingRead());
}

void TestWorkflow::readQuestionNoChangesNothing()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room103"));
    f.start(QStringLiteral("Room103"));
    f.type(4, QStringLiteral("17.5"));
    f.admin->resetCounters();
    f.messages->queueAnswer(platform::ANS_No);
    f.win->menuToolClick(QStringLiteral("ReadParameters"));
    QCOMPARE(f.messages->shown.size(), 1);
    QVERIFY(f.messages->shown.first().text.contains(QStringLiteral("Controller")));
    QCOMPARE(f.admin->counters(id).deviceReads, 0);
    QCOMPARE(f.box(4)->text(), QStringLiteral("17.5"));
    QVERIFY(f.win->parametersChanged());
}

// ------------------------------------------------------------ setpoint ranges

void TestWorkflow::setpointRanges_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<QString>("setName");
    QTest::addColumn<double>("setValue");
    QTest::addColumn<bool>("correct");
    QTest::addColumn<QString>("checkName");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rangeMin");
    QTest::addColumn<double>("rangeMax");
    QTest::newRow("comfort 18 pulls standby down") << 1 << "HeatSetpointComfort" << 18.0 << true << "HeatSetpointStandby" << 18.0 << 0.0 << 18.0;
    QTest::newRow("comfort 15 ripples to economy") << 1 << "HeatSetpointComfort" << 15.0 << true << "HeatSetpointEconomy" << 15.0 << 0.0 << 15.0;
    QTest::newRow("without correction standby keeps 19") << 1 << "HeatSetpointComfort" << 18.0 << false << "HeatSetpointStandby" << 19.0 << 0.0 << 18.0;
    QTest::newRow("cooling comfort 1 K above heating") << 2 << "HeatSetpointComfort" << 21.0 << false << "CoolSetpointComfort" << 23.0 << 22.0 << 50.0;
    QTest::newRow("frost below comfort") << 3 << "HeatSetpointComfort" << 5.0 << true << "ProtSetpointFrost" << 4.0 << 1.0 << 4.0;
    QTest::newRow("CtrlType 5 cooling fixed") << 5 << "HeatSetpointComfort" << 30.0 << true << "CoolSetpointComfort" << 23.0 << 0.0 << 50.0;
    QTest::newRow("damper between frost and cooling") << 1 << "CoolSetpointComfort" << 24.0 << true << "SetPointEcon" << 18.0 << 0.0 << 24.0;
    QTest::newRow("damper unlimited by template") << 2 << "CoolSetpointComfort" << 24.0 << true << "SetPointEcon" << 18.0 << -50.0 << 50.0;
}

void TestWorkflow::setpointRanges()
{
    QFETCH(int, ctrlType);
    QFETCH(QString, setName);
    QFETCH(double, setValue);
    QFETCH(bool, correct);
    QFETCH(QString, checkName);
    QFETCH(double, value);
    QFETCH(double, rangeMin);
    QFETCH(double, rangeMax);
    ConfigFixture f;
    f.start(QString::fromLatin1(roomOf(ctrlType)));
    cConfiguration *c = f.config();
    auto set = c->Parameters().TextBoxParameterByName(setName);
    auto check = c->Parameters().TextBoxParameterByName(checkName);
    QVERIFY(set && check);
    set->setValueCalc(setValue);
    c->SetSetpointRanges(correct);
    QCOMPARE(check->ValueCalc(), value);
    QCOMPARE(check->RangeMin(), rangeMin);
    QCOMPARE(check->RangeMax(), rangeMax);
    QCOMPARE(check->ValueIsInvalid(), value > rangeMax || value < rangeMin);
}

// ------------------------------------------------------------ page logic

void TestWorkflow::pageLayout_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<int>("app");
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<QList<int>>("hidden");
    QTest::addColumn<int>("types");
    // Pages: 3 heating, 4 reheating, 5 cooling, 6 ventilation, 7 fan.
    QTest::newRow("ceiling radiator") << 1 << 1 << QList<int>{3, 6} << QList<int>{4, 5, 7} << 5;
    QTest::newRow("ceiling chilled") << 1 << 2 << QList<int>{5, 6} << QList<int>{3, 4, 7} << 5;
    QTest::newRow("ceiling combined") << 3 << 4 << QList<int>{3, 5, 6} << QList<int>{4, 7} << 5;
    QTest::newRow("ceiling kind 5") << 5 << 1 << QList<int>{3} << QList<int>{4, 5, 6, 7} << 1;
    QTest::newRow("fan coil cooling") << 2 << 1 << QList<int>{5, 6, 7} << QList<int>{3, 4} << 9;
    QTest::newRow("fan coil heating with fan") << 4 << 4 << QList<int>{3, 6, 7} << QList<int>{4, 5} << 9;
    QTest::newRow("fan coil heating with heater") << 4 << 5 << QList<int>{3, 4, 6, 7} << QList<int>{5} << 9;
    QTest::newRow("fan coil 4-pipe") << 2 << 9 << QList<int>{3, 4, 5, 6, 7} << QList<int>{} << 9;
}

void TestWorkflow::pageLayout()
{
    QFETCH(int, ctrlType);
    QFETCH(int, app);
    QFETCH(QList<int>, shown);
    QFETCH(QList<int>, hidden);
    QFETCH(int, types);
    ConfigFixture f;
    f.start(QString::fromLatin1(roomOf(ctrlType)));
    cConfiguration *c = f.config();
    auto *type = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    QCOMPARE(type->count(), types);
    if (c->appNumber() != app) {
        type->setCurrentIndex(type->findData(app));
    }
    QCOMPARE(c->appNumber(), app);
    ui::FrmMainConfigPort port(*f.win);
    for (int key : shown)
        QVERIFY2(port.tabVisible(key), qPrintable(QString::number(key)));
    for (int key : hidden)
        QVERIFY2(!port.tabVisible(key), qPrintable(QString::number(key)));
    if (ctrlType == 5)
        QVERIFY(!f.win->findChild<QWidget *>(QStringLiteral("fraHvacAppMode"))->isEnabled());
    // Mode parameters follow the type; setpoints are the type's defaults.
    const configuration::ModeAndValves mv = configuration::modeForAppNumber(ctrlType, app);
    if (c->appNumber() != 1 || ctrlType == 2) {
        QCOMPARE(c->Parameters().Parameter1ByteByName(QStringLiteral("HvacAppMode"))->Value(), mv.mode);
        QCOMPARE(c->Parameters().Parameter2ByteByName(QStringLiteral("NumValves"))->Value2(), mv.valves);
        QCOMPARE(c->Parameters().TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"))->ValueCalc(),
                 configuration::coolingOnly(ctrlType, app) ? 15.0 : 21.0);
    }
}

void TestWorkflow::nightPurgeOffWritesNul()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room102"));
    f.start(QStringLiteral("Room102"));
    auto *purge = f.win->control<QCheckBox>(QStringLiteral("CheckBox"), 6);
    QVERIFY(purge->isChecked()); // factory: function 1, level 100 %
    purge->setChecked(false);
    QVERIFY(f.win->parametersChanged());
    QTest::mouseClick(f.win->buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("SettingHystHigh")), bytes({255, 0}));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("SettingHystLow")), bytes({255, 0}));
    QVERIFY(!purge->isChecked());
}

void TestWorkflow::steadyPShownFromDevice()
{
    ConfigFixture f;
    const int id = f.deviceId(QStringLiteral("Room103"));
    f.admin->setDeviceCp(id, QStringLiteral("HeatTi"), bytes({255, 255}));
    f.start(QStringLiteral("Room103"));
    auto *mode = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 2);
    QCOMPARE(mode->currentData().toInt(), 1);
    QCOMPARE(f.win->control<QLabel>(QStringLiteral("Label"), 20)->text(), gLoadResString(1103, 1));
    QCOMPARE(f.config()->Parameters().TextBoxParameterByName(QStringLiteral("HeatTi"))->LockMode(), configuration::kLock);
    // "Default Values" with steady (P) leaves Ti at 65535.
    f.win->control<QPushButton>(QStringLiteral("cmdButton"), 1)->click();
    QCOMPARE(f.config()->Parameters().TextBoxParameterByName(QStringLiteral("HeatTi"))->ValueCalc(), 65535.0);
}

void TestWorkflow::reducedRegistryUnderControl()
{
    ConfigFixture f;
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.config());
    host::state().commandIndex = host::kCmdControl;
    cConfiguration reduced(nullptr);
    reduced.FetchCPs();
    host::state().commandIndex = host::kCmdConfiguration;
    QStringList names;
    for (const auto &p : reduced.Parameters().AllParameters())
        names << p->Name();
    names.sort();
    QCOMPARE(names, (QStringList{"DiscLevels", "HvacAppMode", "NumValves", "SettingHystHighFunction",
                                 "SettingHystHighLevel"}));
}

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
