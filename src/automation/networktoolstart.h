// The automation start of the plug-in executable: the process was started
// (by the bus) for a network tool. serveNetworkTool creates the host object
// (which runs InitApp), serves it on the session bus and runs the event loop
// until the plug-in ends (automationserver.h); it returns the exit status.
//
// The program wires its environment (object server with its handles, windows,
// messages) into host::state().env before, as for a command-line start, and lets the main
// window report being shown and closed (pluginwindow.h).
#pragma once

#include <QObject>
#include <QString>

namespace automation {

int serveNetworkTool();

// Notices of the main window. Shown: when AEROLIS_SHOWN_FILE is set, one
// line "<monotonic ns> <command index> <window title>" is appended to it (how
// benchmarks and tests see the window come up in another process); in an
// automation start with AEROLIS_CLOSE_WINDOW_AFTER_MS=N the window closes N
// ms later, as if the user closed it. Closed: an automation start ends.
// (AEROLIS_EXIT_WHEN_SHOWN=1 makes an automation start end as soon as the
// tool has released the object, window or not: automationserver.cpp.)
void noteWindowShown(QObject *window, const QString &title);
void noteWindowClosed();

} // namespace automation
