#include "indicators.h"

#include <QStringList>

namespace monitoring {

QColor indicatorDarkColor(int indicator)
{
    switch (indicator) {
    case IND_NIGHT_PURGE:
        return QColor(0, 128, 0);
    case IND_ENERGY_HOLD_OFF:
        return QColor(128, 128, 0);
    default:
        return QColor(128, 0, 0);
    }
}

QColor indicatorBrightColor(int indicator)
{
    switch (indicator) {
    case IND_NIGHT_PURGE:
        return QColor(0, 255, 0);
    case IND_ENERGY_HOLD_OFF:
        return QColor(255, 255, 0);
    default:
        return QColor(255, 0, 0);
    }
}

QString indicatorTimerName(int indicator)
{
    static const QStringList names = {QStringLiteral("tmrNightPurgeIndicator"), QStringLiteral("tmrEnergyHoldOffIndicator"),
                                      QStringLiteral("tmrFrostAlarmIndicator")};
    return names.value(indicator);
}

IndicatorBlinker::IndicatorBlinker(int indicator, std::function<void(const QColor &)> paint, QObject *parent)
    : QObject(parent), m_indicator(indicator), m_paint(std::move(paint))
{
    m_timer.setInterval(kIndicatorIntervalMs);
    m_timer.setObjectName(indicatorTimerName(indicator));
    connect(&m_timer, &QTimer::timeout, this, &IndicatorBlinker::tick);
}

void IndicatorBlinker::setActive(bool active)
{
    if (active) {
        if (!m_timer.isActive())
            m_timer.start();
        return;
    }
    m_timer.stop();
    if (m_paint)
        m_paint(indicatorDarkColor(m_indicator));
}

void IndicatorBlinker::tick()
{
    if (m_counter > 254)
        m_counter = 0;
    ++m_counter;
    if (m_paint)
        m_paint(m_counter % 2 ? indicatorDarkColor(m_indicator) : indicatorBrightColor(m_indicator));
}

} // namespace monitoring
