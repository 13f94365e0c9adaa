// The start-up steps of the main window that are about the pages' state,
// the same for every view of it: the window with widgets (ui::frmMain) and
// the headless window of the tool run them through this one driver, so the
// two cannot drift apart. What only a window with widgets does (layout,
// help files, the menu) stays in the window.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace model {
class PageModel;
}
namespace configuration {
class cConfiguration;
class ConfigWindow;
}
namespace monitoring {
class cMonitoring;
}

namespace headless {

// The navigation bar's designed buttons: the key of the tab strip each one
// shows and its caption id.
struct NavigationButtonDesign
{
    int key;
    int captionId;
};
const QList<NavigationButtonDesign> &navigationDesign();
// The navigation buttons a command removes, as a mask of bits; the
// configuration command asks whether the device answers.
int navigationMask(int commandIndex);
// Whether `mask` removes the button with caption id `captionId`.
bool navigationRemoves(int mask, int captionId);
// Keys of the buttons left for `mask`, in design order.
QList<int> navigationKeys(int mask);

// Controller kind of the connection's device template (0 when unknown).
int templateCtrlType();

// The logger colour of errors (Windows colour value): a line in it marks
// that errors were logged.
constexpr int kLogRed = 255;

// The logger's lines for one LogLine: the text (with the time in front when
// asked) and the blank lines after it.
QStringList logLines(const QString &text, bool withTime, int blankLinesAfter);
// The logger's line for LogStamped.
QString stampedLine(const QString &text);

// The window's own lists (application mode, occupancy, controller type and
// control modes) for controller kind `ctrlType`; lists of parameters are
// left to their parameters.
void fillWindowList(model::PageModel &page, int index, int ctrlType);
// Captions of the timing page that name the controller family of kind
// `ctrlType`.
void setFamilyCaptions(model::PageModel &page, int ctrlType);
// The controlling page's note and controls after a navigation click:
// `hasMonitoring` whether the command monitors at all, `monitored` whether
// monitoring runs now.
void showMonitoringState(model::PageModel &page, bool hasMonitoring, bool monitored);

// Sets the abort flag and ends the program (wrong application, or the error
// logger's answer "end the program").
void endPlugIn();

// The configuration command's start: the CP map, the events of the
// controls, the first read.
void startConfigurationCommand(configuration::cConfiguration &config);
// The control command's start: the reduced parameter read with the window's
// events suppressed (the CP map fetched on the `firstStart` only), then the
// application check. False when the plug-in was ended.
bool startControlCommand(configuration::ConfigWindow &window, configuration::cConfiguration &config,
                         monitoring::cMonitoring &monitoring, bool firstStart);

// A view of the main window as the display steps drive it.
class DisplayView
{
public:
    virtual ~DisplayView() = default;
    virtual model::PageModel &pageModel() = 0;
    virtual int ctrlType() const = 0;
    // The command's start; false ends the display.
    virtual bool startCommand() = 0;
    // The configuration command brings the controls into line; the others
    // mark the monitoring output boxes.
    virtual void setControls() = 0;
    virtual void markMonitoringOutputs() = 0;
    virtual void setApplyEnabled(bool enabled) = 0;
    virtual void setParametersChanged(bool changed) = 0;
    // Clicks the first navigation button (if any is left).
    virtual void openFirstPage() = 0;
    virtual bool errorsLogged() const = 0;
    virtual void setErrorsLogged(bool logged) = 0;
    virtual void ShowLogger() = 0;
    // Hides the status window and shows the view.
    virtual void showView() = 0;
    virtual bool statusIsAlert() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void LogStamped(const QString &text) = 0;
};

// Display from the family captions of the timing page to the logger's
// start line. False when the command's start ended it.
bool runDisplaySteps(DisplayView &view, int commandIndex);

} // namespace headless
