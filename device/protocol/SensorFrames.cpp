#include "protocol/SensorFrames.h"

#include "protocol/ByteCursor.h"

#include <algorithm>
#include <cstring>

namespace orvel::device {

FrameBoundary findFrame(const unsigned char* bytes, std::size_t count)
{
    if (count < frameHeaderLength)
        return {FrameBoundary::NeedMore, 0};
    // The type byte plays no part in framing: the length alone cuts the stream.
    const std::size_t payloadLength = static_cast<std::size_t>(bytes[1] | bytes[2] << 8);
    if (payloadLength > maxPayloadLength)
        return {FrameBoundary::Oversize, 0};
    const std::size_t length = frameHeaderLength + payloadLength;
    if (count < length)
        return {FrameBoundary::NeedMore, 0};
    return {FrameBoundary::Complete, length};
}

std::vector<unsigned char> encodeFrame(char type, const unsigned char* payload, std::size_t length)
{
    length = std::min(length, maxPayloadLength);
    std::vector<unsigned char> frame(frameHeaderLength + length);
    frame[0] = static_cast<unsigned char>(type);
    storeU16(&frame[1], static_cast<std::uint16_t>(length));
    if (length > 0)
        std::memcpy(&frame[frameHeaderLength], payload, length);
    return frame;
}

std::optional<DataFrame> decodeDataFrame(const unsigned char* frame, std::size_t length)
{
    ByteReader in(frame, length);
    DataFrame out;
    const bool fixedFieldsPresent = in.skip(frameHeaderLength) && in.u16(out.position) && in.u8(out.mode)
        && in.u16(out.scan) && in.u16(out.word8) && in.u16(out.word10) && in.i32(out.delayTicks)
        && in.i8(out.harmonicCount) && in.f32(out.freq);
    if (!fixedFieldsPresent)
        return std::nullopt;

    const int recordsPresent = static_cast<int>(in.remaining() / harmonicRecordLength);
    out.recordCount = std::clamp<int>(out.harmonicCount, 0, std::min(maxHarmonics, recordsPresent));
    for (int k = 0; k < out.recordCount; ++k) {
        Harmonic& h = out.harmonics[k];
        in.f32(h.VR);
        in.f32(h.Vi);
        in.f32(h.Ir);
        in.f32(h.Ii);
    }
    return out;
}

std::vector<unsigned char> encodeDataFrame(const DataFrame& frame)
{
    const int records = std::clamp<int>(frame.harmonicCount, 0, maxHarmonics);
    std::vector<unsigned char> bytes(dataFrameFixedLength + records * harmonicRecordLength);
    unsigned char* p = bytes.data();
    p[0] = static_cast<unsigned char>(dataFrameType);
    storeU16(p + 1, static_cast<std::uint16_t>(bytes.size() - frameHeaderLength));
    storeU16(p + 3, frame.position);
    p[5] = frame.mode;
    storeU16(p + 6, frame.scan);
    storeU16(p + 8, frame.word8);
    storeU16(p + 10, frame.word10);
    storeU32(p + 12, static_cast<std::uint32_t>(frame.delayTicks));
    p[16] = static_cast<unsigned char>(frame.harmonicCount);
    storeF32(p + 17, frame.freq);
    for (int k = 0; k < records; ++k) {
        unsigned char* record = p + dataFrameFixedLength + k * harmonicRecordLength;
        const Harmonic& h = frame.harmonics[k];
        storeF32(record, h.VR);
        storeF32(record + 4, h.Vi);
        storeF32(record + 8, h.Ir);
        storeF32(record + 12, h.Ii);
    }
    return bytes;
}

StatusReply parseStatusReply(const unsigned char* payload, std::size_t length)
{
    ByteReader in(payload, length);
    StatusReply reply;
    std::uint8_t letter;
    if (!in.u8(letter))
        return reply;
    reply.letter = static_cast<char>(letter);
    std::uint16_t value;
    if (letter == 'N' && in.u16(value))
        reply.value = value;
    return reply;
}

std::vector<unsigned char> encodeStatusReply(char letter, std::uint16_t value)
{
    unsigned char payload[3] = {static_cast<unsigned char>(letter), 0, 0};
    storeU16(payload + 1, value);
    return encodeFrame(statusFrameType, payload, letter == 'N' ? 3 : 1);
}

namespace {

// The fifth word of the text, words being separated by single spaces (two
// spaces in a row enclose an empty word).
std::optional<std::string_view> fifthWord(std::string_view text)
{
    constexpr int wanted = 4;
    for (int index = 0;; ++index) {
        const std::size_t space = text.find(' ');
        if (index == wanted)
            return text.substr(0, space);
        if (space == std::string_view::npos)
            return std::nullopt;
        text.remove_prefix(space + 1);
    }
}

// The firmware word's second character tells whether the word names the clock
// at all (above '1'); its fourth then chooses the fast clock (above '0').
std::optional<bool> clockOf(const std::string& token)
{
    const auto at = [&token](std::size_t i) { return i < token.size() ? token[i] : '\0'; };
    if (at(1) > '1')
        return at(3) > '0';
    return std::nullopt;
}

} // namespace

InfoReply parseInfoReply(const unsigned char* payload, std::size_t length)
{
    const auto* chars = reinterpret_cast<const char*>(payload);
    const std::size_t textLength = std::find(chars, chars + length, '\0') - chars;

    InfoReply reply;
    reply.text.assign(chars, std::min(textLength, infoTextCapacity));
    if (const auto word = fifthWord(reply.text)) {
        reply.firmwareToken = std::string(word->substr(0, firmwareTokenCapacity));
        reply.fastClock = clockOf(*reply.firmwareToken);
    }
    return reply;
}

std::vector<unsigned char> encodeInfoReply(std::string_view text)
{
    return encodeFrame(infoFrameType, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

} // namespace orvel::device
