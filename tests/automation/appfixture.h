// The host object under test: the host fixture (scripted messages, own
// registry and application folder), a window with geometry, and the demo
// network of the simulated object server with project registration.
#pragma once

#include "demorooms.h"
#include "hostfixture.h"
#include "simserver.h"

#include <host/application.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

// A window with a geometry of its own, counting every write.
class GeometryWindow : public RecordingWindow
{
public:
    double formHeight() const override { return height; }
    void setFormHeight(int twips) override { height = twips, ++writes; }
    double formLeft() const override { return left; }
    void setFormLeft(int twips) override { left = twips, ++writes; }
    double formTop() const override { return top; }
    void setFormTop(int twips) override { top = twips, ++writes; }
    double formWidth() const override { return width; }
    void setFormWidth(int twips) override { width = twips, ++writes; }
    int formWindowState() const override { return state; }
    void setFormWindowState(int s) override { state = s, ++writes; }
    bool formVisible() const override { return visible; }
    void setFormVisible(bool v) override { visible = v, ++writes; }

    double height = 6510, left = 1200, top = 900, width = 9180;
    int state = host::kWindowNormal;
    bool visible = false;
    int writes = 0;
};

// Records what the plug-in reports to a network tool's result object.
class RecordingResult : public host::HostResultObject
{
public:
    void setRegResult(bool value) override { values << value; }
    QList<bool> values;
};

class AppFixture : public HostFixture
{
public:
    explicit AppFixture(bool withIni = true) : HostFixture(withIni)
    {
        geometry = std::make_shared<GeometryWindow>();
        host::state().env.mainWindowFactory = [w = geometry]() { return w; };
        platform::IniFile ini;
        ini.setFileName(TestEnvironment::iniPath());
        lnssim::DemoNetwork::create(env.lnsRoot(), ini, false);
        const QString root = env.lnsRoot();
        const QString iniPath = QDir(appFolder).filePath(QStringLiteral("AerolisCtrl.ini"));
        wireSimulatedServer(root, iniPath);
    }
    ~AppFixture()
    {
        if (toolServer)
            toolServer->close();
    }

    // The network tool's own view of the demo network (another object server).
    lns::LonMarkObjectPtr toolObject(const QString &device, const QString &object = QStringLiteral("Controller"))
    {
        if (!toolServer) {
            toolServer = lnssim::SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
            toolServer->open(0);
            toolNetwork = toolServer->networks()->item(QStringLiteral("Demo"));
            toolNetwork->open(false);
        }
        return demoRoom(toolNetwork->system(), device)->lonMarkObjects()->item(object);
    }

    std::shared_ptr<GeometryWindow> geometry;
    std::shared_ptr<lnssim::SimObjectServer> toolServer;
    lns::NetworkPtr toolNetwork;
};
