// One object, two threads, as the program uses it: the user-interface thread
// asks for the status every few milliseconds while the acquisition worker
// drains 10,000 data frames. Both threads run reception passes that feed the
// same queue; no frame may be lost, duplicated or reordered, and every status
// query must see the sensor's letter.

#include "DeviceTestSupport.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace orvel::device;
using namespace orvel::device::testing;

class TestDeviceStress : public QObject
{
    Q_OBJECT

private slots:
    void statusQueriesWhileDrainingTenThousandFrames()
    {
        constexpr int frameCount = 10000;
        constexpr int queryEvery = 500;
        BusScope scope;
        std::shared_ptr<ScriptedSensor> sensor;
        // Each call consumes one frame but a pass reads ahead, so a backlog of
        // frames builds up; read timeouts return at once so that draining it
        // does not wait 50 ms per frame.
        auto simulated = scope.add("STRESS01", &sensor, false);
        // A query whose reply is still behind data frames in the stream
        // returns the previous letter, so the sensor says 'B' from the start.
        sensor->setStatus('B');
        auto device = open("STRESS01");
        QVERIFY(device);
        // Reads of uneven sizes cut frames and status replies at every place.
        simulated->setReadSizes({512, 33, 512, 200, 1, 512, 97});

        std::atomic<bool> drained{false};
        std::atomic<int> statusQueries{0};
        std::atomic<int> wrongStatus{0};

        std::thread feeder([&] {
            for (int i = 0; i < frameCount; ++i) {
                sensor->queue(encodeDataFrame(numberedFrame(i, i % 17)));
                if (i % queryEvery == queryEvery - 1) {
                    // A status query runs within every stretch of the
                    // stream, however the threads are scheduled.
                    const int seen = statusQueries;
                    while (statusQueries == seen && !drained)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                } else if (i % 100 == 99) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        std::thread userInterface([&] {
            while (!drained) {
                if (device->updateStatus() != 'B')
                    ++wrongStatus;
                ++statusQueries;
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
        });

        int next = 0;
        int errors = 0;
        int misordered = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (next < frameCount && std::chrono::steady_clock::now() < deadline) {
            const Received r = receive(*device);
            if (r.result < 0) {
                ++errors;
                continue;
            }
            if (r.result == 0)
                continue;
            const DataFrame expected = numberedFrame(next, next % 17);
            const bool same = r.scan == expected.scan && r.word8 == expected.word8 && r.harmonics == next % 17
                && r.freq == double(expected.freq) && (r.harmonics == 0 || r.VR[r.harmonics - 1] == double(expected.harmonics[r.harmonics - 1].VR));
            if (!same)
                ++misordered;
            ++next;
        }
        drained = true;
        feeder.join();
        userInterface.join();

        QCOMPARE(errors, 0);
        QCOMPARE(misordered, 0);
        QCOMPARE(next, frameCount);
        QCOMPARE(receive(*device).result, 0); // nothing left over, nothing duplicated
        QCOMPARE(wrongStatus.load(), 0);
        // One within each stretch but the last, which the drain may outrun.
        QVERIFY2(statusQueries >= frameCount / queryEvery - 1, qPrintable(QString::number(statusQueries)));
        qInfo("%d status queries ran while the frames were drained", statusQueries.load());
    }

private:
    PrivateRuntimeDir runtime_;
};

QTEST_GUILESS_MAIN(TestDeviceStress)
#include "test_device_stress.moc"
