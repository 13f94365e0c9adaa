#include "headlesswindow.h"

#include "displaysteps.h"

#include <configuration/configuration.h>
#include <host/connection.h>
#include <host/startup.h>
#include <model/pagemodel.h>
#include <model/pagetable.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>
#include <platform/version.h>

namespace headless {

// The display steps on this window.
class HeadlessWindow::Display : public DisplayView
{
public:
    explicit Display(HeadlessWindow &w) : m_w(w) {}
    model::PageModel &pageModel() override { return *m_w.m_model; }
    int ctrlType() const override { return m_w.ctrlType(); }
    bool startCommand() override { return m_w.startCommand(); }
    void setControls() override
    {
        if (m_w.m_config)
            m_w.m_config->startUpDisplay();
    }
    void markMonitoringOutputs() override
    {
        if (m_w.m_monitoring)
            monitoring::MarkMonitoringOutputs(m_w, m_w.ctrlType(), m_w.m_config ? m_w.m_config->appNumber() : 0);
    }
    void setApplyEnabled(bool enabled) override { m_w.setApplyEnabled(enabled); }
    void setParametersChanged(bool changed) override { m_w.setParametersChanged(changed); }
    void openFirstPage() override { m_w.openFirstPage(); }
    bool errorsLogged() const override { return m_w.errorsLogged(); }
    void setErrorsLogged(bool logged) override { m_w.setErrorsLogged(logged); }
    void ShowLogger() override { m_w.ShowLogger(); }
    void showView() override {}
    bool statusIsAlert() const override { return m_w.statusIsAlert(); }
    void setStatusText(const QString &text) override { m_w.setStatusText(text); }
    void LogStamped(const QString &text) override { m_w.LogStamped(text); }

private:
    HeadlessWindow &m_w;
};

HeadlessWindow::HeadlessWindow(std::shared_ptr<model::PageModel> reused) : m_model(std::move(reused))
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub Form_Load()"));
    m_loaded = true;
    if (m_model) {
        m_model->resetToDesign();
    } else {
        m_model = std::make_shared<model::PageModel>();
        m_model->loadCaptions();
    }
    const host::HostState &s = host::state();
    m_caption = s.commandIndex == host::kCmdStandAlone || s.deviceName.isEmpty() ? platform::kProductName
                                                                                 : s.connectionTitle();
}

HeadlessWindow::~HeadlessWindow()
{
    // The page logic uses this window and the parameters: it goes first.
    m_monitoring.reset();
    m_paramsConfig.reset();
    m_config.reset();
}

void HeadlessWindow::setupForCommand(int commandIndex)
{
    m_navigationKeys = navigationKeys(navigationMask(commandIndex));
}

void HeadlessWindow::display()
{
    platform::traceEntry(QStringLiteral("[frmMain] Public Sub Display()"));
    try {
        Display steps(*this);
        runDisplaySteps(steps, host::state().commandIndex);
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("Display"), 0,
                                                QString::fromUtf8(e.what()));
    }
}

bool HeadlessWindow::startCommand()
{
    const int command = host::state().commandIndex;
    if (command == host::kCmdConfiguration) {
        if (!m_config)
            m_config = std::make_unique<configuration::cConfiguration>(this);
        startConfigurationCommand(*m_config);
        return true;
    }
    if (command == host::kCmdControl) {
        const bool firstStart = !m_monitoring;
        if (firstStart) {
            m_config = std::make_unique<configuration::cConfiguration>(this);
            m_paramsConfig = std::make_unique<monitoring::ParamsConfig>(&m_config->Parameters());
            const host::HostState &s = host::state();
            const monitoring::MonitoringConnection connection{s.conn.objectServer, s.conn.object,
                                                              s.templateContext(), endPlugIn};
            m_monitoring = std::make_unique<monitoring::cMonitoring>(this, connection, m_paramsConfig.get());
            // Nothing dispatches the clicks of the page's two command buttons
            // but the page logic itself.
            m_monitoring->connectCommandButtons();
        }
        return startControlCommand(*this, *m_config, *m_monitoring, firstStart);
    }
    return true;
}

void HeadlessWindow::openFirstPage()
{
    if (m_navigationKeys.isEmpty())
        return;
    const int key = m_navigationKeys.first();
    if (m_monitoring)
        m_monitoring->SetMonitoring(key == 1 ? host::DeviceAccessible(nullptr, false) : false);
    showMonitoringState(*m_model, m_monitoring != nullptr, m_monitoring && m_monitoring->monitoringOn());
}

void HeadlessWindow::unload()
{
    if (!m_loaded)
        return;
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub Form_Unload(Cancel As Integer)"));
    setStatusText(gLoadResString(1507));
    m_loaded = false;
    host::EndApp();
}

void HeadlessWindow::stopMonitoring()
{
    m_indicators.fill(false);
    if (m_monitoring)
        m_monitoring->MonitorPoints()->DeactivateMonitoring();
}

void HeadlessWindow::LogLine(const QString &text, int color, bool, bool withTime, int blankLinesAfter)
{
    if (color == kLogRed)
        m_errorsLogged = true;
    m_logger << logLines(text, withTime, blankLinesAfter);
}

void HeadlessWindow::LogStamped(const QString &text)
{
    m_logger << stampedLine(text);
}

model::ControlState *HeadlessWindow::control(const QString &arrayName, int index) const
{
    return m_model->control(arrayName, index);
}

model::ControlState *HeadlessWindow::namedControl(const QString &name) const
{
    return m_model->named(name);
}

void HeadlessWindow::setStatusText(const QString &text)
{
    m_statusText = text;
    m_statusAlert = false;
}

void HeadlessWindow::setStatusAlert(const QString &text)
{
    m_statusText = text;
    m_statusAlert = true;
}

void HeadlessWindow::setParametersChanged(bool changed)
{
    m_parametersChanged = changed;
    // The monitoring page's note "The parameters have not been written."
    if (model::ControlState *note = m_model->control(QStringLiteral("Label"), 30))
        note->setVisible(changed);
}

void HeadlessWindow::ShowLogger()
{
    // The window brings its logger to the front through the first
    // navigation button, which switches monitoring as a click does.
    openFirstPage();
}

bool HeadlessWindow::tabVisible(int keyNo) const
{
    if (m_hiddenTabs.contains(keyNo))
        return false;
    for (const model::TabDesign &tab : model::tabTable())
        if (tab.page == keyNo)
            return true;
    return false;
}

int HeadlessWindow::ctrlType() const
{
    return templateCtrlType();
}

} // namespace headless
