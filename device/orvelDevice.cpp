#include "orvelDevice.h"

#include "lock/DeviceLock.h"
#include "protocol/ByteCursor.h"
#include "protocol/CommandFrames.h"
#include "protocol/SensorClock.h"
#include "protocol/SensorFrames.h"
#include "usb/UsbBus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include <usb.h>

using namespace orvel::device;

namespace {

// A reception pass reads until more than this many bytes are held.
constexpr int rxHighWater = 999;

// How long opening waits at most for a sensor left streaming to fall silent.
constexpr std::chrono::milliseconds drainLimit{1000};

using SerialBuffer = char[sizeof device_item::serial];

// Discovery and opening read the serial the same way, so every serial that is
// listed can also be opened. A device without a serial descriptor, or whose
// read fails, gets an empty serial.
void readSerial(UsbHandle& handle, const struct usb_device* device, SerialBuffer& serial)
{
    std::memset(serial, 0, sizeof serial);
    const int index = device->descriptor.iSerialNumber;
    if (index == 0)
        return;
    if (handle.getStringSimple(index, serial, sizeof serial) < 0)
        std::memset(serial, 0, sizeof serial);
    serial[sizeof serial - 1] = '\0';
}

} // namespace

void orvelDevice::getDeviceList(std::vector<device_item>& list)
{
    list.clear();
    for (struct usb_device* device : currentBus()->findDevices()) {
        device_item item{};
        item.device = device;
        checkDevice(item);
        list.push_back(item);
    }
}

bool orvelDevice::checkDevice(device_item& item)
{
    std::memset(item.serial, 0, sizeof item.serial);
    if (item.device) {
        if (const auto handle = currentBus()->open(item.device))
            readSerial(*handle, item.device, item.serial);
    }
    item.available = probeDeviceLock(item.serial) == LockState::Free ? 1 : 0;
    return true;
}

orvelDevice* orvelDevice::openDevice(char* serial)
{
    // Discovery reports serials of 1 to 19 characters; nothing else can match,
    // and an empty serial would match any device that has none.
    if (!serial || serial[0] == '\0' || ::strnlen(serial, sizeof device_item::serial) == sizeof device_item::serial)
        return nullptr;
    auto lock = DeviceLock::acquire(serial);
    if (!lock)
        return nullptr; // in use, by this process or another

    const auto bus = currentBus();
    for (struct usb_device* device : bus->findDevices()) {
        auto handle = bus->open(device);
        if (!handle)
            continue;
        device_item found{};
        found.device = device;
        readSerial(*handle, device, found.serial);
        if (std::strcmp(found.serial, serial) != 0)
            continue; // the handle closes here

        std::unique_ptr<orvelDevice> sensor(new orvelDevice(std::move(handle), std::move(lock), found));
        if (!sensor->setupDevice() || !sensor->initialise())
            return nullptr;
        return sensor.release();
    }
    return nullptr;
}

orvelDevice::orvelDevice(std::unique_ptr<UsbHandle> handle, std::unique_ptr<DeviceLock> lock, const device_item& found)
    : infoText{}, item(found), usbHandle(std::move(handle)), lockHandle(std::move(lock))
{
    static_assert(sizeof infoText == infoTextCapacity + 1, "infoText holds the longest kept text and its NUL");
    static_assert(sizeof firmwareToken == firmwareTokenCapacity + 1, "firmwareToken holds its word and a NUL");
    static_assert(sizeof rxBuffer >= rxHighWater + readRequestSize, "a pass never overruns the receive buffer");
    item.available = 0;
}

orvelDevice::~orvelDevice()
{
    closeDevice();
}

void orvelDevice::closeDevice()
{
    // Taking both locks lets a close wait for a transfer running on the other
    // thread instead of pulling the handle from under it.
    std::scoped_lock both(writeLock, readLock);
    if (!isOpen)
        return;
    // The USB handle goes first, so whoever sees the lock free can claim the interface.
    usbHandle.reset();
    lockHandle.reset();
    isOpen = false;
}

bool orvelDevice::setupDevice()
{
    if (usbHandle->setConfiguration(1) < 0)
        return false;
    return usbHandle->claimInterface(0) >= 0;
}

