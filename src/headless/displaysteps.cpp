#include "displaysteps.h"

#include <configuration/appmodes.h>
#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <host/connection.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <lns/templatelookup.h>
#include <model/pagemodel.h>
#include <monitoring/monitoring.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QSignalBlocker>
#include <QTime>

namespace headless {

namespace {

// Navigation buttons by mask bit: the caption id each bit removes.
const std::pair<int, int> kNavMaskBits[] = {{1, 1001}, {2, 1005}, {4, 1002}, {8, 1003}, {16, 1004}};

model::ControlState *control(model::PageModel &page, const char *array, int index)
{
    return page.control(QString::fromLatin1(array), index);
}

} // namespace

const QList<NavigationButtonDesign> &navigationDesign()
{
    static const QList<NavigationButtonDesign> buttons = {{0, 1001}, {1, 1003}};
    return buttons;
}

int navigationMask(int commandIndex)
{
    switch (commandIndex) {
    case host::kCmdConfiguration:
        return host::DeviceAccessible(nullptr, false) ? 0 : 28;
    case 2:
        return 15;
    case 3:
        return 27;
    case host::kCmdControl:
        return 23;
    case host::kCmdStandAlone:
        return 28;
    default:
        return 0;
    }
}

bool navigationRemoves(int mask, int captionId)
{
    for (const auto &[bit, id] : kNavMaskBits)
        if ((mask & bit) && id == captionId)
            return true;
    return false;
}

QList<int> navigationKeys(int mask)
{
    QList<int> keys;
    for (const NavigationButtonDesign &b : navigationDesign())
        if (!navigationRemoves(mask, b.captionId))
            keys << b.key;
    return keys;
}

int templateCtrlType()
{
    const host::HostState &s = host::state();
    return platform::leadingInt32(s.templateContext().value(lns::kCpSection, QStringLiteral("CtrlType")));
}

QStringList logLines(const QString &text, bool withTime, int blankLinesAfter)
{
    QStringList lines{withTime ? QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" - ") + text
                               : text};
    for (int i = 0; i < blankLinesAfter; ++i)
        lines << QString();
    return lines;
}

QString stampedLine(const QString &text)
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(" :") + text;
}

void fillWindowList(model::PageModel &page, int index, int ctrlType)
{
    model::ControlState *cb = control(page, "ComboBox", index);
    if (!cb)
        return;
    const QSignalBlocker block(cb);
    switch (index) {
    case 0: {
        cb->clear();
        // "AvailableApps" lists HVAC application modes: a controller type is
        // offered when the mode it stands for is available.
        const QString apps = host::state().templateContext().value(lns::kCpSection, QStringLiteral("AvailableApps"));
        auto offer = [&](int listId, int last) {
            for (int n = 1; n <= last; ++n)
                if (configuration::appNumberOffered(apps, ctrlType, n))
                    cb->addItem(gLoadResString(listId, n), n);
        };
        if (ctrlType == 1 || ctrlType == 3)
            offer(1032, 7);
        else if (ctrlType == 2 || ctrlType == 4)
            offer(1033, 9);
        else if (ctrlType == 5)
            cb->addItem(gLoadResString(1032, 1), 1);
        break;
    }
    case 1:
        cb->clear();
        for (int n = 1; n <= 7; ++n)
            cb->addItem(gLoadResString(1072, n), n - 1);
        break;
    case 2:
    case 4:
        cb->clear();
        for (int n = 1; n <= 3; ++n)
            cb->addItem(gLoadResString(1102, n), n - 1);
        break;
    case 9: {
        cb->clear();
        // Listed by how much the room is used, not in the string's order.
        const std::pair<int, int> items[] = {{1, 0}, {3, 3}, {2, 1}, {4, 255}};
        for (const auto &[item, data] : items)
            cb->addItem(gLoadResString(1076, item), data);
        break;
    }
    default:
        // Lists of parameters: filled by the parameter they are bound to.
        break;
    }
    if (index == 1 || index == 9)
        cb->setCurrentIndex(-1);
}

void showMonitoringState(model::PageModel &page, bool hasMonitoring, bool monitored)
{
    if (model::ControlState *note = page.named(QStringLiteral("lblNotMonitored"))) {
        // Item 1: this command monitors nothing; item 2: monitoring is off
        // (the device did not answer).
        note->setText(gLoadResString(1091, hasMonitoring ? 2 : 1));
        note->setVisible(!monitored);
    }
    if (hasMonitoring)
        return;
    // No monitoring behind the page: its commands and boxes are off, as the
    // monitoring switches them off.
    for (int i : {1, 9})
        if (model::ControlState *cb = control(page, "ComboBox", i)) {
            cb->setEnabled(false);
            cb->setCurrentIndex(-1);
        }
    for (int i : {34, 13, 12, 14, 15, 16, 17, 18, 19})
        if (model::ControlState *box = control(page, "TextBox", i)) {
            box->setEnabled(false);
            box->clear();
        }
    for (int i : {0, 3})
        if (model::ControlState *b = control(page, "cmdButton", i))
            b->setEnabled(false);
}

void endPlugIn()
{
    host::state().abortFlag = true;
    host::EndApp();
}

void startConfigurationCommand(configuration::cConfiguration &config)
{
    config.FetchCPs();
    config.connectControls();
    config.startConfiguration();
}

bool startControlCommand(configuration::ConfigWindow &window, configuration::cConfiguration &config,
                         monitoring::cMonitoring &mon, bool firstStart)
{
    // The reduced registry, read with the window's events suppressed. The
    // current application is known only after the read, so the read runs
    // here and not as the start's own first step.
    if (firstStart)
        config.FetchCPs();
    window.setValueLoading(true);
    config.ReadSettings();
    window.setValueLoading(false);
    window.setParametersChanged(false);

    monitoring::ControlStart start;
    start.ctrlType = window.ctrlType();
    start.currentApplication = config.appNumber();
    configuration::cConfiguration *c = &config;
    start.runningApplication = [c] { return c->deviceAppNumber(host::state().conn.device); };
    start.statusText = [](const QString &text) { host::statusWindow().setText(text); };
    start.endPlugIn = endPlugIn;
    start.messageTitle = window.caption();
    return monitoring::StartControlCommand(mon, start);
}

void setFamilyCaptions(model::PageModel &page, int ctrlType)
{
    // The NV lists of the timing page differ by family.
    const int familyItem = (ctrlType == 2 || ctrlType == 4) ? 2 : 1;
    if (model::ControlState *l = control(page, "Label", 21))
        l->setText(gLoadResString(1036, familyItem));
    if (model::ControlState *l = control(page, "Label", 37))
        l->setText(gLoadResString(1039, familyItem));
}

bool runDisplaySteps(DisplayView &view, int commandIndex)
{
    model::PageModel &page = view.pageModel();
    setFamilyCaptions(page, view.ctrlType());

    if (!view.startCommand())
        return false;

    for (int i = 0; i <= 9; ++i)
        fillWindowList(page, i, view.ctrlType());

    if (commandIndex == host::kCmdConfiguration)
        view.setControls();
    else
        view.markMonitoringOutputs();

    view.setApplyEnabled(false);
    view.setParametersChanged(false);

    view.openFirstPage();
    if (view.errorsLogged())
        view.ShowLogger();
    view.setErrorsLogged(false);

    if (const auto &status = host::state().statusWindow)
        status->hideWindow();
    view.showView();

    // What the start reported in red stays on the status line.
    if (!view.statusIsAlert())
        view.setStatusText(gLoadResString(1517));
    view.LogStamped(gLoadResString(1530));
    return true;
}

} // namespace headless
