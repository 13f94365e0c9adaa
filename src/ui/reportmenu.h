// The commissioning report of the window's own controller (menu entry
// "Report" of the configuration command): identity from the connection, every
// parameter as the window shows it with the page its control sits on, and
// the device template's defaults, taken from the page model as the tool's
// `report` command takes it.
#pragma once

#include <report/reportmodel.h>

class QWidget;

namespace ui {

class frmMain;

// The report of the window's controller from its current values
// (headless::controllerReport on the window's page model); nothing is read
// from the device. `objectName`: the name the report shows (empty: the
// network path of the connection's object).
report::ControllerReport controllerReport(frmMain &window, const QString &objectName = QString());

// The menu entry: save dialog (HTML, PDF or CSV), then the file; a message
// box when it cannot be written.
void ReportParameters(frmMain &window);
// Puts ReportParameters into the window's report hook.
void bindReportMenu(frmMain &window);

} // namespace ui
