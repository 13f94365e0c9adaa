// The few services of the main window the parameter collection calls. The
// collection never includes the window: the window (or a test double)
// implements this and is handed to the collection.
#pragma once

#include <model/controlstate.h>

#include <QString>

namespace params {

using model::ControlState;

class WindowPort
{
public:
    virtual ~WindowPort() = default;
    // One logger line: colour value (0 black, 255 red, 65280 green, ...),
    // bold, with the time in front, blank lines after it.
    virtual void LogLine(const QString &text, int color = 0, bool bold = false, bool withTime = false,
                         int blankLinesAfter = 0) = 0;
    // Title of the parameters' message boxes.
    virtual QString caption() const = 0;
    // The state of control `index` of the control array `arrayName`
    // ("TextBox", "ComboBox", "CheckBox", "Option"); nullptr when the
    // window has none.
    virtual model::ControlState *control(const QString &arrayName, int index) const = 0;
};

} // namespace params
