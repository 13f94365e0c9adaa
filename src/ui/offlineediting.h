// Editing a parameter set without a device, in the window started without
// one: the user chooses a device template in the File menu, the pages of
// that controller kind open with the template's factory values and its page
// logic, and the set is loaded from and saved to parameter files as online.
// The values live in an in-memory controller (lns/offlinedevice.h); nothing
// reaches a network.
#pragma once

#include <QString>

namespace ui {

class frmMain;

// Opens the pages for `templateName`. False when nothing changed: the user
// kept unsaved edits, or the template cannot be built (one message says why).
bool openOfflineTemplate(frmMain &window, const QString &templateName);
// The template the pages show; empty while none was chosen.
QString offlineTemplateName();

// Puts openOfflineTemplate into the window's template hook.
void bindOfflineEditing(frmMain &window);

} // namespace ui
