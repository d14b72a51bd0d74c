// orvelDevice end to end at its boundary, on the simulated bus: discovery,
// the device lock across processes, opening, command frames as the sensor
// receives them, reception, dispatch, decoding and transport failures.

#include "DeviceInspector.h"
#include "DeviceTestSupport.h"
#include "lock/DeviceLock.h"
#include "protocol/ByteCursor.h"
#include "usb/LibusbBus.h"

#include <QtTest>

#include <sys/stat.h>

#include <cstring>
#include <fstream>

using namespace orvel::device;
using namespace orvel::device::testing;

namespace {

std::uint32_t u32At(const std::vector<unsigned char>& frame, int offset)
{
    std::uint32_t value = 0;
    ByteReader(frame.data() + offset, frame.size() - offset).u32(value);
    return value;
}

std::vector<char> firstLetters(const std::vector<std::vector<unsigned char>>& frames)
{
    std::vector<char> letters;
    for (const auto& frame : frames)
        letters.push_back(frame.empty() ? '\0' : static_cast<char>(frame[0]));
    return letters;
}

std::vector<unsigned char> frameWithLength(char type, std::uint16_t length)
{
    std::vector<unsigned char> frame(3 + std::min<std::size_t>(length, 300), 0);
    frame[0] = static_cast<unsigned char>(type);
    storeU16(&frame[1], length);
    return frame;
}

void verifyFrame(const Received& r, int sequence, int harmonics = maxHarmonics)
{
    const DataFrame sent = numberedFrame(sequence, harmonics);
    QCOMPARE(r.result, 1);
    QCOMPARE(r.scan, int(sent.scan));
    QCOMPARE(r.word8, int(sent.word8));
    QCOMPARE(r.position, int(sent.position));
    QCOMPARE(int(r.mode), int(sent.mode));
    QCOMPARE(r.word10, 0xBEEF);
    QCOMPARE(r.delay, 1000); // 12607 ticks of the slow clock
    QCOMPARE(r.freq, double(sent.freq));
    QCOMPARE(r.harmonics, harmonics);
    for (int k = 0; k < harmonics; ++k) {
        QCOMPARE(r.VR[k], double(sent.harmonics[k].VR));
        QCOMPARE(r.Ii[k], double(sent.harmonics[k].Ii));
    }
}

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void discoveryListsEveryDeviceAndWhichAreHeldElsewhere()
    {
        BusScope scope;
        scope.add("ALPHA01");
        scope.add("BRAVO02");
        scope.add("CHARLIE03");
        scope.add("NOACCESS")->failOpen(true);

        LockHolder other(lockFileTarget("BRAVO02").path);
        QVERIFY(other.locked());

        std::vector<device_item> list(5); // stale entries are dropped
        orvelDevice::getDeviceList(list);
        QCOMPARE(list.size(), std::size_t(4));
        const char* serials[] = {"ALPHA01", "BRAVO02", "CHARLIE03", ""};
        const int available[] = {1, 0, 1, 1};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(QString(list[i].serial), QString(serials[i]));
            QCOMPARE(int(list[i].available), available[i]);
            QVERIFY(list[i].device);
            QCOMPARE(list[i].reserved0, 0u);
        }
        QVERIFY(!open("BRAVO02"));

