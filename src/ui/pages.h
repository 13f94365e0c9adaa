// The pages of the main window, built from compact tables: one row per
// control with its kind, array index, place and string ids. Array members
// get the object names the rest of the program binds by ("TextBox27",
// "ComboBox5", "Label49", "cmdButton1", "QXLines19", "shpButton0", ...).
#pragma once

#include "controls.h"

#include <QHash>
#include <QString>
#include <QWidget>

namespace ui {

enum class CtlKind { Label, TextBox, ComboBox, CheckBox, CommandButton, OptionButton, Lines, Shape, Group, LogBox };

struct ControlDesign
{
    CtlKind kind;
    int index;         // array index; -1 for a named control (Group, LogBox)
    int x, y, w, h;    // pixels on the page (or in the group named by parent)
    const char *tag;   // "captionId/tooltipId"
    int item = 1;      // list item of the caption string
    const char *name = nullptr;   // object name of a named control
    const char *parent = nullptr; // object name of the group it sits in
};

// The array name of a control kind ("TextBox", "Label", ...).
QString arrayName(CtlKind kind);

struct PageDesign
{
    int page;          // frame index, also the number of its tab key
    QList<ControlDesign> controls;
};

// The designed pages, frame 0 to 9.
const QList<PageDesign> &pageTable();

// Creates the controls of one page on its frame and registers every array
// member in `arrays` under "<ArrayName><index>".
void buildPage(const PageDesign &design, QWidget *frame, QHash<QString, QWidget *> &arrays);

// The control caption loading: sets the caption and tooltip of the form and
// of every control from the ids in its Tag ("captionId/tooltipId"). The
// tooltip is set only when `tooltips` is true, otherwise made empty. Tab
// strips are loaded per tab. Menus are loaded separately (menu model).
void loadControlCaptions(QWidget *form, bool tooltips);
// One control (exposed for tests).
void loadControlCaption(QWidget *control, bool tooltips);
// The caption text of a control of any kind.
QString controlCaption(const QWidget *control);

} // namespace ui
