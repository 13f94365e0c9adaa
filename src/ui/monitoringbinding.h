// Wiring of the control command into the main window: the configuration
// object with the reduced registry, the monitoring page logic on the
// window's controls, the start of the command (parameter read, application
// check) and the trend view's menu tool.
#pragma once

namespace configuration {
class cConfiguration;
}
namespace monitoring {
class cMonitoring;
}

namespace ui {

class frmMain;

// Sets the control command's start into the window's startCommand hook
// (the other commands' start stays as it was) and the trend view into the
// showTrend hook. The configuration and monitoring objects are created when
// the command starts, once per window, and live as long as the window.
void bindMonitoring(frmMain &window);
// The window's objects of the control command; nullptr before it started.
monitoring::cMonitoring *monitoringOf(const frmMain &window);
configuration::cConfiguration *controlConfigurationOf(const frmMain &window);

} // namespace ui
