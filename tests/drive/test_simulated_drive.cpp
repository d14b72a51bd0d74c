// The simulated drive, spoken to over a plain QSerialPort on its pseudo-terminal:
// the drive tests rely on its answers and motion, so those are pinned down here.
#include "drive/DrivePort.h"
#include "drive/DriveReply.h"
#include "simdrive/SimulatedDrive.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>

#include <memory>

class TestSimulatedDrive : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedDrive> simulated;
    std::unique_ptr<QSerialPort> port;

    // Writes `command` and collects what arrives until an answer is complete or
    // `ms` have passed: an answer is waited for as long as a loaded machine
    // may take, and only its absence is timed.
    QByteArray ask(const QByteArray& command, int ms = 30000)
    {
        port->write(command);
        port->flush();
        QByteArray answer;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms && !DriveReply::isComplete(answer)) {
            port->waitForReadyRead(5);
            answer += port->readAll();
        }
        return answer;
    }

private slots:
    void init()
    {
        simulated = std::make_unique<SimulatedDrive>();
        SimulatedDrive& drive = *simulated;
        QVERIFY2(drive.start(), qPrintable(drive.errorString()));
        QString error;
        port = openDrivePort(drive.slavePath(), &error);
        QVERIFY2(port, qPrintable(error));
        QCOMPARE(port->error(), QSerialPort::NoError);
        QCOMPARE(port->baudRate(), 9600);
        QCOMPARE(port->dataBits(), QSerialPort::Data8);
        QCOMPARE(port->parity(), QSerialPort::NoParity);
        QCOMPARE(port->stopBits(), QSerialPort::OneStop);
        QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
    }

    void cleanup()
    {
        port.reset();
        simulated.reset();
    }

    void answersWithValueAndPrompt()
    {
        SimulatedDrive& drive = *simulated;
        QCOMPARE(ask("IP\r"), QByteArray("IP=0\r\n>"));
        QCOMPARE(ask("\rHR\rSS999\r\n"), QByteArray("999\r\n>"));
        QCOMPARE(ask("RLR\r"), QByteArray("RLR=4\r\n>"));
        QCOMPARE(ask("DE7\r"), QByteArray("\r\n>"));
        QCOMPARE(ask("XY\r"), QByteArray("\r\n?"));
        QCOMPARE(ask("PR ER\r"), QByteArray("37\r\n>"));
        QCOMPARE(drive.commands(), (QList<QByteArray>{"IP", "HR", "SS999", "RLR", "DE7", "XY", "PR ER"}));
        QVERIFY(drive.receivedBytes().startsWith("IP\r\rHR\rSS999\r\n"));
    }

    void movesAtItsSpeedAndAnswersSsOnlyWhenIdle()
    {
        SimulatedDrive& drive = *simulated;
        // 500 steps take 2.5 s: far longer than a loaded machine may keep
        // this thread or the drive's waiting.
        drive.setTravelSpeed(200);
        drive.placeCarriage(300, 100);
        QCOMPARE(ask("FP600\r\n"), QByteArray("\r\n>"));
        QVERIFY(drive.isMoving());
        QCOMPARE(ask("SS111\r", 50), QByteArray());
        const int halfway = drive.position();
        QVERIFY2(halfway > 100 && halfway < 600, QByteArray::number(halfway));
        QCOMPARE(ask(""), QByteArray("111\r\n>"));
        QCOMPARE(drive.position(), 600);
        QCOMPARE(drive.distanceFromHome(), 800);

        QCOMPARE(ask("SP0\r"), QByteArray("\r\n>"));
        QCOMPARE(ask("IP\r"), QByteArray("IP=0\r\n>"));
        drive.setHomingTime(50);
        ask("SH2H\r");
        QTRY_VERIFY_WITH_TIMEOUT(!drive.isMoving(), 30000);
        QCOMPARE(drive.distanceFromHome(), 0);
        QCOMPARE(drive.position(), -800);
    }

    void injectedFaultsAreUsedUpInOrder()
    {
        SimulatedDrive& drive = *simulated;
        drive.answerWithError("FP", 86);
        drive.answerWith("IP", "IP=1\x02\r\n>");
        drive.dropLine("IP");
        // Late enough that the commands before it are surely answered first.
        drive.answerLate("IP", 3000);
        QCOMPARE(ask("FP10\r\n"), QByteArray("\r\n?"));
        QCOMPARE(drive.position(), 0); // the failed move did nothing
        QCOMPARE(ask("PR ER\r"), QByteArray("86\r\n>"));
        QCOMPARE(ask("IP\r"), QByteArray("IP=1\x02\r\n>"));
        QCOMPARE(ask("IP\r", 100), QByteArray());
        QCOMPARE(ask("IP\r", 50), QByteArray());
        QCOMPARE(ask("DE7\r"), QByteArray("\r\n>")); // before the late answer
        QCOMPARE(ask(""), QByteArray("IP=0\r\n>"));
        QCOMPARE(ask("IP\r"), QByteArray("IP=0\r\n>"));

        drive.stallMoves(30);
        ask("FP1000\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(!drive.isMoving(), 30000);
        QCOMPARE(drive.position(), 30);
        ask("FP1000\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(!drive.isMoving(), 30000);
        QCOMPARE(drive.position(), 1000);

        drive.setSilent(true);
        QCOMPARE(ask("IP\r", 100), QByteArray());
        // Heard, though not answered: the drive's thread logs it when it
        // gets to it.
        QTRY_VERIFY_WITH_TIMEOUT(drive.commands().endsWith("IP"), 30000);
    }
};

QTEST_GUILESS_MAIN(TestSimulatedDrive)
#include "test_simulated_drive.moc"
