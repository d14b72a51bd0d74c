#pragma once

#include <cstdint>

namespace orvel::device {

// The sensor counts time in ticks of one of two clocks; the firmware word of
// its info reply says which one it runs (see parseInfoReply).
constexpr double slowTickFactor = 12.606061; // ticks per microsecond
constexpr double fastTickFactor = 39.619047;

inline double tickFactor(bool fastClock) { return fastClock ? fastTickFactor : slowTickFactor; }

// Microseconds to ticks as the sensor firmware expects them: the product in
// extended precision, rounded to single precision, truncated toward zero to
// 64 bits, of which the low 32 bits are sent.
std::uint32_t microsecondsToTicks(std::uint32_t microseconds, double factor);

// Ticks to whole microseconds: the quotient rounded to single precision, then
// truncated toward zero.
int ticksToMicroseconds(std::int32_t ticks, double factor);

// A read timeout in milliseconds scaled by the tick factor through a single
// precision float and truncated, held within the range of int.
int scaledTimeout(int milliseconds, double factor);

} // namespace orvel::device
