// What a technician reads beside a control on its page: the captions left of
// it on the same row ("Switch-off delay", "When activated at / by"), under
// the frame it belongs to (the section line above it, or the check box an
// indented row depends on): "Heating / Comfort temperature". Check boxes
// and option buttons carry their own caption. The position orders the
// controls of a page as the page shows them, top to bottom, left to right.
#pragma once

#include <model/controlstate.h>

#include <QString>

namespace report {

struct ControlPlace
{
    QString frame;   // empty when the control sits in no frame
    QString caption; // empty when nothing stands beside it
    int order = 0;   // top to bottom, then left to right

    // "Frame / Caption", or the one of them there is.
    QString label() const;
};

// The place of `control` on its designed page, with the captions its page
// model holds in the language set; nullopt-like empty place (order 0) for a
// control that is on no designed page.
ControlPlace placeOf(const model::ControlState &control);

} // namespace report
