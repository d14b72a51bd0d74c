#pragma once

#include <array>
#include <cstdint>

namespace orvel::device {

// Every command to the sensor is one 32-byte frame on bulk OUT endpoint 0x01,
// zero-filled except for its fields.
constexpr int commandFrameSize = 32;
using CommandFrame = std::array<unsigned char, commandFrameSize>;

// The longest integration time the sensor accepts in an averaged scan.
constexpr std::uint32_t maxIntegrationTime = 10000;

CommandFrame goFrame();
CommandFrame endFrame();
CommandFrame statusRequestFrame();
CommandFrame infoRequestFrame();

// "MA": averaged scan of `scans` sweeps with the integration time clamped.
CommandFrame averagedModeFrame(std::uint16_t scans, std::uint32_t integrationTime);

// "MR": time-resolved scan; start, period and resolution are microseconds
// converted to ticks with `tickFactor`, `value` is sent as given.
CommandFrame timeResolvedModeFrame(std::uint16_t scans, std::uint32_t value, std::uint32_t start,
                                   std::uint32_t period, std::uint32_t resolution, double tickFactor);

} // namespace orvel::device
