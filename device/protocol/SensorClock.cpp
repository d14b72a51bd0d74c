#include "protocol/SensorClock.h"

#include <climits>

namespace orvel::device {

namespace {

// float -> int conversion is undefined outside the target range, so clamp first.
int truncateToInt(float value)
{
    if (!(value > static_cast<float>(INT_MIN)))
        return INT_MIN;
    if (value >= static_cast<float>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

} // namespace

std::uint32_t microsecondsToTicks(std::uint32_t microseconds, double factor)
{
    const float rounded = static_cast<float>(static_cast<long double>(microseconds) * factor);
    // Any u32 times a factor below 2^32 stays far inside int64.
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(rounded));
}

int ticksToMicroseconds(std::int32_t ticks, double factor)
{
    return truncateToInt(static_cast<float>(ticks / factor));
}

int scaledTimeout(int milliseconds, double factor)
{
    return truncateToInt(static_cast<float>(milliseconds * factor));
}

} // namespace orvel::device
