#include "worklanes.h"

#include <platform/tracelog.h>

#include <atomic>

namespace lns {

namespace {
std::atomic<int> g_lane{0};
}

void setWorkLane(int lane)
{
    g_lane = lane < 0 ? 0 : lane;
}

int workLane()
{
    return g_lane;
}

int ChannelLanes::laneFor(const QString &channel)
{
    auto at = m_index.constFind(channel);
    if (at == m_index.constEnd())
        at = m_index.insert(channel, m_index.size());
    const int slot = m_used[channel]++ % m_perChannel;
    return 1 + *at * m_perChannel + slot;
}

QString laneChannelOf(const AppDevicePtr &device, const QString &where)
{
    if (!device)
        return QString();
    try {
        return device->channel();
    } catch (const LnsError &e) {
        platform::traceCaughtError(where, e.number(), e.description());
        return QString();
    }
}

} // namespace lns
