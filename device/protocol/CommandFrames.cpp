#include "protocol/CommandFrames.h"

#include "protocol/ByteCursor.h"
#include "protocol/SensorClock.h"

#include <algorithm>

namespace orvel::device {

namespace {

CommandFrame frameOf(unsigned char first, unsigned char second = 0)
{
    CommandFrame frame{};
    frame[0] = first;
    frame[1] = second;
    return frame;
}

} // namespace

CommandFrame goFrame() { return frameOf('G'); }
CommandFrame endFrame() { return frameOf('E'); }
CommandFrame statusRequestFrame() { return frameOf('S'); }
CommandFrame infoRequestFrame() { return frameOf('i'); }

CommandFrame averagedModeFrame(std::uint16_t scans, std::uint32_t integrationTime)
{
    CommandFrame frame = frameOf('M', 'A');
    storeU16(&frame[2], scans);
    storeU32(&frame[4], std::min(integrationTime, maxIntegrationTime));
    return frame;
}

CommandFrame timeResolvedModeFrame(std::uint16_t scans, std::uint32_t value, std::uint32_t start,
                                   std::uint32_t period, std::uint32_t resolution, double tickFactor)
{
    CommandFrame frame = frameOf('M', 'R');
    storeU16(&frame[2], scans);
    storeU32(&frame[4], microsecondsToTicks(start, tickFactor));
    storeU32(&frame[8], microsecondsToTicks(period, tickFactor));
    storeU32(&frame[12], value);
    storeU32(&frame[16], microsecondsToTicks(resolution, tickFactor));
    return frame;
}

} // namespace orvel::device
