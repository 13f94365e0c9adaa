// The parameters of a collection as the window shows them, each with the
// page its control sits on and the default the device template gives it.
#pragma once

#include "reportmodel.h"

#include <functional>

#include <model/controlstate.h>

namespace params {
class cParams;
}

namespace report {

// Page number of a control (-1 when it sits on no page; by default the page
// the model gives it), the title of a page number, and whether the
// controller kind shows a page (by default every page).
struct PageLookup
{
    std::function<int(const model::ControlState *)> pageOf;
    std::function<QString(int)> titleOf;
    std::function<bool(int)> pageShown;
};

// Every parameter in the order of the parameter data file, each labelled
// with the caption beside its control and marked shown when a technician
// sees its control. The defaults are
// decoded from each CP's template value (ConfigProperty::templateDefaultValue)
// with the parameter's own field place and scaling; nothing is read from the
// device and no parameter or control is changed.
QVector<ParameterRow> parameterRows(params::cParams &p, const PageLookup &pages);

} // namespace report
