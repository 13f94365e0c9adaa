#include "copyrun.h"

#include "configurationbinding.h"
#include "frmmain.h"
#include "multidevicewindow.h"

#include <platform/tracelog.h>

#include <QVariant>

namespace ui {

namespace {
// The failures live with the window: a second window (another object) has
// its own last run.
const char *const kFailedProperty = "aerolisCopyFailed";
} // namespace

QStringList failedInLastCopy(const frmMain &window)
{
    return window.property(kFailedProperty).toStringList();
}

configuration::CopyRunReport CopyParameters(frmMain &w)
{
    configuration::cConfiguration *config = configurationOf(w);
    if (!config)
        return {};
    configuration::CopyRun run(*config);
    const configuration::CopyRunReport report =
        run.WriteParametersEx(platform::multiDeviceSelector(), failedInLastCopy(w));
    if (report.started)
        w.setProperty(kFailedProperty, report.unfinishedKeys());
    return report;
}

void bindCopyRun(frmMain &window)
{
    // The window's selection, unless a program or test chose another one
    // (the widget selector itself prints and chooses by AEROLIS_MULTIDEVICE_SELECT
    // under AEROLIS_UNATTENDED=1).
    if (dynamic_cast<platform::UnattendedMultiDevice *>(&platform::multiDeviceSelector()))
        platform::setMultiDeviceSelector(std::make_shared<WidgetMultiDeviceSelector>());
    window.commandHooks().spreadParameters = [](frmMain &w) { CopyParameters(w); };
}

} // namespace ui
