#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::device {

// Every frame from the sensor: type byte, u16 payload length, payload.
constexpr std::size_t frameHeaderLength = 3;
constexpr std::size_t maxPayloadLength = 300;
constexpr std::size_t maxFrameLength = frameHeaderLength + maxPayloadLength;

constexpr char statusFrameType = 'S';
constexpr char infoFrameType = 'i';
constexpr char dataFrameType = 'D';

// A data frame: fixed fields up to offset 21, then one 16-byte record per harmonic.
constexpr std::size_t dataFrameFixedLength = 21;
constexpr std::size_t harmonicRecordLength = 16;
constexpr int maxHarmonics = 16;

// Where the first frame held in a receive buffer ends.
struct FrameBoundary
{
    enum Kind { NeedMore, Oversize, Complete };
    Kind kind;
    std::size_t length; // header plus payload, when Complete
};
FrameBoundary findFrame(const unsigned char* bytes, std::size_t count);

std::vector<unsigned char> encodeFrame(char type, const unsigned char* payload, std::size_t length);

struct Harmonic
{
    float VR = 0, Vi = 0, Ir = 0, Ii = 0;
};

struct DataFrame
{
    std::uint16_t position = 0;
    std::uint8_t mode = 0;
    std::uint16_t scan = 0;
    std::uint16_t word8 = 0;
    std::uint16_t word10 = 0;
    std::int32_t delayTicks = 0;
    std::int8_t harmonicCount = 0; // the count byte as sent
    float freq = 0;
    // Records decoded: the count byte held to 0..16 and to the records the frame
    // actually carries. Not used when encoding.
    int recordCount = 0;
    std::array<Harmonic, maxHarmonics> harmonics{};
};

// Decodes a whole data frame, header included. Returns nothing when the frame
// is shorter than its fixed fields; a count byte above 16, negative, or beyond
// the records present is cut to what can be decoded safely.
std::optional<DataFrame> decodeDataFrame(const unsigned char* frame, std::size_t length);

// Encodes `harmonicCount` as the count byte and that many records (held to 0..16).
std::vector<unsigned char> encodeDataFrame(const DataFrame& frame);

struct StatusReply
{
    std::optional<char> letter;          // absent when the payload is empty
    std::optional<std::uint16_t> value;  // carried by an 'N' reply only
};
StatusReply parseStatusReply(const unsigned char* payload, std::size_t length);
std::vector<unsigned char> encodeStatusReply(char letter, std::uint16_t value = 0);

// The longest texts the device object keeps (its buffers hold a terminating NUL too).
constexpr std::size_t infoTextCapacity = 255;
constexpr std::size_t firmwareTokenCapacity = 9;

struct InfoReply
{
    std::string text;                         // up to the first NUL, cut to infoTextCapacity
    std::optional<std::string> firmwareToken; // fifth space-separated word, cut to firmwareTokenCapacity
    std::optional<bool> fastClock;            // set only by a firmware word that tells the clock
};
InfoReply parseInfoReply(const unsigned char* payload, std::size_t length);
std::vector<unsigned char> encodeInfoReply(std::string_view text);

} // namespace orvel::device
