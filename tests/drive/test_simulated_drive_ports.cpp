// The registrations through which running simulated drives appear in the
// configuration panel's port list: only live registrations of real devices
// count, and nothing else in the folder is followed, trusted or waited on.
#include "drive/SimulatedDrivePorts.h"
#include "simdrive/SimulatedDrive.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file with `text` whose exclusive lock this holds while it lives, as a
// running drive holds its registration's.
class LockedFile
{
public:
    LockedFile(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        file.close();
        descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        locked = descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    }
    ~LockedFile()
    {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    bool locked = false;

private:
    int descriptor = -1;
};

} // namespace

class TestSimulatedDrivePorts : public QObject
{
    Q_OBJECT

private slots:
    void listsRunningDrivesOnly()
    {
        SimulatedDrive first;
        SimulatedDrive second;
        QVERIFY2(first.start() && second.start(), qPrintable(first.errorString() + second.errorString()));
        const QString folder = SimulatedDrivePorts::folder();
        QVERIFY(folder.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + '/'));
        QDir(folder).removeRecursively(); // what an earlier run left
        QCOMPARE(SimulatedDrivePorts::running(), QStringList());

        auto registration = std::make_unique<SimulatedDriveRegistration>(first.slavePath());
        QVERIFY2(registration->isRegistered(), qPrintable(registration->errorString()));
        QCOMPARE(SimulatedDrivePorts::running(), QStringList{first.slavePath()});

        // Left behind by a drive that was killed: no one holds its lock.
        QFile stale(folder + "/999999.port");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(second.slavePath().toLocal8Bit() + '\n');
        stale.close();
        // Locked, but not naming a device under /dev/, or too long to be a path.
        LockedFile notADevice(folder + "/1.port", "/etc/passwd\n");
        LockedFile climbsOut(folder + "/2.port", "/dev/../etc/passwd\n");
        LockedFile oversize(folder + "/3.port", second.slavePath().toLocal8Bit() + QByteArray(300, ' '));
        QVERIFY(notADevice.locked && climbsOut.locked && oversize.locked);
        // Not regular files: a FIFO (whose opening would wait for a writer),
        // a folder, and a link to a live registration elsewhere.
        QVERIFY(::mkfifo(QFile::encodeName(folder + "/4.port").constData(), 0600) == 0);
        QVERIFY(QDir(folder).mkdir("5.port"));
        QTemporaryDir elsewhere;
        LockedFile target(elsewhere.filePath("target"), second.slavePath().toLocal8Bit());
        QVERIFY(target.locked);
        QVERIFY(QFile::link(elsewhere.filePath("target"), folder + "/6.port"));
        QCOMPARE(SimulatedDrivePorts::running(), QStringList{first.slavePath()});

        // A drive that ends removes its registration.
        const QString fileName = registration->fileName();
        registration.reset();
        QVERIFY(!QFile::exists(fileName));
        QCOMPARE(SimulatedDrivePorts::running(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSimulatedDrivePorts)
#include "test_simulated_drive_ports.moc"
