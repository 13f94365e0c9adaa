#include "monitoringbinding.h"
#include "configurationbinding.h"

#include "frmmain.h"

#include <configuration/configuration.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <monitoring/monitoring.h>
#include <monitoring/trendwindow.h>
#include <monitoring/windowwiring.h>

#include <memory>

namespace ui {

namespace {

const QString kHolderName = QStringLiteral("monitoringHolder");

// Sets the abort flag and ends the program (wrong application, or the
// error logger's answer "end the program").
void endPlugIn()
{
    host::state().abortFlag = true;
    host::EndApp();
}

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
                                                          endPlugIn};
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
    configuration::cConfiguration *c = h->config;
    // The reduced registry, read with the window's events suppressed. The
    // current application is known only after the read, so the read runs
    // here and not as the start's own first step.
    if (created)
        c->FetchCPs();
    w.setValueLoading(true);
    c->ReadSettings();
    w.setValueLoading(false);
    w.setParametersChanged(false);

    monitoring::ControlStart start;
    start.ctrlType = w.ctrlType();
    start.currentApplication = c->appNumber();
    start.runningApplication = [c] { return c->deviceAppNumber(host::state().conn.device); };
    start.statusText = [](const QString &text) { host::statusWindow().setText(text); };
    start.endPlugIn = endPlugIn;
    start.messageTitle = w.caption();
    return monitoring::StartControlCommand(*h->mon, start);
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