// A sensor that a program closed in the middle of a scan, or that outlived a
// crashed one, is still streaming, and the first bytes it holds may be the
// rest of a frame that the last read cut: read as a frame start they would
// swallow the info reply. The end frame stops it, and what it still sends is
// read and dropped before it is asked for its identity.
bool orvelDevice::initialise()
{
    endCommand();
    if (!drainStream())
        return false;
    sendFrame(infoRequestFrame());
    sendFrame(statusRequestFrame());
    if (getData() < 0)
        return false;
    std::lock_guard<std::mutex> guard(readLock);
    return infoReceived;
}

// Reads until a read finds nothing within the read timeout, or the time
// allowed has passed (a sensor that goes on sending is then left to the info
// exchange that follows). False on a read error.
bool orvelDevice::drainStream()
{
    std::lock_guard<std::mutex> guard(readLock);
    const auto deadline = std::chrono::steady_clock::now() + drainLimit;
    char dropped[readRequestSize];
    while (std::chrono::steady_clock::now() < deadline) {
        const int result = usbHandle->bulkRead(replyEndpoint, dropped, readRequestSize, readTimeout);
        if (result == -ETIMEDOUT)
            return true;
        if (result < 0)
            return false;
    }
    return true;
}

bool orvelDevice::write(char* data, unsigned length)
{
    if (length > static_cast<unsigned>(INT_MAX))
        return false;
    std::lock_guard<std::mutex> guard(writeLock);
    if (!usbHandle)
        return false;
    return usbHandle->bulkWrite(commandEndpoint, data, static_cast<int>(length), commandTimeoutMs) >= 0;
}

bool orvelDevice::sendFrame(CommandFrame frame)
{
    return write(reinterpret_cast<char*>(frame.data()), static_cast<unsigned>(frame.size()));
}

int orvelDevice::poll_device()
{
    if (!usbHandle)
        return -1;
    const int heldBefore = rxCount;
    int failure = 0;
    while (rxCount <= rxHighWater) {
        const int result = usbHandle->bulkRead(replyEndpoint, reinterpret_cast<char*>(rxBuffer + rxCount),
                                               readRequestSize, readTimeout);
        if (result < 0) {
            failure = result;
            break;
        }
        rxCount += std::min(result, readRequestSize);
    }
    if (rxCount > rxHighWater || failure == -ETIMEDOUT)
        return rxCount;
    // A read error ends the pass. Bytes that arrived before it are still cut
    // and dispatched; but bytes held from earlier passes are only the start of
    // a frame, and must not hide the error of a sensor that is gone.
    return rxCount > heldBefore ? rxCount : -1;
}

int orvelDevice::updateStatus()
{
    sendFrame(statusRequestFrame());
    if (getData() < 0)
        return -1;
    std::lock_guard<std::mutex> guard(readLock);
    return static_cast<unsigned char>(statusCode);
}

bool orvelDevice::modeCommand(unsigned short scans, unsigned time)
{
    return sendFrame(averagedModeFrame(scans, time));
}

bool orvelDevice::modeCommand(unsigned short scans, unsigned value, unsigned start, unsigned period, unsigned resolution)
{
    double factor;
    {
        std::lock_guard<std::mutex> guard(readLock);
        factor = tickFactor();
    }
    return sendFrame(timeResolvedModeFrame(scans, value, start, period, resolution, factor));
}

bool orvelDevice::goCommand()
{
    return sendFrame(goFrame());
}

bool orvelDevice::endCommand()
{
    return sendFrame(endFrame());
}

bool orvelDevice::setDelays(int ms)
{
    std::lock_guard<std::mutex> guard(readLock);
    readTimeout = scaledTimeout(ms, tickFactor());
    return true;
}

bool orvelDevice::isScanning()
{
    return false;
}

void orvelDevice::setIntToBytes(char* out, unsigned value)
{
    storeU32(reinterpret_cast<unsigned char*>(out), value);
}

void orvelDevice::setShortIntToBytes(char* out, unsigned short value)
{
    storeU16(reinterpret_cast<unsigned char*>(out), value);
}

void orvelDevice::setLongIntToBytes(char* out, unsigned long value)
{
    storeU32(reinterpret_cast<unsigned char*>(out), static_cast<std::uint32_t>(value));
}

double orvelDevice::tickFactor() const
{
    return orvel::device::tickFactor(fastClock);
}

