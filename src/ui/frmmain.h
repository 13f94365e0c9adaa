// frmMain: the plug-in's only main window. Menu bar with named tools, the
// navigation bar on the left, two tab strips with the pages laid over their
// client area, the button line (OK, Cancel, Apply, status text), the logger
// page and the separate logger window, the three blinking indicators of the
// monitoring page and the help, About and device information windows.
//
// The configuration and monitoring work reach the window through the public
// members below (logger, status text, controls by array name and index,
// flags, tabs) and plug their own steps in through CommandHooks; nothing
// below this library includes this header.
#pragma once

#include "controlbinder.h"
#include "controls.h"
#include "tabrecords.h"

#include <headless/displaysteps.h>
#include <host/hoststate.h>
#include <model/pagemodel.h>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "infowindows.h"

#include <array>
#include <functional>

namespace ui {


class frmMain : public QMainWindow, public host::MainWindowPort
{
    Q_OBJECT
public:
    // Colours the program passes to LogLine (Windows colour values, red in
    // the low byte).
    static constexpr qint32 kBlack = 0;
    static constexpr qint32 kRed = headless::kLogRed;
    static constexpr qint32 kGreen = 65280;
    static constexpr qint32 kBlue = 16711680;
    static constexpr qint32 kMagenta = 16711935;
    static constexpr qint32 kDarkGreen = 32768;
    static constexpr qint32 kDarkBlue = 12582912;

    // Page frame height and width that Display lays the window out with.
    static constexpr int kPageHeightTwips = 6120;
    static constexpr int kPageWidthTwips = 7800;
    // The height of the original menu band: window coordinates in twips are
    // measured from the form's top, here from below the menu bar.
    static constexpr int kMenuBandTwips = 405;

    // Steps of the two commands that later work supplies; each may be empty.
    struct CommandHooks
    {
        // Display step 4: start of the current command; false ends Display.
        std::function<bool(frmMain &)> startCommand;
        // Display step 6 (configuration): bring the controls into line.
        std::function<void(frmMain &)> setControls;
        // Display step 6 (other commands): mark the monitoring output boxes.
        std::function<void(frmMain &)> markMonitoringOutputs;
        // Navigation: switch monitoring on (true) or off.
        std::function<void(frmMain &, bool)> setMonitoring;
        // Whether the monitoring page is being monitored now; without it
        // nothing is.
        std::function<bool(frmMain &)> monitoringActive;
        std::function<void(frmMain &)> stopMonitoring;
        // Button line and menu operations; writeParameters answers success.
        std::function<bool(frmMain &)> writeParameters;
        std::function<void(frmMain &)> readParameters;
        std::function<void(frmMain &)> openFile;
        std::function<void(frmMain &)> saveFile;
        std::function<void(frmMain &)> spreadParameters;
        // Menu tool "Report": the commissioning report of this controller.
        std::function<void(frmMain &)> report;
        // Menu tool "History": the record of writes of this controller.
        std::function<void(frmMain &)> history;
        // Menu tool "Resync": device and database copy of this controller.
        std::function<void(frmMain &)> resync;
        // Menu tool "Trend" of the control command: opens the trend view.
        std::function<void(frmMain &)> showTrend;
        // A device template chosen in the window without a device (by its
        // name in the INI file); without it that window offers no templates.
        std::function<void(frmMain &, const QString &)> chooseTemplate;
    };

    // Form_Load: restores the position and loads every caption.
    frmMain();
    ~frmMain() override;

    // host::MainWindowPort
    void setupForCommand(int commandIndex) override;
    void display() override;
    bool isLoaded() const override { return m_loaded; }
    void unload() override;
    void stopMonitoring() override;

    void setCommandHooks(const CommandHooks &hooks) { m_hooks = hooks; }
    CommandHooks &commandHooks() { return m_hooks; }

    // Logger output. Colours as Windows colour values (kRed, kGreen, ...).
    void LogLine(const QString &text, qint32 color = kBlack, bool bold = false, bool withTime = false,
                 int blankLinesAfter = 0);
    void LogStamped(const QString &text, qint32 color = kBlack);
    LogBox *logger() const { return m_logBox; }
    LoggerWindow *loggerWindow() const { return m_loggerWindow; }
    // Brings the logger page to the front.
    void ShowLogger();
    static QColor logColor(qint32 windowsColor);

    // Status text of the button line.
    void setStatusText(const QString &text);
    QString statusText() const;
    // A status text in red (what went wrong), kept until the next text.
    void setStatusAlert(const QString &text);
    bool statusIsAlert() const;

    // Control of an array by name and index ("TextBox", 27); nullptr when the
    // window has no such control.
    QWidget *control(const QString &array, int index) const;
    template <class T>
    T *control(const QString &array, int index) const
    {
        return qobject_cast<T *>(control(array, index));
    }
    QWidget *page(int frameIndex) const;
    // The state of a control of the pages, which the page logic works on;
    // the widget above shows it.
    model::ControlState *modelControl(const QString &array, int index) const
    {
        return m_model ? m_model->control(array, index) : nullptr;
    }
    model::PageModel *pageModel() const { return m_model; }
    ControlBinder *binder() const { return m_binder; }
    // The wait cursor over the application while `on`.
    void showBusyCursor(bool on);
    // Title of the window's message boxes.
    QString caption() const { return windowTitle(); }

