// The screenshot tour: selects every page of the displayed main window in
// turn, as a user would through the navigation bar and the tabs, and writes
// one PNG per page (named by the page's tab key), a picture of the logger
// window and the logger text. Used by the demo when there is no display.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

class frmMain;

// Returns the files written, in order; the window is left on the page it
// showed before.
QStringList runScreenshotTour(frmMain &window, const QString &folder);

// "page-KEY3.png" for the tab key "KEY:3".
QString screenshotFileName(const QString &tabKey);

} // namespace ui
