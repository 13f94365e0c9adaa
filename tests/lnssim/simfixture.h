// A fresh demo network in a temporary root, opened through the simulated
// object server, for one test function.
#pragma once

#include "demorooms.h"
#include "testenv.h"

#include <lns/rawtext.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

#include <QtTest>

#include <memory>

class SimFixture
{
public:
    SimFixture()
    {
        platform::IniFile ini;
        if (!ini.setFileName(TestEnvironment::iniPath()))
            qFatal("device template %s missing", qPrintable(TestEnvironment::iniPath()));
        lnssim::DemoNetwork::create(env.lnsRoot(), ini, false);
    }
    ~SimFixture()
    {
        if (network && network->isOpen())
            network->close();
    }

    void open()
    {
        server = lnssim::SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
        system = network->system();
    }

    // The device's subsystem path and name, e.g. "Building.Floor1" / "Room101".
    lns::AppDevicePtr device(const QString &name) const { return demoRoom(system, name); }
    lns::LonMarkObjectPtr controller(const QString &name) const
    {
        return device(name)->lonMarkObjects()->item(QStringLiteral("Controller"));
    }
    lns::ConfigPropertyPtr objectCp(const QString &deviceName, const QString &cp) const
    {
        auto c = controller(deviceName)->configProperties()->item(cp);
        c->setFormatSpecifier(lns::kRawFormat);
        return c;
    }
    lns::NetworkVariablePtr nv(const QString &deviceName, const QString &name) const
    {
        return device(deviceName)->networkVariables()->item(name);
    }

    // An administration handle on the same file (as another process would have).
    std::unique_ptr<lnssim::NetworkAdmin> admin() const
    {
        auto a = std::make_unique<lnssim::NetworkAdmin>(env.lnsRoot(), QStringLiteral("Demo"));
        a->open();
        return a;
    }
    int deviceId(const QString &name) const { return admin()->device(name).id; }

    TestEnvironment env;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;
};

// Runs a call that must fail with the given LNS error number.
#define QVERIFY_LNS_ERROR(call, expectedNumber)                                                                    \
    do {                                                                                                   \
        bool thrown_ = false;                                                                              \
        try {                                                                                              \
            call;                                                                                          \
        } catch (const lns::LnsError &e_) {                                                                \
            thrown_ = true;                                                                                \
            QCOMPARE(e_.number(), int(expectedNumber));                                                            \
        }                                                                                                  \
        QVERIFY2(thrown_, "expected an LnsError");                                                         \
    } while (false)
