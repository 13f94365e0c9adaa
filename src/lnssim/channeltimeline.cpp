#include "channeltimeline.h"

#include <algorithm>
#include <map>
#include <memory>

namespace lnssim {

ChannelTimeline &ChannelTimeline::of(const QString &networkPath)
{
    static std::map<QString, std::unique_ptr<ChannelTimeline>> lines;
    auto &line = lines[networkPath];
    if (!line)
        line = std::make_unique<ChannelTimeline>();
    return *line;
}

qint64 ChannelTimeline::record(int channelId, int lane, qint64 micros)
{
    qint64 &clock = m_laneClock[lane];
    const Span span{clock, clock + std::max<qint64>(0, micros)};
    clock = span.end;
    m_spans[channelId] << span;
    m_busy[channelId] += span.end - span.start;
    m_wall = std::max(m_wall, span.end);
    return span.end;
}

void ChannelTimeline::reset()
{
    *this = ChannelTimeline();
}

int ChannelTimeline::peakInFlight(int channelId) const
{
    // Sweep over the starts and ends; an end at the moment of a start frees
    // the channel first.
    QVector<std::pair<qint64, int>> events;
    for (const Span &s : m_spans.value(channelId)) {
        if (s.end == s.start)
            continue;
        events << std::make_pair(s.start, 1) << std::make_pair(s.end, -1);
    }
    std::sort(events.begin(), events.end());
    int now = 0, peak = 0;
    for (const auto &e : events) {
        now += e.second;
        peak = std::max(peak, now);
    }
    return peak;
}

int ChannelTimeline::peakInFlight() const
{
    int peak = 0;
    for (auto it = m_spans.constBegin(); it != m_spans.constEnd(); ++it)
        peak = std::max(peak, peakInFlight(it.key()));
    return peak;
}

} // namespace lnssim
