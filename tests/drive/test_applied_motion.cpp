// The Applied Motion controller over a real QSerialPort, talking to the
// simulated drive on a pseudo-terminal.
#include "drive/AppliedMotion.h"
#include "drive/DrivePort.h"
#include "simdrive/SimulatedDrive.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <ctime>
#include <memory>
#include <thread>

namespace {

int countOf(const QList<QByteArray>& commands, const QByteArray& command)
{
    return int(std::count(commands.begin(), commands.end(), command));
}

// The commands with runs of one repeated poll folded into one.
QList<QByteArray> foldRepeats(const QList<QByteArray>& commands, const QByteArray& poll)
{
    QList<QByteArray> folded;
    for (const QByteArray& command : commands)
        if (command != poll || folded.isEmpty() || folded.last() != poll)
            folded.append(command);
    return folded;
}

// Plays the scan worker: from its own thread it asks for a move and then polls
// the position through queued slot calls, reading the result from the drive's
// atomics, until the drive is at the target.
class PollingWorker : public QObject
{
    Q_OBJECT

public:
    explicit PollingWorker(const AppliedMotion& drive)
        : drive(drive)
    {
    }
    std::atomic<bool> arrived{false};
    std::atomic<double> lastSeen{-1};

signals:
    void moveLinearDrive(double position);
    void checkPosition();
    void finished();

public slots:
    void process()
    {
        emit moveLinearDrive(12.34);
        for (int poll = 0; poll < 100 && !arrived; ++poll) {
            QThread::msleep(30);
            emit checkPosition();
            QThread::msleep(30);
            lastSeen = drive.position();
            arrived = drive.isAtTarget();
        }
        emit finished();
    }

private:
    const AppliedMotion& drive;
};

} // namespace

