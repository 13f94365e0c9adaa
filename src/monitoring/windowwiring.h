// Plugs the monitoring logic into a main window that offers command hooks
// (markMonitoringOutputs, setMonitoring, stopMonitoring), as the program's
// main window does. Header only, so that this library never depends on the
// window's library: the program instantiates it with its window type.
//
// The control command's start (the reduced parameter read and the
// application check, StartControlCommand) belongs to the window's
// startCommand hook together with the configuration work and is not set
// here.
#pragma once

#include "monitoring.h"

#include <QPointer>

#include <functional>

namespace monitoring {

// appMode: the current application mode of the controller (from the
// configuration), used to mark the output boxes; 0 when unknown.
template <class W>
void bindMonitoringToWindow(W &window, cMonitoring &monitoring, std::function<int()> appMode)
{
    auto &hooks = window.commandHooks();
    hooks.markMonitoringOutputs = [appMode](W &w) {
        WindowAdapter<W> adapter(w);
        MarkMonitoringOutputs(adapter, w.ctrlType(), appMode ? appMode() : 0);
    };
    QPointer<cMonitoring> m(&monitoring);
    hooks.setMonitoring = [m](W &, bool on) {
        if (m)
            m->SetMonitoring(on);
    };
    hooks.monitoringActive = [m](W &) { return m && m->monitoringOn(); };
    hooks.stopMonitoring = [m](W &) {
        if (m)
            m->MonitorPoints()->DeactivateMonitoring();
    };
    // The window does not dispatch the clicks of cmdButton(0) and (3).
    monitoring.connectCommandButtons();
}

} // namespace monitoring
