#include "monitoringbinding.h"
#include "configurationbinding.h"

#include "frmmain.h"

#include <configuration/configuration.h>
#include <host/hoststate.h>
#include <headless/displaysteps.h>
#include <monitoring/monitoring.h>
#include <monitoring/trendwindow.h>
#include <monitoring/windowwiring.h>

#include <memory>

namespace ui {

namespace {

const QString kHolderName = QStringLiteral("monitoringHolder");

// Owns the configuration object (reduced registry) and the page logic, as a
// child of the window. Created once per window: the page logic connects the
// window's two command buttons when it is bound, so a second object would
// send every command twice.
class MonitoringHolder : public QObject
{
public:
    explicit MonitoringHolder(frmMain &window) : QObject(&window), port(window), adapter(window)
    {
        setObjectName(kHolderName);
        config = new configuration::cConfiguration(&port, this);
        paramsConfig = std::make_unique<monitoring::ParamsConfig>(&config->Parameters());
        const host::HostState &s = host::state();
        const monitoring::MonitoringConnection connection{s.conn.objectServer, s.conn.object, s.templateContext(),
                                                          headless::endPlugIn};
        mon = new monitoring::cMonitoring(&adapter, connection, paramsConfig.get(), this);
        configuration::cConfiguration *c = config;
        monitoring::bindMonitoringToWindow(window, *mon, [c] { return c->appNumber(); });
    }
    ~MonitoringHolder() override
    {
        // The page logic uses the adapter and the parameters: it goes first.
        delete mon;
        delete config;
    }

    FrmMainConfigPort port;
    monitoring::WindowAdapter<frmMain> adapter;
    std::unique_ptr<monitoring::ParamsConfig> paramsConfig;
    configuration::cConfiguration *config = nullptr;
    monitoring::cMonitoring *mon = nullptr;
};

MonitoringHolder *holderOf(const frmMain &window)
{
    return dynamic_cast<MonitoringHolder *>(window.findChild<QObject *>(kHolderName, Qt::FindDirectChildrenOnly));
}

// Start of the control command: the reduced registry read with the
// window's events suppressed, the application check (not for kinds 3 and
// 4), the page switched off until the navigation switches it on.
bool startControlCommand(frmMain &w)
{
    MonitoringHolder *h = holderOf(w);
    const bool created = !h;
    if (created)
        h = new MonitoringHolder(w);
    return headless::startControlCommand(h->port, *h->config, *h->mon, created);
}

} // namespace

void bindMonitoring(frmMain &window)
{
    frmMain::CommandHooks &hooks = window.commandHooks();
    auto otherStart = hooks.startCommand;
    hooks.startCommand = [otherStart](frmMain &w) {
        if (host::state().commandIndex != host::kCmdControl)
            return otherStart ? otherStart(w) : true;
        return startControlCommand(w);
    };
    hooks.showTrend = [](frmMain &w) {
        if (monitoring::cMonitoring *m = monitoringOf(w))
            monitoring::openTrendWindow(*m, &w);
    };
}

monitoring::cMonitoring *monitoringOf(const frmMain &window)
{
    MonitoringHolder *h = holderOf(window);
    return h ? h->mon : nullptr;
}

configuration::cConfiguration *controlConfigurationOf(const frmMain &window)
{
    MonitoringHolder *h = holderOf(window);
    return h ? h->config : nullptr;
}

} // namespace ui
