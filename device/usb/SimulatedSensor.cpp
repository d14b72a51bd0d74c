#include "usb/SimulatedSensor.h"

#include "protocol/SensorFrames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel::device {

ScriptedSensor::ScriptedSensor() = default;

void ScriptedSensor::setStatus(char letter, std::uint16_t value)
{
    std::lock_guard<std::mutex> guard(mutex_);
    statusLetter_ = letter;
    statusValue_ = value;
}

char ScriptedSensor::statusLetter() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return statusLetter_;
}

void ScriptedSensor::setInfoLine(std::string line)
{
    std::lock_guard<std::mutex> guard(mutex_);
    infoLine_ = std::move(line);
}

void ScriptedSensor::setSilent(bool silent)
{
    std::lock_guard<std::mutex> guard(mutex_);
    silent_ = silent;
}

void ScriptedSensor::setGoResponse(std::vector<unsigned char> bytes)
{
    std::lock_guard<std::mutex> guard(mutex_);
    goResponse_ = std::move(bytes);
}

void ScriptedSensor::setWaitOnTimeout(bool wait)
{
    std::lock_guard<std::mutex> guard(mutex_);
    waitOnTimeout_ = wait;
}

void ScriptedSensor::queue(std::vector<unsigned char> bytes)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pending_ += bytes.size();
        stream_.push_back(std::move(bytes));
    }
    bytesQueued_.notify_all();
}

void ScriptedSensor::queuePause()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++pauses_;
        stream_.emplace_back(); // an empty entry marks the pause
    }
    bytesQueued_.notify_all();
}

std::size_t ScriptedSensor::pendingBytes() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return pending_;
}

std::vector<std::vector<unsigned char>> ScriptedSensor::receivedFrames() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

void ScriptedSensor::receive(const unsigned char* bytes, std::size_t length)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        received_.emplace_back(bytes, bytes + length);
        if (silent_ || length == 0)
            return;
    }
    // What became due before this frame arrived goes out before its answer.
    releaseDue(Clock::now());
    switch (bytes[0]) {
    case 'S':
        queue(statusReply());
        break;
    case 'i':
        queue(infoReply());
        break;
    case 'G':
        answerGo();
        break;
    case 'E':
        answerEnd();
        break;
    case 'M':
        answerMode(bytes, length);
        break;
    default:
        break;
    }
}

std::vector<unsigned char> ScriptedSensor::statusReply() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return encodeStatusReply(statusLetter_, statusValue_);
}

std::vector<unsigned char> ScriptedSensor::infoReply() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return encodeInfoReply(infoLine_);
}

void ScriptedSensor::answerGo()
{
    std::vector<unsigned char> bytes;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        bytes = goResponse_;
    }
    queue(std::move(bytes));
}

std::size_t ScriptedSensor::transmit(unsigned char* out, std::size_t capacity, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        lock.unlock();
        const Clock::time_point now = Clock::now();
        const std::optional<Clock::time_point> nextDue = releaseDue(now);
        lock.lock();
        if (readable() || !waitOnTimeout_ || now >= deadline)
            break;
        // Wake for bytes queued by another thread, or when the next ones fall due.
        const Clock::time_point wake = nextDue ? std::min(*nextDue, deadline) : deadline;
        bytesQueued_.wait_until(lock, wake, [this] { return readable(); });
    }
    return takeQueued(out, capacity);
}

std::size_t ScriptedSensor::takeQueued(unsigned char* out, std::size_t capacity)
{
    std::size_t copied = 0;
    while (copied < capacity && !stream_.empty()) {
        const std::vector<unsigned char>& front = stream_.front();
        if (front.empty()) { // a pause
            if (copied == 0) {
                stream_.pop_front();
                --pauses_;
            }
            break;
        }
        const std::size_t count = std::min(capacity - copied, front.size() - frontOffset_);
        std::memcpy(out + copied, front.data() + frontOffset_, count);
        copied += count;
        frontOffset_ += count;
        if (frontOffset_ == front.size()) {
            stream_.pop_front();
            frontOffset_ = 0;
        }
    }
    pending_ -= copied;
    return copied;
}

namespace {

// The whole of a regular file. A FIFO or device under the name is refused at
// once: opening one for reading could wait forever for a writer, and reading
// one could go on forever.
bool readRegularFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat status{};
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (ok)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    unsigned char buffer[65536];
    for (ssize_t got = 1; ok && got != 0;) {
        got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        ok = got >= 0 || errno == EINTR;
    }
    ::close(fd);
    return ok;
}

} // namespace

ReplaySensor::ReplaySensor(const std::string& path)
{
    std::vector<unsigned char> bytes;
    loaded_ = readRegularFile(path, bytes);
    if (loaded_)
        setGoResponse(std::move(bytes));
}

} // namespace orvel::device
