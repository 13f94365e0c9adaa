// The modelled time line of the device transactions of this process: each
// transaction occupies its channel from its start to its end, and starts
// when the previous transaction of its work lane (lns/worklanes.h) ended.
// From it come the modelled wall time of the run (the end of the last
// transaction) and, per channel, the most transactions in flight at one
// moment, which tells whether a program kept to its limit per channel.
#pragma once

#include <QHash>
#include <QString>
#include <QVector>

namespace lnssim {

// Network settings holding the figures of the last program run that worked
// on devices in work lanes: its modelled wall time (microseconds) and the most
// transactions in flight on one channel.
inline const QString kRunWallSetting = QStringLiteral("run_wall_us");
inline const QString kRunPeakInFlightSetting = QStringLiteral("run_peak_in_flight");

class ChannelTimeline
{
public:
    // The time line of one network file in this process.
    static ChannelTimeline &of(const QString &networkPath);

    // Places a transaction of `micros` on `channelId` in `lane`; returns its end.
    qint64 record(int channelId, int lane, qint64 micros);
    void reset();

    // Modelled wall time since the start (or reset), microseconds.
    qint64 wallMicros() const { return m_wall; }
    // The most transactions in flight at one moment on the channel.
    int peakInFlight(int channelId) const;
    // The same, over every channel.
    int peakInFlight() const;
    // The channel's own time: the sum of its transactions.
    qint64 channelMicros(int channelId) const { return m_busy.value(channelId); }

private:
    struct Span
    {
        qint64 start = 0;
        qint64 end = 0;
    };
    QHash<int, qint64> m_laneClock;
    QHash<int, QVector<Span>> m_spans; // by channel
    QHash<int, qint64> m_busy;         // by channel
    qint64 m_wall = 0;
};

} // namespace lnssim
