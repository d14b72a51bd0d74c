// The library as a client sees it: linked against the shared OrvelDevice,
// through the public header alone, with the simulated sensor selected by the
// environment as the program selects it.

#include "orvelDevice.h"

#include <QtTest>

#include <cstddef>
#include <memory>
#include <vector>

class TestDeviceClient : public QObject
{
    Q_OBJECT

private slots:
    void deviceItemKeepsItsFieldOrder()
    {
        QVERIFY(offsetof(device_item, available) < offsetof(device_item, device));
        QVERIFY(offsetof(device_item, device) < offsetof(device_item, reserved0));
        QVERIFY(offsetof(device_item, reserved0) < offsetof(device_item, serial));
        QVERIFY(offsetof(device_item, serial) < offsetof(device_item, reserved1));
        QCOMPARE(sizeof(device_item::serial), std::size_t(20));
    }

    void tablesAreExported()
    {
        QCOMPARE(V200[0], 28.2821);
        QCOMPARE(V200[1], 0.347092);
        QCOMPARE(V400[0], 28.2821);
        QCOMPARE(I200[0], 0.00303285);
        QCOMPARE(I200[1], 0.00714619);
        QCOMPARE(I400[0], 0.0029894);
        QCOMPARE(I400[1], 0.0142546);
        for (int i = 2; i < 32; ++i)
            QVERIFY(std::abs(V200[i]) < 1e-15 && V200[i] == V400[i]);
        QVERIFY(I200[30] > 1.7038e-7 && I200[30] < 1.8e-7);
        QVERIFY(I400[30] > 3.40761e-7 && I400[30] < 3.6e-7);
    }

    void simulatedSensorThroughThePublicInterface()
    {
        QCOMPARE(qgetenv("ORVEL_SIMULATED_SENSOR"), QByteArray("1"));
        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QCOMPARE(list.size(), std::size_t(1));
        QCOMPARE(QString(list[0].serial), QString("SIM0001"));
        QCOMPARE(int(list[0].available), 1);

        std::unique_ptr<orvelDevice> sensor(orvelDevice::openDevice(list[0].serial));
        QVERIFY(sensor);
        QVERIFY(QByteArray(sensor->infoText).contains("Brisvane"));
        QCOMPARE(sensor->updateStatus(), int('I'));
        QVERIFY(sensor->modeCommand(1, 1000));
        QVERIFY(sensor->goCommand()); // the plasma sensor streams one scan: a low-band and a high-band frame
        int position, scan, word8, word10, delay, harmonics;
        unsigned char mode;
        double freq, VR[16], Vi[16], Ir[16], Ii[16];
        std::vector<double> frequencies;
        while (sensor->getSensorData(position, mode, scan, word8, word10, delay, harmonics, freq, VR, Vi, Ir, Ii) == 1) {
            QCOMPARE(scan, 1);
            QCOMPARE(harmonics, 16);
            frequencies.push_back(freq);
        }
        QCOMPARE(frequencies.size(), std::size_t(2));
        QVERIFY(frequencies[0] < 150000 && frequencies[1] >= 150000);
        QCOMPARE(sensor->updateStatus(), int('I'));
        QVERIFY(!sensor->isScanning());

        orvelDevice::getDeviceList(list);
        QCOMPARE(int(list[0].available), 0);
        sensor->closeDevice();
        orvelDevice::getDeviceList(list);
        QCOMPARE(int(list[0].available), 1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceClient)
#include "test_device_client.moc"
