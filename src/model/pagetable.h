// The designed pages as plain data: one row per control with its kind,
// array index, place and string ids. Array members get the object names the
// rest of the program binds by ("TextBox27", "ComboBox5", "Label49",
// "cmdButton1", "QXLines19", "shpButton0", ...).
#pragma once

#include "controlstate.h"

#include <QList>
#include <QString>

namespace model {

struct ControlDesign
{
    ControlKind kind;
    int index;         // array index; -1 for a named control (Group, LogBox)
    int x, y, w, h;    // pixels on the page (or in the group named by parent)
    const char *tag;   // "captionId/tooltipId"
    int item = 1;      // list item of the caption string
    const char *name = nullptr;   // object name of a named control
    const char *parent = nullptr; // object name of the group it sits in

    // "TextBox27" for an array member, the given name otherwise (may be empty).
    QString objectName() const;
};

struct PageDesign
{
    int page;          // frame index, also the number of its tab key
    QList<ControlDesign> controls;
};

// The designed pages, frame 0 to 9.
const QList<PageDesign> &pageTable();

// One designed tab: the strip it is on, the page (frame index, also the
// number of its key "KEY:<page>") and the string id of its caption.
struct TabDesign
{
    int strip;
    int page;
    int captionId;
};

// The designed tabs of both strips, in design order.
const QList<TabDesign> &tabTable();
// The caption of the page's tab in the language set, without its accelerator
// mark; "KEY:<page>" for a page without a tab.
QString pageTitle(int page);

} // namespace model
