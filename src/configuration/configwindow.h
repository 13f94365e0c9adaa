// The main window as the configuration command sees it. The window (or a
// test double) implements it; nothing in this library includes the window.
#pragma once

#include <params/windowport.h>

#include <QString>

namespace configuration {

class ConfigWindow : public params::WindowPort
{
public:
    // Button-line status text.
    virtual void setStatusText(const QString &text) = 0;
    virtual QString statusText() const = 0;
    // The status text in red: something the user must know went wrong.
    virtual void setStatusAlert(const QString &text) = 0;
    virtual bool parametersChanged() const = 0;
    virtual void setParametersChanged(bool changed) = 0;
    virtual bool errorsLogged() const = 0;
    virtual void setErrorsLogged(bool logged) = 0;
    virtual bool valueLoading() const = 0;
    virtual void setValueLoading(bool on) = 0;
    virtual void setApplyEnabled(bool enabled) = 0;
    virtual bool applyEnabled() const = 0;
    // Tick mark of the menu entry "Force app. download".
    virtual bool forceAppDownload() const = 0;
    virtual void ShowLogger() = 0;
    // Tabs of the configuration pages by key number.
    virtual void showTab(int keyNo) = 0;
    virtual void hideTab(int keyNo) = 0;
    virtual bool tabVisible(int keyNo) const = 0;
    // Hourglass and disabled window while a long operation runs.
    virtual void setBusy(bool busy) = 0;
    // A control that is no member of an array ("fraHvacAppMode").
    virtual model::ControlState *namedControl(const QString &name) const = 0;
    // Controller kind of the device template (0 when unknown).
    virtual int ctrlType() const = 0;
};

} // namespace configuration
