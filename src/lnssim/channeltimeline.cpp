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
    LaneSpans &lanes = m_spans[channelId];
    // An empty span occupies the channel at no moment.
    if (span.end > span.start) {
        int &peak = m_peak[channelId];
        peak = std::max(peak, inFlightDuring(lanes, lane, span));
        lanes[lane] << span;
    }
    m_busy[channelId] += span.end - span.start;
    m_wall = std::max(m_wall, span.end);
    return span.end;
}

int ChannelTimeline::inFlightDuring(const LaneSpans &lanes, int lane, const Span &span)
{
    // Spans are half open: an end at the moment of a start frees the channel
    // first. The count only rises at a start, so the most in flight during
    // `span` is found at its own start or at a start of another lane's span
    // inside it. A lane's spans follow one another, so each lane holds at
    // most one span at a moment, found by a binary search.
    const auto byStart = [](const Span &s, qint64 t) { return s.start < t; };
    const auto holds = [&byStart](const QVector<Span> &spans, qint64 t) {
        auto after = std::lower_bound(spans.begin(), spans.end(), t + 1, byStart);
        return after != spans.begin() && t < (after - 1)->end;
    };
    QVector<qint64> moments{span.start};
    for (auto it = lanes.constBegin(); it != lanes.constEnd(); ++it) {
        if (it.key() == lane)
            continue;
        for (auto s = std::lower_bound(it->begin(), it->end(), span.start + 1, byStart);
             s != it->end() && s->start < span.end; ++s)
            moments << s->start;
    }
    int most = 0;
    for (const qint64 t : qAsConst(moments)) {
        int now = 1;
        for (auto it = lanes.constBegin(); it != lanes.constEnd(); ++it)
            now += it.key() != lane && holds(*it, t) ? 1 : 0;
        most = std::max(most, now);
    }
    return most;
}

void ChannelTimeline::reset()
{
    *this = ChannelTimeline();
}

int ChannelTimeline::peakInFlight(int channelId) const
{
    return m_peak.value(channelId);
}

int ChannelTimeline::peakInFlight() const
{
    int peak = 0;
    for (const int p : m_peak)
        peak = std::max(peak, p);
    return peak;
}

} // namespace lnssim
