// The pages of the main window, built as widgets from the page table of the
// model (one row per control with its kind, array index, place and string
// ids).
#pragma once

#include "controls.h"

#include <model/pagetable.h>

#include <QHash>
#include <QString>
#include <QWidget>

namespace ui {

// The page table lives with the model; the window builds its widgets from it.
using CtlKind = model::ControlKind;
using model::ControlDesign;
using model::PageDesign;
using model::pageTable;
using model::arrayName;

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
// Shows `text` as the caption of a control of any kind (a label's or a
// button's text, a group's title, a window's title).
void setCaptionOf(QWidget *control, const QString &text);
// The caption text of a control of any kind.
QString controlCaption(const QWidget *control);

} // namespace ui