        other.kill(); // the kernel releases the lock of a dead holder
        orvelDevice::getDeviceList(list);
        QCOMPARE(int(list[1].available), 1);
        QVERIFY(open("BRAVO02"));
    }

    void sameSerialOpensOnceUntilClosed()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto device = scope.add("ALPHA01", &sensor);

        auto first = open("ALPHA01");
        QVERIFY(first);
        QCOMPARE(int(DeviceInspector::item(*first).available), 0);
        QCOMPARE(QString(DeviceInspector::item(*first).serial), QString("ALPHA01"));
        const std::size_t framesAfterOpen = sensor->receivedFrames().size();
        QVERIFY(!open("ALPHA01"));
        QCOMPARE(sensor->receivedFrames().size(), framesAfterOpen); // refused before touching the bus

        device_item item{};
        item.device = device->record();
        orvelDevice::checkDevice(item);
        QCOMPARE(int(item.available), 0); // held by this very process

        first->closeDevice();
        orvelDevice::checkDevice(item);
        QCOMPARE(int(item.available), 1);
        QVERIFY(!first->goCommand()); // a closed device sends nothing
        QCOMPARE(receive(*first).result, -1);
        QVERIFY(open("ALPHA01"));
    }

    void failedOpensReleaseTheLock()
    {
        BusScope scope;
        QVERIFY(!open("LATE01")); // not plugged in yet
        std::shared_ptr<ScriptedSensor> sensor;
        auto device = scope.add("LATE01", &sensor);

        device->failConfiguration(true);
        QVERIFY(!open("LATE01"));
        device->failConfiguration(false);
        device->failClaim(true);
        QVERIFY(!open("LATE01"));
        device->failClaim(false);
        sensor->setSilent(true); // no info reply in the first pass
        QVERIFY(!open("LATE01"));
        sensor->setSilent(false);

        QCOMPARE(probeDeviceLock(lockFileTarget("LATE01")), LockState::Free);
        auto sensorObject = open("LATE01");
        QVERIFY(sensorObject);
        QCOMPARE(QString(sensorObject->infoText), QString(ScriptedSensor::defaultInfoLine));
    }

    void serialsAreReadAlikeWhenListingAndOpening()
    {
        BusScope scope;
        const std::string nineteen = "ABCDEFGHIJKLMNOPQRS";
        const std::string longer = "0123456789012345678901234";
        scope.add(nineteen);
        scope.add(longer);

        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QCOMPARE(std::string(list[0].serial), nineteen);
        QCOMPARE(std::string(list[1].serial), longer.substr(0, 19));
        QVERIFY(open(nineteen)); // a listed serial of 19 characters opens
        QVERIFY(open(list[1].serial));
        QVERIFY(!open(longer)); // no listed serial is that long
    }

    void emptySerialNeverOpensADeviceWithoutOne()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("", &sensor);
        QVERIFY(!open(""));
        QVERIFY(!orvelDevice::openDevice(nullptr));
        QVERIFY(sensor->receivedFrames().empty());
    }

    void commandFramesAsTheSensorReceivesThem()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor);
        auto device = open("ALPHA01");
        QVERIFY(device);

        QVERIFY(device->modeCommand(12, 25000));
        QVERIFY(device->modeCommand(12, 7, 100, 1000, 5));
        QVERIFY(device->goCommand());
        QVERIFY(device->endCommand());
        char raw[32] = {'X'};
        QVERIFY(device->write(raw, 32));

        const auto frames = sensor->receivedFrames();
        QCOMPARE(firstLetters(frames), (std::vector<char>{'E', 'i', 'S', 'M', 'M', 'G', 'E', 'X'}));
        for (const auto& frame : frames)
            QCOMPARE(frame.size(), std::size_t(32));
        QCOMPARE(u32At(frames[3], 4), 10000u);
        QCOMPARE(char(frames[4][1]), 'R');
        QCOMPARE(u32At(frames[4], 4), 1260u);
    }

    void fastClockFromTheInfoReply()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("FAST01", &sensor);
        sensor->setInfoLine("Brisvane probe unit 7 V2.1 rev");
        auto device = open("FAST01");
        QVERIFY(device);
        QVERIFY(DeviceInspector::fastClock(*device));
        QCOMPARE(DeviceInspector::firmwareToken(*device), std::string("V2.1"));
        QVERIFY(device->modeCommand(1, 0, 100, 0, 0));
        QCOMPARE(u32At(sensor->receivedFrames().back(), 4), 3961u);

        DataFrame frame = numberedFrame(1, 0);
        sensor->queue(encodeDataFrame(frame));
        QCOMPARE(receive(*device).delay, 318);

        QVERIFY(device->setDelays(4));
        QCOMPARE(DeviceInspector::readTimeout(*device), 158); // 4 ms of fast ticks

        // Later info replies: a firmware word that does not tell the clock,
        // or no fifth word at all, leaves it as it was.
        sensor->queue(encodeInfoReply("Brisvane probe unit 7 V1.9"));
        QCOMPARE(device->getData(), 1);
        QVERIFY(DeviceInspector::fastClock(*device));
        QCOMPARE(DeviceInspector::firmwareToken(*device), std::string("V1.9"));
        sensor->queue(encodeInfoReply("short line"));
        QCOMPARE(device->getData(), 1);
        QVERIFY(DeviceInspector::fastClock(*device));
        QCOMPARE(QString(device->infoText), QString("short line"));
        sensor->queue(encodeInfoReply("Brisvane probe unit 7 V2.0"));
        QCOMPARE(device->getData(), 1);
        QVERIFY(!DeviceInspector::fastClock(*device));
    }

    void infoReplyWithFewerThanFiveWordsStillOpens()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("TERSE01", &sensor);
        sensor->setInfoLine("terse");
        auto device = open("TERSE01");
        QVERIFY(device);
        QCOMPARE(QString(device->infoText), QString("terse"));
        QVERIFY(!DeviceInspector::fastClock(*device));
        QCOMPARE(DeviceInspector::firmwareToken(*device), std::string());
    }

    void statusQueries()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor);
        auto device = open("ALPHA01");
        QVERIFY(device);
        QCOMPARE(device->updateStatus(), int('I'));

        sensor->setStatus('N', 0x1234);
        QCOMPARE(device->updateStatus(), int('N'));
        QCOMPARE(DeviceInspector::statusValue(*device), std::uint16_t(0x1234));

        sensor->setStatus('B');
        QCOMPARE(device->updateStatus(), int('B'));
        QCOMPARE(DeviceInspector::statusValue(*device), std::uint16_t(0x1234)); // kept

        sensor->setSilent(true); // no reply: the last letter stands
        QCOMPARE(device->updateStatus(), int('B'));

        // Short payloads are read as far as they go.
        sensor->queue(encodeFrame('S', nullptr, 0));
        const unsigned char lonelyN[] = {'N', 0x77};
        sensor->queue(encodeFrame('S', lonelyN, sizeof lonelyN));
        QCOMPARE(device->updateStatus(), int('N'));
        QCOMPARE(DeviceInspector::statusValue(*device), std::uint16_t(0x1234));
    }

    void frameSplitAcrossReadsIsDeliveredByTheNextPass()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        const std::vector<unsigned char> frame = encodeDataFrame(numberedFrame(5));
        sensor->queue({frame.begin(), frame.begin() + 100});
        QCOMPARE(device->getData(), 1);
        QCOMPARE(DeviceInspector::queuedFrames(*device), std::size_t(0));
        sensor->queue({frame.begin() + 100, frame.end()});
        verifyFrame(receive(*device), 5);
    }

    void manyFramesThroughOddReadSizes()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto simulated = scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        // Reads of 1, 7, 0 (a zero-length packet), 300 and 512 bytes cut the
        // frames everywhere, several frames arriving in one read too.
        simulated->setReadSizes({1, 7, 0, 300, 512});
        const int count = 40;
        for (int i = 0; i < count; ++i)
            sensor->queue(encodeDataFrame(numberedFrame(i, i % 17)));
        for (int i = 0; i < count; ++i)
            verifyFrame(receive(*device), i, i % 17);
        QCOMPARE(receive(*device).result, 0);
    }

    void twoFramesInOneReadThenATimeout()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor);
        auto device = open("ALPHA01");
        QVERIFY(device);

        sensor->queue(concat({encodeDataFrame(numberedFrame(1)), encodeDataFrame(numberedFrame(2))}));
        verifyFrame(receive(*device), 1);
        verifyFrame(receive(*device), 2);
        QElapsedTimer timer;
        timer.start();
        const Received none = receive(*device);
        QCOMPARE(none.result, 0);
        QVERIFY(timer.elapsed() >= 40); // the read waited out its 50 ms timeout
        QCOMPARE(none.scan, -1);        // outputs untouched
        QCOMPARE(none.VR[0], Received::untouched);
    }

    void oversizeLengthDropsEverythingHeld()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        StdoutCapture out;
        sensor->queue(concat({frameWithLength('D', 301), encodeDataFrame(numberedFrame(3))}));
        QCOMPARE(receive(*device).result, 0);
        QCOMPARE(out.text(), std::string("INVALID PACKET DUMPING STACK\n"));
        QCOMPARE(DeviceInspector::rxCount(*device), 0);

        sensor->queue(encodeDataFrame(numberedFrame(4))); // resynchronised on a frame start
        verifyFrame(receive(*device), 4);
    }

    void unknownAndShortFramesAreDroppedAndReceptionGoesOn()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        StdoutCapture out;
        std::vector<unsigned char> shortData = encodeDataFrame(numberedFrame(8, 0));
        shortData.resize(20);
        shortData[1] = 17;
        sensor->queue(concat({frameWithLength('X', 5), shortData, encodeDataFrame(numberedFrame(9))}));
        verifyFrame(receive(*device), 9);
        QCOMPARE(receive(*device).result, 0);
        QCOMPARE(out.text(), std::string("Parsing :Error case\nParsing :Error case\n"));
    }

    void zeroHarmonicFrameWritesNoElement()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        sensor->queue(encodeDataFrame(numberedFrame(6, 0)));
        const Received r = receive(*device);
        verifyFrame(r, 6, 0);
        QCOMPARE(r.VR[0], Received::untouched);
        QCOMPARE(r.Ii[15], Received::untouched);
    }

    void oversizedHarmonicCountWritesSixteenElements()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        // 17 records fit in a 300-byte payload; the arrays hold 16.
        std::vector<unsigned char> frame = encodeDataFrame(numberedFrame(2));
        frame.resize(dataFrameFixedLength + 17 * harmonicRecordLength, 0x42);
        storeU16(&frame[1], static_cast<std::uint16_t>(frame.size() - 3));
        frame[16] = 17;
        sensor->queue(frame);
        struct Guarded
        {
            double values[16];
            double guard = Received::untouched;
        } VR, Vi, Ir, Ii;
        int position, scan, word8, word10, delay, harmonics;
        unsigned char mode;
        double freq;
        QCOMPARE(device->getSensorData(position, mode, scan, word8, word10, delay, harmonics, freq, VR.values,
                                       Vi.values, Ir.values, Ii.values),
                 1);
        QCOMPARE(harmonics, 16);
        QCOMPARE(Ii.guard, Received::untouched);

        frame[16] = static_cast<unsigned char>(-1);
        sensor->queue(frame);
        const Received negative = receive(*device);
        QCOMPARE(negative.harmonics, 0);
        QCOMPARE(negative.VR[0], Received::untouched);
    }

    void readErrorsAndTimeoutsAreTold()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto simulated = scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        simulated->injectReadFault(ReadFault::Timeout);
        QCOMPARE(receive(*device).result, 0);
        simulated->injectReadFault(ReadFault::Error);
        QCOMPARE(receive(*device).result, -1);
        simulated->injectReadFault(ReadFault::Error);
        QCOMPARE(device->updateStatus(), -1);

        // Bytes that came before an error in the same pass are still delivered,
        // and reception goes on after it.
        // (The status reply that the failed query left unread comes first.)
        const std::size_t faultAt = sensor->pendingBytes() + encodeDataFrame(numberedFrame(11)).size();
        sensor->queue(concat({encodeDataFrame(numberedFrame(11)), encodeDataFrame(numberedFrame(12))}));
        simulated->injectReadFault(ReadFault::Error, faultAt);
        verifyFrame(receive(*device), 11);
        verifyFrame(receive(*device), 12);
    }

    void writeFailuresAreReturned()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto simulated = scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        const std::size_t before = sensor->receivedFrames().size();
        simulated->failWrites(true);
        QVERIFY(!device->goCommand());
        QVERIFY(!device->modeCommand(1, 1));
        QCOMPARE(sensor->receivedFrames().size(), before);
        simulated->failWrites(false);
        QVERIFY(device->goCommand());
    }

    void disconnectionInTheMiddleOfAStream()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto simulated = scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        const std::vector<unsigned char> frame = encodeDataFrame(numberedFrame(1));
        for (int i = 1; i <= 3; ++i)
            sensor->queue(encodeDataFrame(numberedFrame(i)));
        simulated->disconnectAfter(frame.size() + frame.size() / 2);
        verifyFrame(receive(*device), 1);
        // Half a frame is held, but the sensor is gone: that must be told.
        QCOMPARE(receive(*device).result, -1);
        QCOMPARE(device->updateStatus(), -1);
        QVERIFY(!device->goCommand());

        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QVERIFY(list.empty());
    }

    void framesReceivedBeforeALostSensorAreStillDelivered()
    {
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        auto simulated = scope.add("ALPHA01", &sensor, false);
        auto device = open("ALPHA01");
        QVERIFY(device);

        // One read brings three whole frames, then the cable is pulled: the
        // frames already received are handed out before the loss is told.
        std::vector<unsigned char> stream;
        for (int i = 1; i <= 3; ++i) {
            const std::vector<unsigned char> frame = encodeDataFrame(numberedFrame(i));
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        sensor->queue(stream);
        simulated->disconnectAfter(stream.size());
        for (int i = 1; i <= 3; ++i)
            verifyFrame(receive(*device), i);
        QCOMPARE(receive(*device).result, -1);
    }

    void replayStreamsTheRecordedFileAfterEachGo()
    {
        const QString path = runtime_.path() + "/replay.bin";
        {
            std::ofstream file(path.toStdString(), std::ios::binary);
            for (int i = 0; i < 3; ++i) {
                const auto bytes = encodeDataFrame(numberedFrame(i));
                file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            }
        }
        installBus(busForSetting("replay:" + path.toStdString()));
        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QCOMPARE(list.size(), std::size_t(1));
        QCOMPARE(QString(list[0].serial), QString("SIM0001"));
        auto device = open("SIM0001");
        QVERIFY(device);
        QCOMPARE(device->updateStatus(), int('I'));
        QCOMPARE(receive(*device).result, 0); // nothing before the go frame
        for (int go = 0; go < 2; ++go) {
            QVERIFY(device->goCommand());
            for (int i = 0; i < 3; ++i)
                verifyFrame(receive(*device), i);
        }
        device.reset();
        installBus(std::make_shared<SimulatedBus>());
    }

    void unreadableReplayFileIsReported()
    {
        const auto sensor = std::make_shared<ReplaySensor>("/nonexistent/replay.bin");
        QVERIFY(!sensor->loaded());
        // A FIFO (no writer ever comes) and a device that never ends are
        // refused at once instead of hanging the program.
        const QString pipe = runtime_.path() + "/replay.fifo";
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        QVERIFY(!std::make_shared<ReplaySensor>(pipe.toStdString())->loaded());
        QVERIFY(!std::make_shared<ReplaySensor>("/dev/zero")->loaded());
    }

    void realBusListsWhatItFinds()
    {
        // No USB bus may exist at all (as in a container): an empty list then.
        installBus(busForSetting(""));
        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        for (const device_item& item : list) {
            QVERIFY(item.device);
            QVERIFY(std::memchr(item.serial, '\0', sizeof item.serial));
        }
        installBus(std::make_shared<SimulatedBus>());
    }

private:
    PrivateRuntimeDir runtime_;
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "test_device_link.moc"