    // Flags the configuration work sets and reads.
    bool parametersChanged() const { return m_parametersChanged; }
    // The flag; the monitoring page's note "The parameters have not been
    // written." (Label(30)) is shown exactly while it is set.
    void setParametersChanged(bool changed);
    bool errorsLogged() const { return m_errorsLogged; }
    void setErrorsLogged(bool logged) { m_errorsLogged = logged; }
    bool forceAppDownload() const { return m_forceAppDownload; }
    bool valueLoading() const { return m_valueLoading; }
    void setValueLoading(bool on) { m_valueLoading = on; }
    void setApplyEnabled(bool enabled);
    bool applyEnabled() const;

    // Controller kind of the device template (0 when unknown).
    int ctrlType() const;

    // Lists of the window (application mode, occupancy, controller type and
    // control modes); lists of parameters are filled by the parameters.
    void FillComboBox(int comboBoxIndex);

    // Indicators of the monitoring page.
    void SetNightPurgeIndicator(bool active);
    void SetEnergyHoldOffIndicator(bool active);
    void SetFrostAlarmIndicator(bool active);
    QTimer *indicatorTimer(int i) const { return m_indicatorTimers.at(i); }

    // Parts of the window.
    ActiveBar *activeBar() const { return m_activeBar; }
    QAction *tool(const QString &name) const { return m_activeBar->tool(name); }
    NavigationBar *navigationBar() const { return m_nav; }
    TabStrip *tabStrip(int i) const { return m_tabStrips.at(i); }
    ButtonLine *buttonLine() const { return m_buttonLine; }
    cTabStrips &tabRecords() { return m_tabRecords; }
    // The record of tab strip i (registered when the window is laid out).
    cTabStrip *tabStripRecord(int i) { return m_tabRecords.Item(m_tabStrips.at(i)); }

    // Navigation and page switching.
    void navigationButtonClick(int position);
    int showTabStrip(int n);
    void showPage(int n);
    TabStrip *currentTabStrip() const { return m_currentStrip; }
    int currentPage() const { return m_currentPage; }

    // Whether the controlling page shows monitored values (otherwise it
    // says that nothing is monitored).
    bool monitored() const { return m_monitored; }

    // Menu tool click by tool name.
    void menuToolClick(const QString &name);
    // The tools of the device template sub-menu (window without a device),
    // one per template of the INI file, and the tick at the chosen one.
    QStringList templateToolNames() const;
    void markTemplateTool(const QString &templateName);

    // Help: context 0 opens the default topic.
    void showHelp(int context = 0);
    QString helpFile() const { return m_helpFile; }
    QString appDocFile() const { return m_appDocFile; }
    HelpViewer *helpViewer() const { return m_helpViewer; }
    // The help component can be switched off (a platform without one).
    static void setHelpComponentAvailable(bool available);

    // The object server's "working" notification.
    void LNS_Notification();
    int notificationCount() const { return m_notificationCount; }

    // Styling and layout walk: page frame height and width in twips (width
    // 0 means 5100), tabRows adds rows of tabs to the strip height.
    void styleWindow(int frameHeightTwips, int tabRows, int frameWidthTwips);
    // Sizes the window from outside (the host object's Height and Width):
    // the controls keep their designed places, the window stays fixed at
    // the size given (pixels, inside the frame), also through later layout
    // walks.
    void setClientSize(int widthPx, int heightPx);
    bool visualStyle() const { return m_visualStyle; }
    QColor pageColor() const { return m_pageColor; }
    static bool visualStyleActive();

Q_SIGNALS:
    void displayed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class FrmMainDisplay;
    void buildMenu();
    void addTemplateTools();
    void buildClient();
    void formLoad();
    void loadResStringsToMenu();
    bool queryUnload();
    void formUnload();
    void buttonLineClick(int button);
    void tabStripClick(int strip);
    void indicatorTick(int i);
    void setIndicator(int i, bool active);
    void openDocument(const QString &file, int context, bool appDoc);
    void showAbout();
    void showDeviceInfo();
    void chooseLanguage(const QString &toolName, int offset);
    void showMonitoringState();

    CommandHooks m_hooks;
    ActiveBar *m_activeBar = nullptr;
    QWidget *m_client = nullptr;
    NavigationBar *m_nav = nullptr;
    std::array<TabStrip *, 2> m_tabStrips{};
    std::array<QWidget *, 10> m_frames{};
    ButtonLine *m_buttonLine = nullptr;
    LogBox *m_logBox = nullptr;
    LoggerWindow *m_loggerWindow = nullptr;
    QPointer<HelpViewer> m_helpViewer;
    QPointer<QWidget> m_aboutWindow;
    QPointer<QWidget> m_deviceInfoWindow;
    QHash<QString, QWidget *> m_arrays;
    model::PageModel *m_model = nullptr;
    ControlBinder *m_binder = nullptr;
    cTabStrips m_tabRecords;
    TabStrip *m_currentStrip = nullptr;
    int m_currentPage = -1;

    struct NavRecord
    {
        QString key;
        QString tag;
        QString caption;
    };
    QList<NavRecord> m_navRecords;

    std::array<QTimer *, 3> m_indicatorTimers{};
    std::array<quint8, 3> m_indicatorCounters{};

    QString m_helpFile;
    QString m_appDocFile;
    bool m_loaded = false;
    QSize m_clientSizeFromHost; // set by setClientSize, empty while the design decides
    bool m_displayed = false;
    bool m_unloading = false;
    bool m_parametersChanged = false;
    bool m_monitored = false;
    bool m_errorsLogged = false;
    bool m_forceAppDownload = false;
    bool m_valueLoading = false;
    bool m_visualStyle = false;
    QColor m_pageColor;
    quint8 m_notificationCount = 0;
};

} // namespace ui
