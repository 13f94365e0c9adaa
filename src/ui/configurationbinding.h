// Wiring of the configuration command into the main window: the window as
// the configuration sees it (ConfigWindow) and the command hooks that start
// it, bring the controls into line, read and write.
#pragma once

#include <configuration/configuration.h>
#include <configuration/configwindow.h>

namespace ui {

class frmMain;

class FrmMainConfigPort : public configuration::ConfigWindow
{
public:
    explicit FrmMainConfigPort(frmMain &window) : m_w(window) {}

    void LogLine(const QString &text, int color = 0, bool bold = false, bool withTime = false,
                 int blankLinesAfter = 0) override;
    QString caption() const override;
    model::ControlState *control(const QString &arrayName, int index) const override;
    void setStatusText(const QString &text) override;
    QString statusText() const override;
    void setStatusAlert(const QString &text) override;
    bool parametersChanged() const override;
    void setParametersChanged(bool changed) override;
    bool errorsLogged() const override;
    void setErrorsLogged(bool logged) override;
    bool valueLoading() const override;
    void setValueLoading(bool on) override;
    void setApplyEnabled(bool enabled) override;
    bool applyEnabled() const override;
    bool forceAppDownload() const override;
    void ShowLogger() override;
    void showTab(int keyNo) override;
    void hideTab(int keyNo) override;
    bool tabVisible(int keyNo) const override;
    void setBusy(bool busy) override;
    model::ControlState *namedControl(const QString &name) const override;
    int ctrlType() const override;

private:
    frmMain &m_w;
    int m_busy = 0;
};

// Sets the configuration steps into the window's hooks (the other
// commands' hooks stay as they are). The configuration object is created
// when the command starts and lives as long as the window.
void bindConfiguration(frmMain &window);
// Drops the window's configuration object (its events of the page controls
// with it).
void dropConfiguration(frmMain &window);
// A new configuration object on the connection as it is now (the one before
// it is dropped), started as the configuration command starts: the CP map,
// the events of the controls, the first read.
configuration::cConfiguration *startConfigurationAfresh(frmMain &window);
// The window's configuration object; nullptr before the command started.
configuration::cConfiguration *configurationOf(const frmMain &window);

} // namespace ui
