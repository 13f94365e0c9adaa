// The monitoring logic on a controller of the simulated demo network: the
// network opened with behaving controllers stepped by hand, the template
// context of the device, scripted message boxes and configuration values
// given by the test.
#pragma once

#include "simfixture.h"

#include <lnssim/roomcontroller.h>
#include <monitoring/monitoring.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>

class MapConfig : public monitoring::MonitoringConfig
{
public:
    std::optional<qint32> parameterValue(const QString &name) const override
    {
        const auto it = values.constFind(name);
        return it == values.constEnd() ? std::nullopt : std::optional<qint32>(*it);
    }
    QHash<QString, qint32> values{{"DiscLevels", 3}, {"SettingHystHighFunction", 1}, {"SettingHystHighLevel", 200}};
};

class MonitoringFixture
{
public:
    explicit MonitoringFixture(const QString &deviceName = QStringLiteral("Room101")) : device(deviceName)
    {
        platform::setLanguageOffset(0);
        messages = std::make_shared<platform::ScriptedMessages>();
        platform::setMessageService(messages);
        platform::TraceLog::instance().setActionPolicy(nullptr);
        QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
        sim.server = lnssim::SimObjectServer::create(sim.env.lnsRoot(), TestEnvironment::iniPath());
        lnssim::RoomController **slot = &room;
        sim.server->setDeviceSimulatorFactory([slot](lnssim::NetworkSession &s) {
            lnssim::RoomController::Options o;
            o.autoStep = false;
            auto c = std::make_unique<lnssim::RoomController>(s, o);
            *slot = c.get();
            return c;
        });
        sim.server->open(0);
        sim.network = sim.server->networks()->item(QStringLiteral("Demo"));
        sim.network->open(false);
        sim.system = sim.network->system();
        connection.objectServer = sim.server;
        connection.lonMarkObject = sim.controller(device);
        connection.templateContext = lns::TemplateContext{&ini, sim.device(device)->deviceTemplate()};
        connection.endProgram = [this] { ++programEnds; };
    }
    ~MonitoringFixture()
    {
        platform::TraceLog::instance().setActionPolicy(nullptr);
        platform::setMessageService(std::make_shared<platform::UnattendedMessages>());
    }

    std::unique_ptr<lnssim::NetworkAdmin> admin() const { return sim.admin(); }
    int deviceId() const { return sim.deviceId(device); }
    QByteArray deviceNv(const QString &nv) const
    {
        auto a = admin();
        return a->deviceNv(a->device(device).id, nv);
    }
    void setUnreachable(bool on) const
    {
        auto a = admin();
        a->setUnreachable(a->device(device).id, on);
    }
    // Changes the room of the device at once (as aerolis-net does).
    template <class F>
    void changeRoom(F change) const
    {
        auto a = admin();
        const int id = a->device(device).id;
        lnssim::NetworkDb::Transaction tx(a->db());
        qint64 last = 0;
        lnssim::RoomState s = lnssim::RoomStore::loadOrCreate(a->db(), id, &last);
        change(s);
        lnssim::RoomStore::save(a->db(), id, s, last);
        tx.commit();
    }
    // Message texts shown since the last call.
    QStringList takeMessages()
    {
        QStringList out;
        for (const platform::Message &m : messages->shown)
            out << QStringLiteral("%1|%2").arg(platform::iconName(m.icon), m.text);
        messages->shown.clear();
        return out;
    }

    QString device;
    SimFixture sim;
    platform::IniFile ini;
    lnssim::RoomController *room = nullptr;
    monitoring::MonitoringConnection connection;
    std::shared_ptr<platform::ScriptedMessages> messages;
    MapConfig config;
    int programEnds = 0;
};
