// Work that overlaps on several channels.
//
// A program that works on devices of different channels at once (a copy to
// many controllers) names, before each piece of work, the lane it belongs
// to: the calls of one lane follow one another, lanes run side by side. The
// program decides how many lanes share a channel, which is how many
// transactions it allows in flight there. An object server whose calls
// block the caller may ignore the lane; the simulated one places every
// device transaction of a lane after that lane's previous one in its
// modelled channel time, so that a run's modelled wall time is what the
// overlap gives.
#pragma once

#include "lnsobjects.h"

#include <QHash>
#include <QString>

namespace lns {

// The most lanes a program gives one channel.
constexpr int kMaxLanesPerChannel = 16;

// Lane 0 is the caller's own, where everything runs unless a lane is named.
void setWorkLane(int lane);
int workLane();

// Puts the caller back on its own lane (0) when a run ends, however it ends.
struct WorkLaneReset
{
    WorkLaneReset() = default;
    WorkLaneReset(const WorkLaneReset &) = delete;
    WorkLaneReset &operator=(const WorkLaneReset &) = delete;
    ~WorkLaneReset() { setWorkLane(0); }
};

// The channel a device sits on, which chooses its lane; empty (every such
// device on one lane) when the object server cannot tell. `where` names the
// caller in the trace line of that failure.
QString laneChannelOf(const AppDevicePtr &device, const QString &where);

// Lanes for work on devices by channel: each channel gets `perChannel`
// lanes of its own (never 0), and the devices of a channel take them in
// turn, so at most `perChannel` transactions are in flight there.
class ChannelLanes
{
public:
    explicit ChannelLanes(int perChannel = 1) : m_perChannel(perChannel < 1 ? 1 : perChannel) {}
    int laneFor(const QString &channel);

private:
    int m_perChannel;
    QHash<QString, int> m_index;
    QHash<QString, int> m_used;
};

} // namespace lns
