// The values of the trend view: the effective setpoint, the room temperature
// (where a source reports it), the five outputs, and the changes of mode and
// occupancy, over a window of time (15 minutes), taken from the same NV
// updates the controlling page shows. The outputs come from the unit status
// text itself (fields 2 to 6), so the trend reads nothing from the device.
#pragma once

#include <QString>
#include <QVector>

#include <array>

namespace monitoring {

enum eTrendSeries {
    TS_SETPOINT = 0,
    TS_ROOM_TEMPERATURE,
    TS_HEAT_PRIMARY,
    TS_HEAT_SECONDARY,
    TS_COOL,
    TS_ECON,
    TS_FAN,
    TS_COUNT
};

struct TrendSample
{
    qint64 ms = 0; // milliseconds since the epoch
    double value = 0;
};

struct TrendMark
{
    enum Kind { Mode, Occupancy };
    qint64 ms = 0;
    Kind kind = Mode;
    QString text; // the page's text of the new mode or occupancy
};

class TrendModel
{
public:
    explicit TrendModel(qint64 windowMs = 15 * 60 * 1000) : m_windowMs(windowMs) {}

    // One update as the page got it, at time ms. Returns whether it added
    // anything (values that cannot be read add nothing).
    bool addUpdate(const QString &pointName, const QString &value, qint64 ms);
    void addRoomTemperature(double celsius, qint64 ms);
    // Drops what is older than the window before nowMs.
    void prune(qint64 nowMs);
    void clear();

    const QVector<TrendSample> &series(int s) const { return m_series.at(size_t(s)); }
    const QVector<TrendMark> &marks() const { return m_marks; }
    qint64 windowMs() const { return m_windowMs; }
    static QString seriesName(int s);

private:
    void add(int s, double v, qint64 ms);

    qint64 m_windowMs;
    std::array<QVector<TrendSample>, TS_COUNT> m_series;
    QVector<TrendMark> m_marks;
    QString m_lastMode;
    bool m_haveMode = false;
    bool m_haveOccupancy = false;
    qint32 m_lastOccupancy = 0;
};

} // namespace monitoring
