// Small helpers on the page controls: the red text that marks an invalid
// value, the two backgrounds of the lock modes, the list selector, the
// control's Tag and its position in a numbered control array.
#pragma once

#include <QString>

class QComboBox;
class QObject;
class QWidget;

namespace params {

// Text colour as a colour value (blue * 65536 + green * 256 + red); the
// control's normal text colour is reported as 0 (black).
int textColor(const QWidget *w);
// 255 (red) or any other colour value; 0 restores the normal text colour.
void setTextColor(QWidget *w, int color);
// Red when `outside`, the normal colour otherwise (the control utility's
// range marking).
void markRange(QWidget *w, bool outside);

enum class Background { Window, ButtonFace };
void setBackground(QWidget *w, Background b);
Background background(const QWidget *w);

// The list selector: selects the first entry whose item data equals `data`
// without raising the list's change signals; -1 (no selection) when none
// has it. Returns the index selected.
int selectByItemData(QComboBox *combo, int data, bool skipMarkedInvalid = true);
// Item data role flag of an entry that stands for a value not in the list.
constexpr int kInvalidEntryRole = 0x0101; // Qt::UserRole + 1

// The parameter name kept on a control.
QString controlTag(const QObject *control);
void setControlTag(QObject *control, const QString &tag);

// Position of a control in its control array: the number its object name
// ends with ("TextBox27" -> 27), or the "Index" property when set; -1 when
// neither is there.
int controlIndex(const QObject *control);
// The control named array + index ("TextBox" 27 -> "TextBox27") below root.
QWidget *findControl(QWidget *root, const QString &arrayName, int index);

} // namespace params
