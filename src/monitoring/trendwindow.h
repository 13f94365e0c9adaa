// The trend view of the controlling page: a window of its own, next to the
// page, plotting the last 15 minutes of the effective setpoint, the room
// temperature (where a source reports it) and the five outputs, with the
// changes of mode and occupancy marked, live from the updates the page
// shows (cMonitoring::updateShown).
#pragma once

#include "trendmodel.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QLabel;

namespace monitoring {

class cMonitoring;

class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrendWindow(QWidget *parent = nullptr);
    ~TrendWindow() override;

    // Follows the page's updates from now on.
    void attach(cMonitoring *monitoring);
    // The clock (ms since the epoch); tests give their own.
    void setClock(std::function<qint64()> now) { m_now = std::move(now); }
    TrendModel &model() { return m_model; }

    // One update (what attach() connects).
    void addUpdate(const QString &pointName, const QString &value);
    void addRoomTemperature(double celsius);
    // Redraws from the model: x is minutes before now (-15 .. 0).
    void refresh();

    QLineSeries *lineSeries(int s) const { return m_lines.at(size_t(s)); }
    QScatterSeries *modeMarks() const { return m_modeMarks; }
    QScatterSeries *occupancyMarks() const { return m_occMarks; }
    QString marksText() const;

private:
    qint64 now() const;

    TrendModel m_model;
    std::function<qint64()> m_now;
    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    std::array<QLineSeries *, TS_COUNT> m_lines{};
    QScatterSeries *m_modeMarks = nullptr;
    QScatterSeries *m_occMarks = nullptr;
    QValueAxis *m_time = nullptr;
    QValueAxis *m_temperature = nullptr;
    QValueAxis *m_percent = nullptr;
    QLabel *m_marksLabel = nullptr;
    QPointer<cMonitoring> m_monitoring;
};

// Opens (or raises) the trend window of a page.
TrendWindow *openTrendWindow(cMonitoring &monitoring, QWidget *parent);

} // namespace monitoring