bool orvelDevice::getPacket(unsigned char* out, int& length)
{
    const FrameBoundary frame = findFrame(rxBuffer, static_cast<std::size_t>(rxCount));
    if (frame.kind == FrameBoundary::Oversize) {
        std::printf("INVALID PACKET DUMPING STACK\n");
        rxCount = 0;
        return false;
    }
    if (frame.kind == FrameBoundary::NeedMore)
        return false;
    const int frameLength = static_cast<int>(frame.length);
    std::memcpy(out, rxBuffer, frame.length);
    length = frameLength;
    std::memmove(rxBuffer, rxBuffer + frameLength, static_cast<std::size_t>(rxCount - frameLength));
    rxCount -= frameLength;
    return true;
}

bool orvelDevice::parseBuffer(char* frame, int length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
    const std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
    const std::size_t header = static_cast<std::size_t>(headerLength);
    const char type = size >= header ? frame[0] : '\0';
    switch (type) {
    case statusFrameType:
        parseStatus(bytes + header, size - header);
        break;
    case infoFrameType:
        parseInfo(bytes + header, size - header);
        break;
    case dataFrameType:
        // Only frames that hold every fixed field are queued for decoding.
        if (size >= dataFrameFixedLength) {
            dataFrames.emplace_back(bytes, bytes + size);
            break;
        }
        [[fallthrough]];
    default:
        std::printf("Parsing :Error case\n");
        break;
    }
    return true;
}

void orvelDevice::parseStatus(const unsigned char* payload, std::size_t length)
{
    const StatusReply reply = parseStatusReply(payload, length);
    if (reply.letter)
        statusCode = *reply.letter;
    if (reply.value)
        statusValue = *reply.value;
}

void orvelDevice::parseInfo(const unsigned char* payload, std::size_t length)
{
    const InfoReply reply = parseInfoReply(payload, length);
    std::memset(infoText, 0, sizeof infoText);
    std::memcpy(infoText, reply.text.data(), reply.text.size());
    if (reply.firmwareToken) {
        std::memset(firmwareToken, 0, sizeof firmwareToken);
        std::memcpy(firmwareToken, reply.firmwareToken->data(), reply.firmwareToken->size());
    }
    if (reply.fastClock)
        fastClock = *reply.fastClock;
    infoReceived = true;
}

int orvelDevice::getData()
{
    int polled;
    {
        std::lock_guard<std::mutex> guard(readLock);
        polled = poll_device();
    }
    if (polled <= 0)
        return polled;
    unsigned char packet[readRequestSize];
    for (;;) {
        std::lock_guard<std::mutex> guard(readLock);
        int length = 0;
        if (!getPacket(packet, length))
            return 1;
        parseBuffer(reinterpret_cast<char*>(packet), length);
    }
}

bool orvelDevice::takeQueuedFrame(std::vector<unsigned char>& frame, double& factor)
{
    std::lock_guard<std::mutex> guard(readLock);
    if (dataFrames.empty())
        return false;
    frame = std::move(dataFrames.front());
    dataFrames.pop_front();
    factor = tickFactor();
    return true;
}

int orvelDevice::getSensorData(int& position, unsigned char& mode, int& scan, int& word8, int& word10, int& delay,
                               int& harmonics, double& freq, double* VR, double* Vi, double* Ir, double* Ii)
{
    std::vector<unsigned char> frame;
    double factor;
    // A frame already received is handed out before the bus is polled again.
    // A reception pass reads ahead several frames but each call hands out one:
    // polling first would make every queued frame wait out a read timeout, so
    // the worker fell further behind the sensor with every pass, and a lost
    // sensor would take the frames it had already delivered down with it.
    if (!takeQueuedFrame(frame, factor)) {
        if (getData() < 0)
            return -1;
        if (!takeQueuedFrame(frame, factor))
            return 0;
    }
    const std::optional<DataFrame> decoded = decodeDataFrame(frame.data(), frame.size());
    if (!decoded)
        return 0; // never queued: dispatch keeps only frames with every fixed field

    position = decoded->position;
    mode = decoded->mode;
    scan = decoded->scan;
    word8 = decoded->word8;
    word10 = decoded->word10;
    delay = ticksToMicroseconds(decoded->delayTicks, factor);
    harmonics = decoded->recordCount;
    freq = decoded->freq;
    for (int k = 0; k < decoded->recordCount; ++k) {
        const Harmonic& h = decoded->harmonics[k];
        VR[k] = h.VR;
        Vi[k] = h.Vi;
        Ir[k] = h.Ir;
        Ii[k] = h.Ii;
    }
    return 1;
}
