#pragma once

// The sensor device library: discovery and opening of the sensor on the USB
// buses, its command frames, and the reception and decoding of what it sends.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#define ORVEL_DEVICE_API __attribute__((visibility("default")))

struct usb_device;

namespace orvel::device {
class UsbHandle;
class DeviceLock;
struct DeviceInspector;
} // namespace orvel::device

// One enumerated USB device.
struct device_item
{
    unsigned char available;    // 1 while no process holds the sensor's device lock
    struct usb_device* device;  // the bus library's (libusb-0.1) record of the device
    std::uint32_t reserved0;    // always zero
    char serial[20];            // serial string descriptor, NUL-terminated, at most 19 characters
    std::uint32_t reserved1[3]; // always zero
};

// One open sensor. Its operations may be called from two threads at once: bulk
// writes are serialised by one lock, reception and the frame queue by another.
class ORVEL_DEVICE_API orvelDevice
{
public:
    // Lists every device of every bus, available or not.
    static void getDeviceList(std::vector<device_item>& list);
    // Fills item.serial and item.available for item.device; always true.
    static bool checkDevice(device_item& item);
    // The sensor with this serial string, opened, set up and initialised; null
    // when it is in use, not connected, or does not answer.
    static orvelDevice* openDevice(char* serial);

    ~orvelDevice();
    orvelDevice(const orvelDevice&) = delete;
    orvelDevice& operator=(const orvelDevice&) = delete;

    // Releases the device lock and the USB handle; nothing is sent.
    void closeDevice();

    // The sensor's status letter, or -1 after a read error.
    int updateStatus();
    // Averaged scan: `time` is the integration time, at most 10000.
    bool modeCommand(unsigned short scans, unsigned time);
    // Time-resolved scan: start, period and resolution in microseconds.
    bool modeCommand(unsigned short scans, unsigned value, unsigned start, unsigned period, unsigned resolution);
    bool goCommand();
    bool endCommand();

    // One reception pass, then the oldest data frame decoded into the outputs.
    // Returns 1 with a frame, 0 when none is queued (outputs untouched), -1 on
    // a read error. The four arrays hold at least 16 values; only elements
    // below `harmonics` are written.
    int getSensorData(int& position, unsigned char& mode, int& scan, int& word8, int& word10, int& delay,
                      int& harmonics, double& freq, double* VR, double* Vi, double* Ir, double* Ii);

    // One reception pass: 1 when bytes are held, 0 on a timeout with none, -1
    // on a read error.
    int getData();
    // One bulk write of a command; true unless the transfer failed.
    bool write(char* data, unsigned length);
    // Sets the read timeout to ms scaled by the clock's tick factor; always true.
    bool setDelays(int ms);
    // Always false: the scan state is the sensor's status letter.
    bool isScanning();

    // Little-endian stores of 4, 2 and 4 bytes.
    static void setIntToBytes(char* out, unsigned value);
    static void setShortIntToBytes(char* out, unsigned short value);
    static void setLongIntToBytes(char* out, unsigned long value);

    // The sensor's identity line from its last info reply, NUL-terminated.
    char infoText[256];

private:
    friend struct orvel::device::DeviceInspector;

    orvelDevice(std::unique_ptr<orvel::device::UsbHandle> handle, std::unique_ptr<orvel::device::DeviceLock> lock,
                const device_item& found);

    bool setupDevice();
    bool initialise();
    bool drainStream();
    bool sendFrame(std::array<unsigned char, 32> frame);
    int poll_device();
    bool getPacket(unsigned char* out, int& length);
    bool parseBuffer(char* frame, int length);
    void parseStatus(const unsigned char* payload, std::size_t length);
    void parseInfo(const unsigned char* payload, std::size_t length);
    double tickFactor() const;
    // Moves the oldest queued data frame out, with the tick factor to decode it.
    bool takeQueuedFrame(std::vector<unsigned char>& frame, double& factor);

    bool isOpen = true;
    device_item item;
    std::unique_ptr<orvel::device::UsbHandle> usbHandle;
    std::unique_ptr<orvel::device::DeviceLock> lockHandle;
    std::mutex writeLock;
    std::mutex readLock;
    unsigned char rxBuffer[8192] = {};
    int rxCount = 0;
    int headerLength = 3;
    char statusCode = 'U';
    int readTimeout = 50;
    std::uint16_t statusValue = 0;
    char firmwareToken[10] = {};
    bool fastClock = false;
    bool infoReceived = false;
    std::deque<std::vector<unsigned char>> dataFrames;
};

// Calibration tables exported for the library's clients, 32 values each.
extern ORVEL_DEVICE_API const double V200[32];
extern ORVEL_DEVICE_API const double I200[32];
extern ORVEL_DEVICE_API const double V400[32];
extern ORVEL_DEVICE_API const double I400[32];
