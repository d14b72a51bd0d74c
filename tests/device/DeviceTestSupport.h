#pragma once

// Helpers shared by the device library's tests: a simulated bus installed for
// one test, sensors opened with automatic cleanup, data frames numbered so a
// receiver can tell them apart, stdout capture, and a second process that
// holds a device lock.

#include "orvelDevice.h"
#include "protocol/SensorFrames.h"
#include "usb/SimulatedBus.h"

#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvel::device::testing {

// Points XDG_RUNTIME_DIR at a directory of this test run alone, so lock files
// of earlier runs or of other programs never count.
class PrivateRuntimeDir
{
public:
    PrivateRuntimeDir() { ::setenv("XDG_RUNTIME_DIR", dir_.path().toUtf8().constData(), 1); }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Installs a fresh simulated bus for the lifetime of the scope.
class BusScope
{
public:
    BusScope() : bus(std::make_shared<SimulatedBus>()) { installBus(bus); }
    ~BusScope() { installBus(std::make_shared<SimulatedBus>()); }

    // Adds a scripted sensor; read timeouts of the simulated link are real
    // waits unless `waitOnTimeout` is false.
    std::shared_ptr<SimulatedDevice> add(const std::string& serial, std::shared_ptr<ScriptedSensor>* sensor = nullptr,
                                         bool waitOnTimeout = true)
    {
        auto scripted = std::make_shared<ScriptedSensor>();
        scripted->setWaitOnTimeout(waitOnTimeout);
        if (sensor)
            *sensor = scripted;
        return bus->addDevice(serial, scripted);
    }

    std::shared_ptr<SimulatedBus> bus;
};

inline std::unique_ptr<orvelDevice> open(const std::string& serial)
{
    std::vector<char> copy(serial.begin(), serial.end());
    copy.push_back('\0');
    return std::unique_ptr<orvelDevice>(orvelDevice::openDevice(copy.data()));
}

// A data frame whose fields and values all derive from `sequence`.
inline DataFrame numberedFrame(int sequence, int harmonics = maxHarmonics)
{
    DataFrame frame;
    frame.position = static_cast<std::uint16_t>(sequence % 7);
    frame.mode = static_cast<std::uint8_t>(sequence % 3);
    frame.scan = static_cast<std::uint16_t>(sequence & 0xFFFF);
    frame.word8 = static_cast<std::uint16_t>(sequence >> 16);
    frame.word10 = 0xBEEF;
    frame.delayTicks = 12607;
    frame.harmonicCount = static_cast<std::int8_t>(harmonics);
    frame.freq = 100000.0f + static_cast<float>(sequence);
    for (int k = 0; k < maxHarmonics; ++k)
        frame.harmonics[k] = {static_cast<float>(sequence) + k * 0.25f, -k * 1.5f, k * 0.001f, static_cast<float>(-sequence)};
    return frame;
}

inline std::vector<unsigned char> concat(const std::vector<std::vector<unsigned char>>& parts)
{
    std::vector<unsigned char> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The outputs of one getSensorData call.
struct Received
{
    int result = 0;
    int position = -1, scan = -1, word8 = -1, word10 = -1, delay = -1, harmonics = -1;
    unsigned char mode = 0xFF;
    double freq = -1;
    static constexpr double untouched = -999.0;
    double VR[16], Vi[16], Ir[16], Ii[16];

    Received()
    {
        for (int k = 0; k < 16; ++k)
            VR[k] = Vi[k] = Ir[k] = Ii[k] = untouched;
    }
};

inline Received receive(orvelDevice& device)
{
    Received r;
    r.result = device.getSensorData(r.position, r.mode, r.scan, r.word8, r.word10, r.delay, r.harmonics, r.freq, r.VR,
                                    r.Vi, r.Ir, r.Ii);
    return r;
}

// Collects what is written to standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        file_ = std::tmpfile();
        ::dup2(::fileno(file_), STDOUT_FILENO);
    }
    ~StdoutCapture()
    {
        restore();
        std::fclose(file_);
    }

    std::string text()
    {
        restore();
        std::string all;
        std::rewind(file_);
        char chunk[256];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0)
            all.append(chunk, n);
        return all;
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

// A second process that takes the exclusive lock on `path` and holds it until
// it is killed. The child uses only system calls, so forking a test process
// is safe.
class LockHolder
{
public:
    explicit LockHolder(const std::string& path)
    {
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            const char answer = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'L' : 'F';
            if (::write(ready[1], &answer, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char answer = 0;
        locked_ = ::read(ready[0], &answer, 1) == 1 && answer == 'L';
        ::close(ready[0]);
    }
    ~LockHolder() { kill(); }

    bool locked() const { return locked_; }

    void kill()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

} // namespace orvel::device::testing