class TestAppliedMotion : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedDrive> simulated;

    std::unique_ptr<AppliedMotion> connectDrive()
    {
        QString error;
        std::unique_ptr<QSerialPort> port = openDrivePort(simulated->slavePath(), &error);
        if (!port) {
            qWarning() << "cannot open" << simulated->slavePath() << error;
            return nullptr;
        }
        return std::make_unique<AppliedMotion>(port.release());
    }

    // A drive identified on the simulator, with the log cleared.
    std::unique_ptr<AppliedMotion> identifiedDrive()
    {
        std::unique_ptr<AppliedMotion> drive = connectDrive();
        if (!drive || !drive->connected)
            return nullptr;
        simulated->clearLog();
        return drive;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("orvel.drive.debug=false");
    }

    void init()
    {
        simulated = std::make_unique<SimulatedDrive>();
        QVERIFY2(simulated->start(), qPrintable(simulated->errorString()));
    }

    void cleanup()
    {
        simulated.reset();
    }

    void identifiesTheDrive()
    {
        const std::unique_ptr<AppliedMotion> drive = connectDrive();
        QVERIFY(drive);
        QVERIFY(drive->connected);
        QCOMPARE(drive->name, QByteArray("Applied Motion Integrated Controller"));
        QCOMPARE(drive->description, QByteArray("Applied Motion Linear Drive\nNAME:Applied Motion Integrated "
                                                "Controller\nPART CONFIG CODE:100Y"));
        QCOMPARE(drive->rlrValue, 4);
        QVERIFY(std::isnan(drive->position()));
        QCOMPARE(drive->slope, 0.01);
        QCOMPARE(drive->railLength, 500.0);
        QCOMPARE(simulated->commands(),
                 (QList<QByteArray>{"HR", "SS999", "MV", "IFD", "DL2", "DE7", "AC7", "RLR"}));
        QVERIFY(simulated->receivedBytes().startsWith("\rHR\rSS999\r\n\rMV\r\n\rIFD\r"));
    }

    void identificationFails_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::newRow("one-byte answer") << QByteArray("one byte");
        QTest::newRow("silent drive") << QByteArray("silent");
        QTest::newRow("error prompt to MV") << QByteArray("MV error");
        QTest::newRow("no RLR= in the answer") << QByteArray("no RLR");
    }

    void identificationFails()
    {
        QFETCH(QByteArray, fault);
        if (fault == "one byte")
            simulated->answerWith("SS999", "9");
        else if (fault == "silent")
            simulated->setSilent(true);
        else if (fault == "MV error")
            simulated->answerWithError("MV", 24);
        else
            simulated->answerWith("RLR", "RLR 4\r\n>");
        const std::unique_ptr<AppliedMotion> drive = connectDrive();
        QVERIFY(drive);
        QVERIFY(!drive->connected);
    }

    void stopOnAnUnidentifiedDriveWritesNothing()
    {
        simulated->answerWith("SS999", "9");
        const std::unique_ptr<AppliedMotion> drive = connectDrive();
        QVERIFY(!drive->connected);
        simulated->clearLog();
        QVERIFY(drive->stop());
        QTest::qWait(50);
        QCOMPARE(simulated->receivedBytes(), QByteArray());
    }

    void homesInTwoPassesToZero()
    {
        simulated->setHomingTime(100);
        simulated->placeCarriage(3000, 777);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);
        drive->targetSteps = 1234;
        drive->currentSteps = 1234; // a reading from before homing

        QVERIFY(drive->home());

        QCOMPARE(foldRepeats(simulated->commands(), "SS111"),
                 (QList<QByteArray>{"DE1000", "SH2H", "SS111", "SP0", "FP50", "SH2H", "SS111", "SP0", "DE7", "VE9.0"}));
        // Zeroed at the switch: each SP0 came after its homing pass had ended.
        QCOMPARE(simulated->distanceFromHome(), 0);
        QCOMPARE(simulated->position(), 0);
        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 0.0);
        QCOMPARE(drive->position(), 0.0);
        QCOMPARE(drive->currentSteps.load(), 0);
        QVERIFY(!drive->isAtTarget());
    }

    void homingThatNeverEndsIsGivenUp()
    {
        simulated->setHomingTime(60000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        drive->setHomingTimeout(500);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);

        QVERIFY(!drive->home());

        QCOMPARE(drive->lastErrorCode(), 103);
        const QList<QByteArray> commands = simulated->commands();
        QCOMPARE(countOf(commands, "ST"), 2);
        QVERIFY(commands.indexOf("ST") < commands.indexOf("SP0"));
        QCOMPARE(commands.mid(commands.size() - 3), (QList<QByteArray>{"SP0", "DE7", "VE9.0"}));
        QVERIFY(!simulated->isMoving());
        QCOMPARE(simulated->position(), 0);
        QCOMPARE(positions.count(), 1);
    }

    void moveToArrivesAndReportsThePosition()
    {
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);

        QVERIFY(drive->moveTo(12.34));

        QVERIFY(simulated->receivedBytes().startsWith("\rFP1234\r\n\rIP\r"));
        QCOMPARE(simulated->position(), 1234);
        QCOMPARE(drive->targetSteps.load(), 1234);
        QVERIFY(drive->isAtTarget());
        QCOMPARE(drive->position(), 12.34);
        QVERIFY(!positions.isEmpty());
        QCOMPARE(positions.last().at(0).toDouble(), 12.34);
    }

    void moveToPositionOnlyStartsTheMove()
    {
        simulated->setTravelSpeed(2000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);

        drive->moveToPosition(12.34);

        QCOMPARE(simulated->receivedBytes(), QByteArray("\rFP1234\r\n"));
        QCOMPARE(drive->targetSteps.load(), 1234);
        QVERIFY(simulated->isMoving());
        QVERIFY(!drive->isAtTarget());
        QTRY_VERIFY_WITH_TIMEOUT(!simulated->isMoving(), 2000);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);
        drive->checkPosition();
        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 12.34);
        QVERIFY(drive->isAtTarget());
    }

    void stalledMoveIsSentAgain()
    {
        simulated->setTravelSpeed(5000);
        simulated->stallMoves(300);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);

        QVERIFY(drive->moveTo(12.34));

        QCOMPARE(countOf(simulated->commands(), "FP1234"), 2);
        QCOMPARE(simulated->position(), 1234);
    }

    void driveThatDoesNotMoveIsGivenUp()
    {
        simulated->stallMoves(0, 100);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);

        QVERIFY(!drive->moveTo(12.34));

        QCOMPARE(drive->lastErrorCode(), 107);
        QCOMPARE(countOf(simulated->commands(), "FP1234"), 6); // the move and five re-sends
        QCOMPARE(simulated->commands().last(), QByteArray("ST"));
    }

    void abortFromAnotherThreadEndsTheMoveWithSt()
    {
        simulated->setTravelSpeed(1000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        QElapsedTimer elapsed;
        elapsed.start();
        std::thread stopper([&drive] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            drive->abortRequested = true;
        });

        const bool arrived = drive->moveTo(50); // 5000 steps: five seconds
        stopper.join();

        QVERIFY(!arrived);
        QVERIFY(elapsed.elapsed() < 2000);
        QTRY_COMPARE_WITH_TIMEOUT(simulated->commands().last(), QByteArray("ST"), 500);
        QVERIFY(!simulated->isMoving());
        QVERIFY(simulated->position() < 2000);
        QCOMPARE(drive->errorString(), QByteArray("Operation aborted."));
    }

    void errorPromptFetchesTheDriveCode_data()
    {
        QTest::addColumn<QByteArray>("prErAnswer");
        QTest::addColumn<int>("code");
        QTest::newRow("code from PR ER") << QByteArray() << 86;
        QTest::newRow("PR ER answered with ?") << QByteArray("\r\n?") << 108;
        QTest::newRow("PR ER answered with text") << QByteArray("ER\r\n>") << 108;
    }

    void errorPromptFetchesTheDriveCode()
    {
        QFETCH(QByteArray, prErAnswer);
        QFETCH(int, code);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        simulated->answerWithError("FP", 86);
        if (!prErAnswer.isEmpty())
            simulated->answerWith("PR ER", prErAnswer);

        QVERIFY(!drive->moveTo(12.34));

        QCOMPARE(simulated->commands(), (QList<QByteArray>{"FP1234", "PR ER"}));
        QCOMPARE(drive->lastErrorCode(), code);
        QVERIFY(drive->abortRequested);
        QCOMPARE(drive->errorString(), QByteArray("Operation aborted."));
        drive->abortRequested = false;
        QCOMPARE(drive->errorString(), LinearDrive::messageForCode(code));
    }

    void positionReplyWithoutPromptEndsAfterSilence()
    {
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        simulated->answerWith("IP", "IP=1234");
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);
        QElapsedTimer elapsed;
        elapsed.start();

        drive->checkPosition();

        QVERIFY(elapsed.elapsed() >= 400);
        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 12.34);
        QCOMPARE(drive->currentSteps.load(), 1234);
        QCOMPARE(drive->position(), 12.34);
    }

    void reportedPositionIncludesTheOffset()
    {
        simulated->placeCarriage(0, 250);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        drive->offset = 5;
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);
        drive->checkPosition();
        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 7.5);
        QCOMPARE(drive->position(), 7.5);
    }

    void badPositionReplyChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("code");
        QTest::newRow("byte below 0x20 in the value") << QByteArray("IP=12\x01" "34\r\n>") << 104;
        QTest::newRow("two bytes") << QByteArray("IP") << 105;
        QTest::newRow("no digits") << QByteArray("IP=\r\n>") << 105;
        QTest::newRow("silence") << QByteArray() << 105;
    }

    void badPositionReplyChangesNothing()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, code);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        drive->currentSteps = 77;
        if (answer.isEmpty())
            simulated->dropLine("IP");
        else
            simulated->answerWith("IP", answer);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);

        drive->checkPosition();

        QCOMPARE(drive->lastErrorCode(), code);
        QCOMPARE(positions.count(), 0);
        QCOMPARE(drive->currentSteps.load(), 77);
    }

    void failedReadingMidMoveIsNotReportedAsArrival()
    {
        simulated->setTravelSpeed(2000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        simulated->dropLine("IP");

        QVERIFY(!drive->moveTo(12.34));

        QCOMPARE(drive->lastErrorCode(), 105);
        QVERIFY(!drive->isAtTarget());
    }

    void positionWithoutAStepCountIsNotSent()
    {
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        drive->slope = 0;
        QVERIFY(!drive->moveTo(10));
        drive->slope = 0.01;
        drive->moveToPosition(std::nan(""));
        QCOMPARE(drive->lastErrorCode(), 107);
        QTest::qWait(30);
        QCOMPARE(simulated->receivedBytes(), QByteArray());
    }

    void staleBytesAreNotTakenForTheNextReply()
    {
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        simulated->answerLate("IP", 600);
        drive->checkPosition(); // given up after 400 ms of silence
        QCOMPARE(drive->lastErrorCode(), 105);
        QTest::qWait(500); // the late "IP=0" arrives meanwhile
        simulated->placeCarriage(500, 500);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);

        drive->checkPosition();

        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 5.0);
    }

    void callsDuringAMoveAreQueuedOrRefused()
    {
        simulated->setTravelSpeed(2000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        bool nestedMoveResult = true;
        QTimer::singleShot(100, drive.get(), [&] {
            drive->moveToPosition(20);
            drive->checkPosition();
            nestedMoveResult = drive->moveTo(5);
        });

        QVERIFY(drive->moveTo(12.34));

        QVERIFY(!nestedMoveResult);
        const QList<QByteArray> duringMove = simulated->commands();
        QVERIFY(!duringMove.contains("FP2000"));
        QVERIFY(!duringMove.contains("FP500"));
        QCOMPARE(duringMove.last(), QByteArray("IP"));
        QTRY_COMPARE_WITH_TIMEOUT(simulated->commands().size(), duringMove.size() + 2, 2000);
        QCOMPARE(simulated->commands().mid(duringMove.size()), (QList<QByteArray>{"FP2000", "IP"}));
        QCOMPARE(drive->targetSteps.load(), 2000);
    }

    void stopDuringAMoveAbortsItAndStopsOnceMore()
    {
        simulated->setTravelSpeed(2000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        bool stopResult = false;
        QTimer::singleShot(100, drive.get(), [&] { stopResult = drive->stop(); });

        QVERIFY(!drive->moveTo(12.34));

        QVERIFY(stopResult);
        QVERIFY(drive->abortRequested);
        QTRY_COMPARE_WITH_TIMEOUT(countOf(simulated->commands(), "ST"), 2, 1000);
        QVERIFY(!simulated->isMoving());
        QVERIFY(simulated->position() < 1234);
    }

    void workerOnAnotherThreadMovesAndPollsTheDrive()
    {
        simulated->setTravelSpeed(5000);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        QThread thread;
        PollingWorker worker(*drive);
        worker.moveToThread(&thread);
        connect(&worker, &PollingWorker::moveLinearDrive, drive.get(), &LinearDrive::moveToPosition);
        connect(&worker, &PollingWorker::checkPosition, drive.get(), &LinearDrive::checkPosition);
        connect(&thread, &QThread::started, &worker, &PollingWorker::process);
        connect(&worker, &PollingWorker::finished, &thread, &QThread::quit);
        thread.start();

        QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 10000);

        QVERIFY(worker.arrived);
        QCOMPARE(worker.lastSeen.load(), 12.34);
        QCOMPARE(simulated->position(), 1234);
    }

    void commandsStillWorkOnceTheApplicationIsQuitting()
    {
        simulated->placeCarriage(0, 1234);
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        QSignalSpy positions(drive.get(), &LinearDrive::positionUpdated);
        const std::clock_t cpuBefore = std::clock();

        QCoreApplication::exit(0); // nested event loops now return at once
        drive->checkPosition();
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec(); // clears the pending quit for the tests that follow

        QCOMPARE(positions.count(), 1);
        QCOMPARE(positions.at(0).at(0).toDouble(), 12.34);
        QVERIFY2(cpuMs < 20, QByteArray::number(cpuMs)); // slept, did not spin
    }

    void lostDriveFailsCommandsWithoutAnErrorStorm()
    {
        const std::unique_ptr<AppliedMotion> drive = identifiedDrive();
        QVERIFY(drive);
        auto* port = drive->findChild<QSerialPort*>();
        QVERIFY(port);
        qRegisterMetaType<QSerialPort::SerialPortError>();
        QSignalSpy errors(port, &QSerialPort::errorOccurred);

        simulated->stop();
        QVERIFY(!drive->moveTo(1));
        QTest::qWait(100);

        QCOMPARE(drive->lastErrorCode(), 102);
        QVERIFY(!port->isOpen());
        QVERIFY2(errors.count() < 10, QByteArray::number(errors.count()));
    }
};

QTEST_GUILESS_MAIN(TestAppliedMotion)
#include "test_applied_motion.moc"
