// cConfiguration: the configuration command. Owns the parameter registry
// (the map of the controller's CPs to page controls), the application
// number and its loading, the setpoint ranges, the read, check and write
// workflow and the controller-type dependent page logic. It reaches the
// window only through ConfigWindow and the connection through host::state().
#pragma once

#include "apploader.h"
#include "configwindow.h"

#include <params/paramcollection.h>

#include <QObject>
#include <QPointer>

#include <memory>


namespace configuration {

inline const QString kAppModeRecordKey = QStringLiteral("9726A01-27422_Qrt_AppMode");

// Lock modes the page logic uses.
constexpr int kUnlock = params::LM_UNLOCKED;
constexpr int kLock = params::LM_DISABLED_GREY_NO_VALUE;

// Page keys of the configuration tab strip.
enum PageKey {
    kPageControllerType = 0,
    kPageSetpoints = 1,
    kPageHeating = 3,
    kPageReheating = 4,
    kPageCooling = 5,
    kPageVentilation = 6,
    kPageFan = 7,
    kPageNvTiming = 8,
};

class cConfiguration : public QObject
{
    Q_OBJECT
public:
    explicit cConfiguration(ConfigWindow *window, QObject *parent = nullptr);
    ~cConfiguration() override;

    params::cParams &Parameters() { return *m_params; }
    ConfigWindow *window() const { return m_window; }

    // ---- parameter map ----
    void FetchCPs();
    bool SetpointEconLimit();

    // ---- application number and loading ----
    int appNumber() const { return m_appNumber; }
    void setAppNumber(int n) { m_appNumber = n; }
    int ctrlType() const;
    // The application the device runs, as its kind tells it: mode CPs of
    // the device (kinds 1, 2), the registry's mode parameters (3, 4), -1 (5).
    int deviceAppNumber(const lns::AppDevicePtr &device);
    void setModeParametersFromAppNumber();
    int readAppNumberRecord() const;
    void storeAppNumberRecord();
    bool appAvailable(int mode) const;
    bool coolingOnly() const;
    bool heatingOnly() const;
    void setDefaultSetpoints();
    // True when an image was downloaded successfully.
    bool LoadApplicationByAppMode(const lns::AppDevicePtr &device, bool &silent);
    AppLoader &loader() { return m_loader; }

    // ---- workflow ----
    // Start of the configuration command after FetchCPs (logger, read,
    // application check).
    void startConfiguration();
    void ReadSettings();
    bool WriteSettings();
    // The write filter of WriteSettings (mode CPs by controller kind); also
    // used by a dry run that goes through the collection's write alone.
    void prepareWriteSet();
    bool checkValues();
    void ReadParameters();
    bool WriteParameters();

    // ---- setpoint ranges ----
    void SetSetpointRanges(bool correct);

    // ---- page logic ----
    void startUpDisplay();
    void SetControls();
    void pageLayout();
    void outputFields();
    void controlModeDisplay(int index);
    void ComboBox_Click(int index);
    void CheckBox_Click(int index);
    void cmdButton_Click(int index);
    // Connects the page controls to the handlers above and the parameters.
    void connectControls();

    // Diagnostics of the last FetchCPs and write.
    qint64 fetchMilliseconds() const { return m_fetchMs; }
    bool lastWriteOk() const { return m_lastWriteOk; }
    // The last read got no value from the device.
    bool nothingRead() const { return m_nothingRead; }
    // What the last WriteParameters did, step by step: the device may have
    // been changed by the application step even when the parameters' write
    // was rolled back.
    struct WriteSteps
    {
        bool appChecked = false;      // the application step ran (kinds 1 and 2)
        bool appLoaded = false;       // an image was downloaded into the device
        bool appFailed = false;       // the application step logged an error
        bool calibrationKept = false; // the turning-knob calibration was put back after the download
        bool paramsWritten = false;   // the parameters' transaction was committed
    };
    const WriteSteps &lastWriteSteps() const { return m_lastSteps; }
    // Whether the last application step failed with an error its handler
    // caught (the failures it logs in red show in the window's flag).
    bool lastDownloadFailed() const { return m_downloadFailed; }

protected:

private:
    void setLoading(bool on);
    void setEdited();
    void onForwarded(model::ControlState *control);
    void setTextParam(const QString &name, double value);
    void lockText(const QString &name, int mode);
    void applyDefaults(int index);
    void checkApplicationAfterRead();
    // Red logger lines for what the last read did not give; true when the
    // device gave nothing at all.
    bool reportUnread();
    model::ControlState *ctl(const char *array, int index) const;
    std::shared_ptr<params::cParamTextBox> text(const char *name) const;
    QString templateValue(const QString &section, const QString &key) const;

    ConfigWindow *m_window;
    std::unique_ptr<params::cParams> m_params;
    AppLoader m_loader;
    int m_appNumber = -1;
    bool m_econLimitRead = false;
    bool m_econLimit = false;
    qint64 m_fetchMs = 0;
    bool m_lastWriteOk = true;
    bool m_nothingRead = false;
    WriteSteps m_lastSteps;
    bool m_calibrationKept = false;
    // The last application step ended in its error handler (a message box,
    // no red logger line).
    bool m_downloadFailed = false;
    bool m_controlsConnected = false;
    QPointer<model::ControlState> m_focusOut;
};

} // namespace configuration
