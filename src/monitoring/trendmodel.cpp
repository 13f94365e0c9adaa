#include "trendmodel.h"

#include "nvdecoding.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace monitoring {

QString TrendModel::seriesName(int s)
{
    return gLoadResString(1961, s + 1);
}

void TrendModel::add(int s, double v, qint64 ms)
{
    QVector<TrendSample> &series = m_series.at(size_t(s));
    // Updates come in time order; a clock that went back starts the
    // series again rather than drawing backwards.
    if (!series.isEmpty() && series.last().ms > ms)
        series.clear();
    series.push_back({ms, v});
}

bool TrendModel::addUpdate(const QString &pointName, const QString &value, qint64 ms)
{
    if (pointName == kNvUnitStatus) {
        const QStringList fields = value.split(QLatin1Char(','));
        if (fields.size() != 7)
            return false;
        for (int i = 0; i < 5; ++i) {
            bool ok = false;
            const double v = fields.at(i + 1).trimmed().toDouble(&ok);
            if (ok)
                add(TS_HEAT_PRIMARY + i, std::abs(v), ms);
        }
        const QString mode = fields.first();
        if (m_haveMode && mode != m_lastMode)
            m_marks.push_back({ms, TrendMark::Mode, modeText(value)});
        m_haveMode = true;
        m_lastMode = mode;
        return true;
    }
    if (pointName == kNvEffectSetpt) {
        const std::optional<double> v = setpointValue(value);
        if (!v)
            return false;
        add(TS_SETPOINT, *v, ms);
        return true;
    }
    if (pointName == kNvEffectOccup) {
        const std::optional<qint32> n = occupancyNumber(value);
        if (!n)
            return false;
        if (m_haveOccupancy && *n != m_lastOccupancy)
            m_marks.push_back({ms, TrendMark::Occupancy, occupancyText(value).value_or(QString())});
        m_haveOccupancy = true;
        m_lastOccupancy = *n;
        return true;
    }
    return false;
}

void TrendModel::addRoomTemperature(double celsius, qint64 ms)
{
    add(TS_ROOM_TEMPERATURE, celsius, ms);
}

void TrendModel::prune(qint64 nowMs)
{
    const qint64 oldest = nowMs - m_windowMs;
    auto older = [oldest](const auto &x) { return x.ms < oldest; };
    for (auto &s : m_series) {
        // Keep the last sample before the window: the line starts at the
        // window's edge with the value it had then.
        const auto firstIn = std::find_if_not(s.begin(), s.end(), older);
        if (firstIn != s.begin())
            s.erase(s.begin(), firstIn - 1);
    }
    m_marks.erase(std::remove_if(m_marks.begin(), m_marks.end(), older), m_marks.end());
}

void TrendModel::clear()
{
    for (auto &s : m_series)
        s.clear();
    m_marks.clear();
    m_lastMode.clear();
    m_haveMode = false;
    m_haveOccupancy = false;
}

} // namespace monitoring
