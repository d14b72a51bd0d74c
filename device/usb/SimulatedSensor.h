#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvel::device {

// The sensor behind a simulated device: what it does with the frames written
// to it and which bytes it answers on its IN endpoint. Implementations are
// called from any thread.
class SimulatedSensor
{
public:
    virtual ~SimulatedSensor() = default;
    // One bulk OUT transfer.
    virtual void receive(const unsigned char* bytes, std::size_t length) = 0;
    // One bulk IN transfer: up to `capacity` bytes, waiting at most `timeoutMs`
    // for the first of them. Returns the count, 0 when none came in time.
    virtual std::size_t transmit(unsigned char* out, std::size_t capacity, int timeoutMs) = 0;
    // False once the sensor has unplugged itself: its device then behaves as
    // disconnected, for good.
    virtual bool attached() const { return true; }
};

// A sensor that answers the end, info and status requests as a real one does,
// with a configurable status letter and info line, streams a configurable
// answer after each go frame, records every frame written to it, and serves its
// IN stream from a byte queue that tests may also feed directly. Subclasses
// change how it reacts to go, end and mode frames, and may release bytes into
// the stream as time passes (releaseDue).
class ScriptedSensor : public SimulatedSensor
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr const char* defaultInfoLine = "Brisvane Orvel simulated sensor V2.0 SIM";

    ScriptedSensor();

    void setStatus(char letter, std::uint16_t value = 0);
    char statusLetter() const;
    void setInfoLine(std::string line);
    // A silent sensor records frames but answers none of them.
    void setSilent(bool silent);
    // Bytes appended to the IN stream after each go frame.
    void setGoResponse(std::vector<unsigned char> bytes);
    // When false, a read finding nothing returns at once instead of waiting its
    // timeout (benchmarks and tests that expect timeouts).
    void setWaitOnTimeout(bool wait);

    // Appends bytes to the IN stream; a read may take them together with what
    // is queued before and after, or in parts.
    void queue(std::vector<unsigned char> bytes);
    // A pause in the stream: the read that reaches it ends there, and a read
    // that begins at it returns nothing, as if its timeout had run out.
    void queuePause();
    std::size_t pendingBytes() const;
    std::vector<std::vector<unsigned char>> receivedFrames() const;

    void receive(const unsigned char* bytes, std::size_t length) override;
    std::size_t transmit(unsigned char* out, std::size_t capacity, int timeoutMs) override;

protected:
    // Called before every read and every frame received, and again when the
    // time it returned has come, without the sensor's lock held: queues the
    // bytes that have become due by `now`. Returns when more bytes will become
    // due, or nothing when none are scheduled.
    virtual std::optional<Clock::time_point> releaseDue(Clock::time_point /*now*/) { return std::nullopt; }
    virtual void answerGo();
    virtual void answerEnd() {}
    virtual void answerMode(const unsigned char* /*frame*/, std::size_t /*length*/) {}

private:
    std::vector<unsigned char> statusReply() const;
    std::vector<unsigned char> infoReply() const;
    // Called with mutex_ held.
    bool readable() const { return pending_ > 0 || pauses_ > 0; }
    std::size_t takeQueued(unsigned char* out, std::size_t capacity);

    mutable std::mutex mutex_;
    std::condition_variable bytesQueued_;
    std::deque<std::vector<unsigned char>> stream_;
    std::size_t frontOffset_ = 0;
    std::size_t pending_ = 0; // bytes queued, pauses not counted
    std::size_t pauses_ = 0;
    std::vector<std::vector<unsigned char>> received_;
    char statusLetter_ = 'I';
    std::uint16_t statusValue_ = 0;
    std::string infoLine_ = defaultInfoLine;
    std::vector<unsigned char> goResponse_;
    bool silent_ = false;
    bool waitOnTimeout_ = true;
};

// Answers each go frame by streaming the raw bytes of a recorded file.
class ReplaySensor : public ScriptedSensor
{
public:
    explicit ReplaySensor(const std::string& path);
    bool loaded() const { return loaded_; }

private:
    bool loaded_ = false;
};

} // namespace orvel::device
