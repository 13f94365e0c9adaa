// cMonitoring: the controlling and monitoring page's logic. It fetches the
// controller's NVs as monitor points, switches monitoring on and off
// together with the page's controls, turns every reported value into the
// page's texts and indicators, and sends the two control commands.
//
// The page is reached through MonitoringWindow (controls by array name and
// index, the three indicators, the parameters-changed flag, the message box
// title), so the same logic runs on the main window and on any widget tree
// whose controls carry the same object names ("TextBox12", "ComboBox1",
// "cmdButton0", ...). The configuration values it needs (DiscLevels and the
// night purge setting) come through MonitoringConfig.
#pragma once

#include "monitorpoints.h"
#include "nvdecoding.h"

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

#include <model/controlstate.h>

namespace params {
class cParams;
}

namespace monitoring {

class MonitoringWindow
{
public:
    virtual ~MonitoringWindow() = default;
    // Control `index` of the array ("TextBox", "ComboBox", "cmdButton",
    // "Label", "shpButton"); nullptr when there is none.
    virtual model::ControlState *control(const QString &array, int index) const = 0;
    virtual void SetNightPurgeIndicator(bool active) = 0;
    virtual void SetEnergyHoldOffIndicator(bool active) = 0;
    virtual void SetFrostAlarmIndicator(bool active) = 0;
    virtual bool parametersChanged() const = 0;
    // Title of the page's message boxes.
    virtual QString caption() const = 0;
    // The busy cursor while monitoring starts; nothing to show by default.
    virtual void showBusyCursor(bool on) { Q_UNUSED(on); }
};

// Any window with those members (the main window) seen as MonitoringWindow.
template <class W>
class WindowAdapter : public MonitoringWindow
{
public:
    explicit WindowAdapter(W &w) : m_w(w) {}
    model::ControlState *control(const QString &array, int index) const override { return m_w.modelControl(array, index); }
    void SetNightPurgeIndicator(bool a) override { m_w.SetNightPurgeIndicator(a); }
    void SetEnergyHoldOffIndicator(bool a) override { m_w.SetEnergyHoldOffIndicator(a); }
    void SetFrostAlarmIndicator(bool a) override { m_w.SetFrostAlarmIndicator(a); }
    bool parametersChanged() const override { return m_w.parametersChanged(); }
    QString caption() const override { return m_w.caption(); }
    void showBusyCursor(bool on) override { m_w.showBusyCursor(on); }

private:
    W &m_w;
};

// The configuration values the page reads (parameter name -> value as the
// configuration's parameter holds it); nullopt when it has no such value.
class MonitoringConfig
{
public:
    virtual ~MonitoringConfig() = default;
    virtual std::optional<qint32> parameterValue(const QString &name) const = 0;
};

// The values of the configuration's parameter collection (combo and text-box
// parameters' Value); nullopt for a missing or unavailable parameter.
class ParamsConfig : public MonitoringConfig
{
public:
    explicit ParamsConfig(const params::cParams *params) : m_params(params) {}
    void setParams(const params::cParams *params) { m_params = params; }
    std::optional<qint32> parameterValue(const QString &name) const override;

private:
    const params::cParams *m_params;
};

// Where the page's NVs are and what ends the program.
struct MonitoringConnection
{
    lns::ObjectServerPtr objectServer;
    lns::LonMarkObjectPtr lonMarkObject;
    lns::TemplateContext templateContext;
    // The error logger answered "end the program": set the abort flag and
    // run the program's end.
    std::function<void()> endProgram;
};

class cMonitoring : public QObject
{
    Q_OBJECT
public:
    cMonitoring(MonitoringWindow *window, const MonitoringConnection &connection,
                const MonitoringConfig *config, QObject *parent = nullptr);
    ~cMonitoring() override;

    cMonitorPoints *MonitorPoints() const { return m_points; }
    bool fetched() const { return m_fetched; }
    void setConfig(const MonitoringConfig *config) { m_config = config; }

    void FetchNVs();
    void SetMonitoring(bool activate);
    bool monitoringOn() const { return m_on; }

    // The page's two commands (the main window's cmdButton(0) and
    // cmdButton(3) clicks). Each returns whether something was sent.
    bool SendApplicationMode();
    bool SendOccupancy();
    // Connects cmdButton0 and cmdButton3 of the window to the commands, for
    // windows that do not dispatch their button clicks themselves.
    void connectCommandButtons();

    // Handlers of the collection's events (public so that a window or a test
    // can drive them).
    void mobjMonitorPoints_NvUpdate(const QString &monitorPointName, const QString &value);
    void mobjMonitorPoints_CommunicationFailed(monitoring::cMonitorPoint *monitorPoint);

    // The decoder's view of the page right now (output tags, configuration).
    DecodeInputs decodeInputs() const;
    // Number of decoded updates (diagnostics, benchmark).
    qint64 updatesDecoded() const { return m_decoded; }

Q_SIGNALS:
    // Every update after it was shown (for views that follow the same values).
    void updateShown(const QString &monitorPointName, const QString &value);

private:
    model::ControlState *ctl(const char *array, int index) const;
    void applyChange(const PageChange &change);
    std::optional<qint32> config(const QString &name) const;

    MonitoringWindow *m_window;
    MonitoringConnection m_conn;
    const MonitoringConfig *m_config;
    cMonitorPoints *m_points;
    bool m_fetched = false;
    bool m_on = false;
    qint64 m_decoded = 0;
};

// Marks the output boxes TextBox(14)..TextBox(19) with "True" or "False"
// (their Tag) for a controller kind and application mode.
void MarkMonitoringOutputs(MonitoringWindow &window, int ctrlType, int appMode);

// The start of the control command: the configuration work supplies the
// reduced parameter read and the running application; this runs the steps
// in order and ends the plug-in on a wrong application.
struct ControlStart
{
    int ctrlType = 0;
    int currentApplication = -1;
    // Fetch and read HvacAppMode, NumValves, SettingHystHighLevel,
    // SettingHystHighFunction and DiscLevels, events suppressed; clear the
    // parameters-changed flag.
    std::function<void()> readReducedParameters;
    // The application the device runs, -1 when it cannot be told.
    std::function<int()> runningApplication;
    std::function<void(const QString &)> statusText;
    // Sets the abort flag and ends the program.
    std::function<void()> endPlugIn;
    QString messageTitle;
};
// Returns false when the plug-in was ended (wrong application).
bool StartControlCommand(cMonitoring &monitoring, const ControlStart &start);

} // namespace monitoring
