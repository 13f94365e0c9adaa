// The blinking message indicators of the controlling page: a shape, a timer
// of 350 ms and a counter byte of its own. Switching an indicator off stops
// its timer and shows the dark colour; switching it on starts the timer and
// the shape keeps its colour until the first tick. The counter is never
// reset, so a blink that starts again continues its phase.
#pragma once

#include <QColor>
#include <QObject>
#include <QTimer>

#include <functional>

namespace monitoring {

enum eIndicator { IND_NIGHT_PURGE = 0, IND_ENERGY_HOLD_OFF = 1, IND_FROST_ALARM = 2 };

constexpr int kIndicatorIntervalMs = 350;
QColor indicatorDarkColor(int indicator);
QColor indicatorBrightColor(int indicator);
// "tmrNightPurgeIndicator", "tmrEnergyHoldOffIndicator", "tmrFrostAlarmIndicator".
QString indicatorTimerName(int indicator);

class IndicatorBlinker : public QObject
{
    Q_OBJECT
public:
    // paint fills the shape with a colour.
    IndicatorBlinker(int indicator, std::function<void(const QColor &)> paint, QObject *parent = nullptr);

    void setActive(bool active);
    // One timer tick (public so that tests step the blink without waiting).
    void tick();

    QTimer *timer() { return &m_timer; }
    bool isBlinking() const { return m_timer.isActive(); }
    quint8 counter() const { return m_counter; }
    int indicator() const { return m_indicator; }

private:
    int m_indicator;
    std::function<void(const QColor &)> m_paint;
    QTimer m_timer;
    quint8 m_counter = 0;
};

} // namespace monitoring
