#include "reportmodel.h"

#include <algorithm>

namespace report {

int ControllerReport::differing() const
{
    return static_cast<int>(std::count_if(parameters.cbegin(), parameters.cend(),
                                          [](const ParameterRow &r) { return r.differs; }));
}

QVector<ParameterRow> groupedByPage(const QVector<ParameterRow> &rows)
{
    QVector<ParameterRow> out = rows;
    // A page of -1 (no control) sorts after every page.
    const auto key = [](const ParameterRow &r) { return r.page < 0 ? 1 << 20 : r.page; };
    std::stable_sort(out.begin(), out.end(),
                     [&key](const ParameterRow &a, const ParameterRow &b) { return key(a) < key(b); });
    return out;
}

} // namespace report
