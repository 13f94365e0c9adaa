// Saving the parameter set to a data file and loading one (menu entries
// "OpenFile" and "SaveFile" of the configuration command): the 1428
// question, the open and save dialogs through the file dialog service, the
// collection's data file, and the messages of the outcome.
#pragma once

namespace ui {

class frmMain;

// The data file's identity: plug-in name "nordaQRT", the current device's
// program id, version "1".
void LoadParameters(frmMain &window);
void SaveParameters(frmMain &window);

// Puts the two into the window's openFile / saveFile hooks, and the widget
// file dialogs into the process when no other service was set.
void bindParameterFiles(frmMain &window);

} // namespace ui
