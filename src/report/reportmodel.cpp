#include "reportmodel.h"

#include <platform/version.h>

#include <QProcessEnvironment>

#include <algorithm>

namespace report {

int ControllerReport::differing() const
{
    return static_cast<int>(std::count_if(parameters.cbegin(), parameters.cend(),
                                          [](const ParameterRow &r) { return r.differs; }));
}

Report newReport()
{
    Report r;
    r.created = QDateTime::currentDateTime();
    r.version = platform::fullVersionText();
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    r.site = env.value(QStringLiteral("AEROLIS_SITE"));
    r.technician = env.value(QStringLiteral("AEROLIS_TECHNICIAN"), env.value(QStringLiteral("USER")));
    return r;
}

QVector<ParameterRow> groupedByPage(const QVector<ParameterRow> &rows)
{
    QVector<ParameterRow> out;
    std::copy_if(rows.cbegin(), rows.cend(), std::back_inserter(out), [](const ParameterRow &r) { return r.shown; });
    std::stable_sort(out.begin(), out.end(), [](const ParameterRow &a, const ParameterRow &b) {
        return std::pair(a.page, a.order) < std::pair(b.page, b.order);
    });
    return out;
}

} // namespace report
