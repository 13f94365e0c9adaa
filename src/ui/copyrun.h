// The menu entry "SpreadParameters" of the main window: the copy run of the
// configuration (configuration/copyrun.h) with the selection window, and
// the objects that failed in the window's last run offered to the next one
// ("Select failed").
#pragma once

#include <configuration/copyrun.h>

#include <QStringList>

namespace ui {

class frmMain;

// Runs the copy from this window; the report of the run (not started when
// the values were invalid or nothing was chosen).
configuration::CopyRunReport CopyParameters(frmMain &window);
// The keys that failed in this window's last started run.
QStringList failedInLastCopy(const frmMain &window);

// Puts CopyParameters into the spreadParameters hook, and the selection
// window into the process when no other selector was set.
void bindCopyRun(frmMain &window);

} // namespace ui
