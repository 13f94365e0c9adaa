// The main window without widgets: the page model, a logger that is a plain
// list of lines, the status text, the flags and the tabs shown, with the
// configuration or the control command bound to it. Start-up creates it as
// it creates the window (host::MainWindowPort) and runs the same display
// steps on it, so the tool works on the objects the window would hold
// without building or laying out a window.
#pragma once

#include <configuration/configwindow.h>
#include <host/hoststate.h>
#include <monitoring/monitoring.h>

#include <QSet>
#include <QStringList>

#include <array>
#include <memory>

namespace model {
class PageModel;
}
namespace configuration {
class cConfiguration;
}

namespace headless {

class HeadlessWindow : public host::MainWindowPort,
                       public configuration::ConfigWindow,
                       public monitoring::MonitoringWindow
{
public:
    // `reused`: a model that served an earlier controller of the same run,
    // returned to its designed state here; nullptr builds a new one.
    explicit HeadlessWindow(std::shared_ptr<model::PageModel> reused = nullptr);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow &) = delete;
    HeadlessWindow &operator=(const HeadlessWindow &) = delete;

    // host::MainWindowPort
    void setupForCommand(int commandIndex) override;
    void display() override;
    bool isLoaded() const override { return m_loaded; }
    void unload() override;
    void stopMonitoring() override;

    // configuration::ConfigWindow (and the parameters' window port)
    void LogLine(const QString &text, int color = 0, bool bold = false, bool withTime = false,
                 int blankLinesAfter = 0) override;
    QString caption() const override { return m_caption; }
    model::ControlState *control(const QString &arrayName, int index) const override;
    void setStatusText(const QString &text) override;
    QString statusText() const override { return m_statusText; }
    void setStatusAlert(const QString &text) override;
    bool parametersChanged() const override { return m_parametersChanged; }
    void setParametersChanged(bool changed) override;
    bool errorsLogged() const override { return m_errorsLogged; }
    void setErrorsLogged(bool logged) override { m_errorsLogged = logged; }
    bool valueLoading() const override { return m_valueLoading; }
    void setValueLoading(bool on) override { m_valueLoading = on; }
    void setApplyEnabled(bool enabled) override { m_applyEnabled = enabled; }
    bool applyEnabled() const override { return m_applyEnabled; }
    bool forceAppDownload() const override { return false; }
    void ShowLogger() override;
    void showTab(int keyNo) override { m_hiddenTabs.remove(keyNo); }
    void hideTab(int keyNo) override { m_hiddenTabs.insert(keyNo); }
    bool tabVisible(int keyNo) const override;
    void setBusy(bool) override {}
    model::ControlState *namedControl(const QString &name) const override;
    int ctrlType() const override;

    // monitoring::MonitoringWindow
    void SetNightPurgeIndicator(bool active) override { m_indicators[0] = active; }
    void SetEnergyHoldOffIndicator(bool active) override { m_indicators[1] = active; }
    void SetFrostAlarmIndicator(bool active) override { m_indicators[2] = active; }

    model::PageModel &pageModel() const { return *m_model; }
    // Whether night purge (0), energy hold off (1) or frost alarm (2) is on.
    bool indicatorActive(int i) const { return i >= 0 && i < 3 && m_indicators[i]; }
    bool statusIsAlert() const { return m_statusAlert; }
    // The logger's lines, in order.
    const QStringList &loggerLines() const { return m_logger; }
    void LogStamped(const QString &text);

    // The configuration command's configuration object; nullptr before its
    // start and for the control command (whose configuration holds the
    // reduced registry only).
    configuration::cConfiguration *configuration() const { return m_monitoring ? nullptr : m_config.get(); }
    // The control command's page logic; nullptr for other commands.
    monitoring::cMonitoring *monitoring() const { return m_monitoring.get(); }

private:
    class Display;
    bool startCommand();
    void openFirstPage();

    std::shared_ptr<model::PageModel> m_model;
    std::unique_ptr<configuration::cConfiguration> m_config;
    std::unique_ptr<monitoring::ParamsConfig> m_paramsConfig;
    std::unique_ptr<monitoring::cMonitoring> m_monitoring;
    QStringList m_logger;
    QSet<int> m_hiddenTabs;
    QList<int> m_navigationKeys;
    QString m_caption;
    QString m_statusText;
    std::array<bool, 3> m_indicators{};
    bool m_statusAlert = false;
    bool m_loaded = false;
    bool m_parametersChanged = false;
    bool m_errorsLogged = false;
    bool m_valueLoading = false;
    bool m_applyEnabled = false;
};

} // namespace headless
