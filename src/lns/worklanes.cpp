#include "worklanes.h"

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

} // namespace lns
