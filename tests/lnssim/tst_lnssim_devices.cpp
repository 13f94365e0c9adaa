// The simulated controllers: NV values and fields, the minimal device
// behaviour, monitoring through the server's update event, device test,
// application version and download.
#include "simfixture.h"

#include <lnssim/channelmodel.h>
#include <lnssim/imagefile.h>

#include <QSignalSpy>

using namespace lnssim;

Q_DECLARE_METATYPE(QByteArray)

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

} // namespace

class TestSimDevices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        f = std::make_unique<SimFixture>();
        f->open();
    }
    void cleanup() { f.reset(); }

    void nvText_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("unit status")
            << "nvoUnitStatus" << bytes({1, 0x27, 0x10, 0, 0, 0xFF, 0x9C, 0, 1, 0x13, 0x88, 1}) << ""
            << "HVAC_HEAT,50,0,-0.5,0.005,25,1";
        QTest::newRow("unit status raw") << "nvoUnitStatus" << bytes({6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) << "RAW"
                                         << "6\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0";
        QTest::newRow("setpoint 21") << "nvoEffectSetpt" << bytes({8, 52}) << "" << "21";
        QTest::newRow("setpoint -2") << "nvoEffectSetpt" << bytes({255, 56}) << "" << "-2";
        QTest::newRow("setpoint 21.05") << "nvoEffectSetpt" << bytes({8, 57}) << "" << "21.05";
        QTest::newRow("setpoint raw") << "nvoEffectSetpt" << bytes({8, 52}) << "RAW" << "8\t52";
        QTest::newRow("switch") << "nvoEnergyHoldOff" << bytes({200, 1}) << "" << "100 1";
        QTest::newRow("switch half") << "nvoEnergyHoldOff" << bytes({1, 0}) << "" << "0.5 0";
        QTest::newRow("setting") << "nvoOaWindow" << bytes({1, 200, 0, 0}) << "" << "SET_ON,100,0";
        QTest::newRow("setting raw") << "nvoOaWindow" << bytes({255, 0, 255, 254}) << "RAW" << "255\t0\t255\t254";
        QTest::newRow("occupancy") << "nvoEffectOccup" << bytes({255}) << "" << "OC_NUL";
        QTest::newRow("occupancy raw") << "nvoEffectOccup" << bytes({3}) << "RAW" << "3";
        QTest::newRow("schedule") << "nviOccSchedule" << bytes({3, 0, 0, 30}) << "" << "OC_STANDBY,OC_OCCUPIED,30";
        QTest::newRow("unknown enumeration value") << "nviApplicMode" << bytes({99}) << "" << "99";
    }

    void nvText()
    {
        QFETCH(QString, nv);
        QFETCH(QByteArray, device);
        QFETCH(QString, format);
        QFETCH(QString, text);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        admin->setDeviceNv(id, nv, device);
        auto v = f->nv(QStringLiteral("Room101"), nv);
        v->setFormatSpecifier(format);
        QCOMPARE(v->value(), text);
        const Counters c = admin->counters(id);
        QCOMPARE(c.deviceReads, qint64(1));
        QCOMPARE(c.bytesRead, qint64(device.size()));
        QCOMPARE(c.channelMicros, ChannelModel::cost(ChannelModel::Op::ReadNv, device.size(), ChannelModel::Outcome::Ok).micros);
    }

    void nvFields_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        const QStringList status = {QStringLiteral("mode"), QStringLiteral("heat_output_primary"),
                                    QStringLiteral("heat_output_secondary"), QStringLiteral("cool_output"),
                                    QStringLiteral("econ_output"), QStringLiteral("fan_output"), QStringLiteral("in_alarm")};
        const QStringList values = {QStringLiteral("HVAC_COOL"), QStringLiteral("12.5"), QStringLiteral("0"),
                                    QStringLiteral("-100"), QStringLiteral("0.005"), QStringLiteral("75"), QStringLiteral("1")};
        for (int i = 0; i < status.size(); ++i)
            QTest::addRow("hvac_status %s", qPrintable(status.at(i))) << "nvoUnitStatus" << status.at(i) << values.at(i);
        QTest::newRow("tod_event current_state") << "nviOccSchedule" << "current_state" << "OC_STANDBY";
        QTest::newRow("tod_event next_state") << "nviOccSchedule" << "next_state" << "OC_UNOCCUPIED";
        QTest::newRow("tod_event time_to_next_state") << "nviOccSchedule" << "time_to_next_state" << "65535";
        QTest::newRow("switch value") << "nvoEnergyHoldOff" << "value" << "99.5";
        QTest::newRow("switch state") << "nvoEnergyHoldOff" << "state" << "-1";
    }

    void nvFields()
    {
        QFETCH(QString, nv);
        QFETCH(QString, field);
        QFETCH(QString, text);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const QByteArray before = admin->deviceNv(id, nv);
        if (!nv.startsWith(QLatin1String("nvi"))) {
            // Outputs cannot be written over the network: put the value into
            // the device through the field's own encoding on a copy.
            auto in = f->nv(QStringLiteral("Room101"), nv)->field(field);
            QCOMPARE(in->name(), field);
            QVERIFY_LNS_ERROR(in->setValue(text), lns::ErrNotSupported);
            return;
        }
        auto fld = f->nv(QStringLiteral("Room101"), nv)->field(field);
        fld->setValue(text);
        QCOMPARE(fld->value(), text);
        // The other fields kept their bytes.
        const QByteArray after = admin->deviceNv(id, nv);
        int changed = 0;
        for (int i = 0; i < after.size(); ++i)
            changed += after.at(i) != before.at(i) ? 1 : 0;
        QVERIFY(changed >= 1 && changed <= 2);
        // A field write reads the NV and writes it back: one of each.
        QCOMPARE(admin->counters(id).deviceWrites, qint64(1));
        QCOMPARE(admin->counters(id).deviceReads, qint64(2));
    }

    void outputFieldsDecodeTheDeviceValue()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        admin->setDeviceNv(id, QStringLiteral("nvoUnitStatus"), bytes({3, 0x09, 0xC4, 0, 0, 0xEC, 0x78, 0, 0, 0x3A, 0x98, 1}));
        auto nv = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"));
        QCOMPARE(nv->field(QStringLiteral("mode"))->value(), QStringLiteral("HVAC_COOL"));
        QCOMPARE(nv->field(QStringLiteral("heat_output_primary"))->value(), QStringLiteral("12.5"));
        QCOMPARE(nv->field(QStringLiteral("cool_output"))->value(), QStringLiteral("-25"));
        QCOMPARE(nv->field(QStringLiteral("fan_output"))->value(), QStringLiteral("75"));
        QCOMPARE(nv->field(QStringLiteral("in_alarm"))->value(), QStringLiteral("1"));
    }

    void fieldErrors_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("field");
        QTest::newRow("unknown field") << "nvoUnitStatus" << "humidity";
        QTest::newRow("case matters") << "nvoUnitStatus" << "Mode";
        QTest::newRow("scalar type has no fields") << "nvoEffectSetpt" << "value";
        QTest::newRow("schedule") << "nviOccSchedule" << "state";
    }

    void fieldErrors()
    {
        QFETCH(QString, nv);
        QFETCH(QString, field);
        QVERIFY_LNS_ERROR(f->nv(QStringLiteral("Room101"), nv)->field(field), lns::ErrNoSuchField);
    }

    void badFieldAndNvValues_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown occupancy") << "nviOccSchedule" << "current_state" << "OC_PARTY";
        QTest::newRow("minutes out of range") << "nviOccSchedule" << "time_to_next_state" << "70000";
        QTest::newRow("raw too long") << "nviApplicMode" << "" << "1\t2";
        QTest::newRow("raw not a byte") << "nviApplicMode" << "" << "300";
    }

    void badFieldAndNvValues()
    {
        QFETCH(QString, nv);
        QFETCH(QString, field);
        QFETCH(QString, text);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const QByteArray before = admin->deviceNv(id, nv);
        auto v = f->nv(QStringLiteral("Room101"), nv);
        v->setFormatSpecifier(QStringLiteral("RAW"));
        if (field.isEmpty())
            QVERIFY_LNS_ERROR(v->setValue(text), lns::ErrBadValue);
        else
            QVERIFY_LNS_ERROR(v->field(field)->setValue(text), lns::ErrBadValue);
        QCOMPARE(admin->deviceNv(id, nv), before);
        QCOMPARE(admin->counters(id).deviceWrites, qint64(0));
    }

    void modeInputShowsInUnitStatus()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        auto mode = f->nv(QStringLiteral("Room101"), QStringLiteral("nviApplicMode"));
        mode->setFormatSpecifier(QStringLiteral("RAW"));
        mode->setValue(QStringLiteral("6"));
        QCOMPARE(admin->deviceNv(id, QStringLiteral("nviApplicMode")), bytes({6}));
        QCOMPARE(admin->deviceNv(id, QStringLiteral("nvoUnitStatus")).at(0), char(6));
        QCOMPARE(f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"))->field(QStringLiteral("mode"))->value(),
                 QStringLiteral("HVAC_OFF"));
        mode->setFormatSpecifier(QString());
        mode->setValue(QStringLiteral("HVAC_COOL"));
        QCOMPARE(admin->deviceNv(id, QStringLiteral("nvoUnitStatus")).at(0), char(3));
        QVERIFY_LNS_ERROR(f->nv(QStringLiteral("Room101"), QStringLiteral("nvoEffectSetpt"))->setValue(QStringLiteral("22")),
                          lns::ErrNotSupported);
        QVERIFY_LNS_ERROR(f->nv(QStringLiteral("Room205"), QStringLiteral("nviApplicMode"))->setValue(QStringLiteral("HVAC_OFF")),
                          lns::ErrDeviceUnreachable);
        QVERIFY_LNS_ERROR(f->nv(QStringLiteral("Room206"), QStringLiteral("nvoUnitStatus"))->value(), lns::ErrNotCommissioned);
    }

    void monitoringReportsActivationAndChanges()
    {
        QSignalSpy spy(f->server.get(), &lns::ObjectServer::nvUpdate);
        auto status = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"));
        status->setEditing(true);
        status->setReportByException(true);
        status->setMonitorOption(0);
        status->setMonitorTag(5000);
        status->setEditing(false);
        QCOMPARE(status->monitorTag(), 5000);
        QCOMPARE(status->monitorOption(), 0);
        // Not synchronous: the update comes through the event loop.
        QCOMPARE(spy.count(), 0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 5000);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("HVAC_HEAT,0,0,0,0,0,0"));
        QCOMPARE(spy.at(0).at(2).value<lns::NetworkVariablePtr>()->name(), QStringLiteral("nvoUnitStatus"));

        auto mode = f->nv(QStringLiteral("Room101"), QStringLiteral("nviApplicMode"));
        mode->setValue(QStringLiteral("HVAC_NIGHT_PURGE"));
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.last().at(1).toString(), QStringLiteral("HVAC_NIGHT_PURGE,0,0,0,0,0,0"));
        // The same mode again changes nothing, so nothing is reported.
        mode->setValue(QStringLiteral("HVAC_NIGHT_PURGE"));
        QTest::qWait(200);
        QCOMPARE(spy.count(), 2);

        status->setMonitorTag(0);
        mode->setValue(QStringLiteral("HVAC_AUTO"));
        QTest::qWait(200);
        QCOMPARE(spy.count(), 2);
    }

    void pollingSeesChangesMadeElsewhere()
    {
        QSignalSpy spy(f->server.get(), &lns::ObjectServer::nvUpdate);
        auto setpt = f->nv(QStringLiteral("Room102"), QStringLiteral("nvoEffectSetpt"));
        setpt->setEditing(true);
        setpt->setFormatSpecifier(QStringLiteral("RAW"));
        setpt->setReportByException(true);
        setpt->setPollInterval(1);
        setpt->setMonitorTag(5002);
        setpt->setEditing(false);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.last().at(1).toString(), QStringLiteral("8\t52"));
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room102")).id;
        admin->setDeviceNv(id, QStringLiteral("nvoEffectSetpt"), bytes({9, 0}));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2, 10000);
        QCOMPARE(spy.last().at(0).toInt(), 5002);
        QCOMPARE(spy.last().at(1).toString(), QStringLiteral("9\t0"));
        // Every poll is a device read.
        QVERIFY(admin->counters(id).deviceReads >= 2);
        setpt->setMonitorTag(0);
        const int seen = spy.count();
        admin->setDeviceNv(id, QStringLiteral("nvoEffectSetpt"), bytes({9, 50}));
        QTest::qWait(1500);
        QCOMPARE(spy.count(), seen);
    }

    void deviceTest_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("error");
        QTest::newRow("reachable") << "Room101" << 0;
        QTest::newRow("unreachable") << "Room205" << int(lns::ErrDeviceUnreachable);
        QTest::newRow("not commissioned but answering") << "Room206" << 0;
    }

    void deviceTest()
    {
        QFETCH(QString, device);
        QFETCH(int, error);
        int got = 0;
        try {
            f->device(device)->test(4);
        } catch (const lns::LnsError &e) {
            got = e.number();
        }
        QCOMPARE(got, error);
        auto admin = f->admin();
        const Counters c = admin->counters(admin->device(device).id);
        QCOMPARE(c.deviceTests, qint64(1));
        QCOMPARE(c.channelMicros, ChannelModel::cost(ChannelModel::Op::Test, 0,
                                                     error ? ChannelModel::Outcome::NoAnswer : ChannelModel::Outcome::Ok)
                                      .micros);
    }

    void applicationVersion_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<double>("version");
        QTest::addColumn<int>("error");
        QTest::newRow("current") << "Room101" << 2.3 << 0;
        QTest::newRow("older T4") << "Room104" << 2.0 << 0;
        QTest::newRow("unreachable") << "Room205" << 0.0 << int(lns::ErrDeviceUnreachable);
        QTest::newRow("not commissioned") << "Room206" << 0.0 << int(lns::ErrNotCommissioned);
    }

    void applicationVersion()
    {
        QFETCH(QString, device);
        QFETCH(double, version);
        QFETCH(int, error);
        int got = 0;
        double v = -1;
        try {
            v = f->device(device)->applicationVersion();
        } catch (const lns::LnsError &e) {
            got = e.number();
        }
        QCOMPARE(got, error);
        if (!error)
            QCOMPARE(v, version);
    }

    void loadApplication_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("ceiling image, relative to the template folder")
            << "Room101" << "apps/ceiling/qrt_ceiling_3.apb" << "" << 0 << "";
        QTest::newRow("fan-coil image, absolute") << "Room104" << "ABS:apps/fancoil/qrt_fancoil_7.apb" << "" << 0 << "";
        QTest::newRow("wrong family") << "Room102" << "apps/ceiling/qrt_ceiling_3.apb" << "" << int(lns::ErrDownloadFailed)
                                      << "family";
        QTest::newRow("injected download fault") << "Room101" << "apps/ceiling/qrt_ceiling_2.apb" << "download"
                                                 << int(lns::ErrDownloadFailed) << "refused";
        QTest::newRow("unreachable") << "Room205" << "apps/ceiling/qrt_ceiling_2.apb" << "" << int(lns::ErrDeviceUnreachable)
                                     << "does not answer";
        QTest::newRow("not commissioned") << "Room206" << "apps/fancoil/qrt_fancoil_2.apb" << ""
                                          << int(lns::ErrNotCommissioned) << "not commissioned";
        QTest::newRow("missing image") << "Room101" << "apps/ceiling/qrt_ceiling_99.apb" << "" << int(lns::ErrDownloadFailed)
                                       << "cannot be read";
        QTest::newRow("damaged image") << "Room101" << "DAMAGED" << "" << int(lns::ErrDownloadFailed) << "checksum";
    }

    void loadApplication()
    {
        QFETCH(QString, device);
        QFETCH(QString, image);
        QFETCH(QString, fault);
        QFETCH(int, error);
        QFETCH(QString, message);
        auto admin = f->admin();
        const DeviceInfo info = admin->device(device);
        const QString appFolder = QFileInfo(TestEnvironment::iniPath()).absolutePath();
        if (image.startsWith(QLatin1String("ABS:")))
            image = appFolder + QLatin1Char('/') + image.mid(4);
        if (image == QLatin1String("DAMAGED")) {
            QByteArray payload(300, 'x');
            QString text = ApplicationImage::compose(2, QStringLiteral("ceiling"), QStringLiteral("2.40"), QString(), payload);
            text.replace(QStringLiteral("Checksum=%1").arg(ApplicationImage::checksum(payload)), QStringLiteral("Checksum=1"));
            image = f->env.file(QStringLiteral("damaged.apb"));
            QFile out(image);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text.toLatin1());
        }
        if (fault == QLatin1String("download"))
            admin->setDownloadFault(info.id, true);
        // The calibration was changed at the device.
        if (info.state.commissioned)
            admin->setDeviceCp(info.id, QStringLiteral("TempCalib"), bytes({0, 7}));
        admin->setDeviceCp(info.id, QStringLiteral("HeatXp"), bytes({1, 1}));

        int got = 0;
        try {
            f->device(device)->loadApplication(image);
        } catch (const lns::LnsError &e) {
            got = e.number();
            QVERIFY2(e.description().contains(message), qPrintable(e.description()));
        }
        QCOMPARE(got, error);
        const DeviceInfo after = admin->device(device);
        const Counters c = admin->counters(info.id);
        if (error) {
            QCOMPARE(after.state.appNumber, info.state.appNumber);
            QCOMPARE(after.state.appVersion, info.state.appVersion);
            if (info.state.commissioned)
                QCOMPARE(admin->deviceCp(info.id, QStringLiteral("TempCalib")), bytes({0, 7}));
            const bool reachedDevice = fault == QLatin1String("download") || !after.state.reachable;
            QCOMPARE(c.downloads, qint64(reachedDevice ? 1 : 0));
            return;
        }
        ApplicationImage img;
        QString why;
        QVERIFY(ApplicationImage::load(QFileInfo(image).isAbsolute() ? image : appFolder + QLatin1Char('/') + image, &img, &why));
        QCOMPARE(after.state.appNumber, img.number);
        QCOMPARE(after.state.appVersion, QStringLiteral("2.30"));
        QCOMPARE(c.downloads, qint64(1));
        QCOMPARE(c.bytesWritten, qint64(img.payload.size()));
        QCOMPARE(c.channelMicros,
                 ChannelModel::cost(ChannelModel::Op::Download, img.payload.size(), ChannelModel::Outcome::Ok).micros);
        // A bigger image takes longer; a download of several kB takes seconds.
        QVERIFY(c.channelMicros > 1000000);
        // The device's calibration starts from the factory value, the
        // functional block's CPs keep theirs.
        QCOMPARE(admin->deviceCp(info.id, QStringLiteral("TempCalib")), bytes({0, 0}));
        QCOMPARE(admin->deviceCp(info.id, QStringLiteral("HeatXp")), bytes({1, 1}));
    }

    void updateTakesOverTheDevicesOwnCps()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room103")).id;
        auto dev = f->device(QStringLiteral("Room103"));
        admin->setDeviceCp(id, QStringLiteral("TempCalib"), bytes({0, 9}));
        auto calib = dev->configProperties()->item(QStringLiteral("TempCalib"));
        QCOMPARE(calib->value(), QStringLiteral("0\t9"));
        dev->loadApplication(QStringLiteral("apps/ceiling/qrt_ceiling_1.apb"));
        QCOMPARE(calib->databaseValue(), QStringLiteral("0\t9"));
        admin->resetCounters();
        dev->update(1);
        QCOMPARE(calib->databaseValue(), QStringLiteral("0\t0"));
        QCOMPARE(admin->counters(id).deviceReads, qint64(1));
        QVERIFY_LNS_ERROR(dev->update(7), lns::ErrNotSupported);
    }

    void changeType()
    {
        auto admin = f->admin();
        const DeviceInfo info = admin->device(QStringLiteral("Room101"));
        auto damper = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoOaDamper"));
        QCOMPARE(damper->typeIndex(), 81);
        admin->setDeviceNv(info.id, QStringLiteral("nvoOaDamper"), bytes({8, 52}));
        QCOMPARE(damper->value(), QStringLiteral("10.5"));
        QVERIFY_LNS_ERROR(damper->changeType(105, QStringLiteral("90:00:00:00:00:00:00:00"), 0), lns::ErrBadValue);
        QVERIFY_LNS_ERROR(damper->changeType(112, info.programId, 0), lns::ErrBadValue);
        QCOMPARE(damper->typeIndex(), 81);
        damper->changeType(105, info.programId, 0);
        QCOMPARE(damper->typeIndex(), 105);
        QCOMPARE(damper->value(), QStringLiteral("21"));
        f->network->close();
        f->network->open(false);
        f->system = f->network->system();
        QCOMPARE(f->nv(QStringLiteral("Room101"), QStringLiteral("nvoOaDamper"))->typeIndex(), 105);
    }

private:
    std::unique_ptr<SimFixture> f;
};

QTEST_GUILESS_MAIN(TestSimDevices)
#include "tst_lnssim_devices.moc"
