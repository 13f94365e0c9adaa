// Small helpers on the page controls' state: the red text that marks an
// invalid value, the two backgrounds of the lock modes, the list selector,
// the parameter name kept on a control and its position in a numbered
// control array.
#pragma once

#include <model/controlstate.h>

#include <QString>

namespace params {

using model::ControlState;
using model::kInvalidEntryRole;

// Text colour as a colour value (blue * 65536 + green * 256 + red); the
// control's normal text colour is reported as 0 (black).
int textColor(const ControlState *c);
// 255 (red) or any other colour value; 0 restores the normal text colour.
void setTextColor(ControlState *c, int color);
// Red when `outside`, the normal colour otherwise (the control utility's
// range marking).
void markRange(ControlState *c, bool outside);

using Background = model::Background;
void setBackground(ControlState *c, Background b);
Background background(const ControlState *c);

// The list selector: selects the first entry whose item data equals `data`
// without raising the list's change signals; -1 (no selection) when none
// has it. Returns the index selected.
int selectByItemData(ControlState *combo, int data, bool skipMarkedInvalid = true);

// The parameter name kept on a control.
QString controlTag(const ControlState *control);
void setControlTag(ControlState *control, const QString &tag);

// Position of a control in its control array ("TextBox27" -> 27); -1 for
// none.
int controlIndex(const ControlState *control);

} // namespace params
