// The device lock: exclusive across processes and within one, probed without
// being taken, released on close and on the holder's death, never inherited
// by programs the holder starts, kept inside its folder whatever the serial
// string holds, and never waiting on or following what another user planted.

#include "DeviceTestSupport.h"
#include "lock/DeviceLock.h"

#include <QtTest>

#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>

#include <usb.h>

extern char** environ;

using namespace orvel::device;
using namespace orvel::device::testing;

namespace {

// Sets an environment variable for the lifetime of the scope.
class EnvScope
{
public:
    EnvScope(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvScope()
    {
        if (old_.empty())
            ::unsetenv(name_);
        else
            ::setenv(name_, old_.c_str(), 1);
    }

private:
    const char* name_;
    std::string old_;
};

QStringList entriesOf(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// A character device of this test alone, standing in for a sensor's USB node
// (a shared node such as /dev/null would be locked by other test runs too).
class PseudoTerminal
{
public:
    PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = ::ptsname(master_);
    }
    ~PseudoTerminal()
    {
        if (master_ >= 0)
            ::close(master_);
    }
    const std::string& path() const { return path_; }

private:
    int master_;
    std::string path_;
};

} // namespace

class TestDeviceLock : public QObject
{
    Q_OBJECT

private slots:
    void exclusiveWithinOneProcess()
    {
        const LockTarget one = lockFileTarget("ONE");
        QCOMPARE(probeDeviceLock(one), LockState::Free);
        QVERIFY(!QFile::exists(QString::fromStdString(one.path))); // probing creates nothing

        auto held = DeviceLock::acquire(one);
        QVERIFY(held);
        std::string problem;
        QVERIFY(!DeviceLock::acquire(one, &problem));
        QCOMPARE(problem, std::string("in use by another program"));
        QCOMPARE(probeDeviceLock(one), LockState::Held);
        QCOMPARE(probeDeviceLock(one), LockState::Held); // the probe left the holder undisturbed
        QVERIFY(!DeviceLock::acquire(one));
        QVERIFY(DeviceLock::acquire(lockFileTarget("OTHER")));

        held.reset();
        QCOMPARE(probeDeviceLock(one), LockState::Free);
        QVERIFY(DeviceLock::acquire(one));
    }

    void heldByAnotherProcessUntilItDies()
    {
        const LockTarget shared = lockFileTarget("SHARED");
        LockHolder other(shared.path);
        QVERIFY(other.locked());
        QVERIFY(!DeviceLock::acquire(shared));
        QCOMPARE(probeDeviceLock(shared), LockState::Held);
        other.kill();
        QCOMPARE(probeDeviceLock(shared), LockState::Free);
        QVERIFY(DeviceLock::acquire(shared));
    }

    // A real sensor is locked on its device node: the same node for every
    // process, whatever runtime folder each was given.
    void aDeviceNodeIsLockedMachineWide()
    {
        const PseudoTerminal node;
        QVERIFY(!node.path().empty());
        const LockTarget target{node.path(), true, {}};
        LockHolder other(node.path());
        QVERIFY(other.locked());
        {
            const QTemporaryDir elsewhere;
            const EnvScope runtime("XDG_RUNTIME_DIR", elsewhere.path().toUtf8().constData());
            std::string problem;
            QCOMPARE(probeDeviceLock(target, &problem), LockState::Held);
            QCOMPARE(problem, std::string("in use by another program"));
            QVERIFY(!DeviceLock::acquire(target));
        }
        other.kill();
        auto held = DeviceLock::acquire(target);
        QVERIFY(held);
        QCOMPARE(probeDeviceLock(target), LockState::Held);

        // A node is never created, and nothing but a character device serves.
        const QTemporaryDir folder;
        std::string problem;
        const LockTarget missing{folder.filePath("003").toStdString(), true, {}};
        QCOMPARE(probeDeviceLock(missing, &problem), LockState::Inaccessible);
        QVERIFY2(problem.find("cannot be opened: No such file or directory") != std::string::npos, problem.c_str());
        QVERIFY(!DeviceLock::acquire(missing));
        QVERIFY(!QFile::exists(QString::fromStdString(missing.path)));
        const LockTarget regular{lockFileTarget("REGULAR").path, true, {}};
        QVERIFY(DeviceLock::acquire(lockFileTarget("REGULAR")));
        QVERIFY(!DeviceLock::acquire(regular, &problem));
        QVERIFY2(problem.find("is not a device node") != std::string::npos, problem.c_str());
    }

    void theNodeIsWhereLibusbFindsTheDevice()
    {
        QTemporaryDir devfs;
        QVERIFY(QDir().mkpath(devfs.filePath("002")));
        QFile node(devfs.filePath("002/009"));
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        const EnvScope root("USB_DEVFS_PATH", devfs.path().toUtf8().constData());
        usb_bus bus{};
        std::snprintf(bus.dirname, sizeof bus.dirname, "002");
        struct usb_device device{};
        device.bus = &bus;
        std::snprintf(device.filename, sizeof device.filename, "009");
        const LockTarget target = deviceNodeTarget(&device);
        QCOMPARE(QString::fromStdString(target.path), devfs.filePath("002/009"));
        QVERIFY(target.deviceNode);

        std::snprintf(device.filename, sizeof device.filename, "777");
        const LockTarget gone = deviceNodeTarget(&device);
        QVERIFY(gone.path.empty());
        QCOMPARE(gone.problem, std::string("no device node found for USB device 002/777"));
        std::string problem;
        QCOMPARE(probeDeviceLock(gone, &problem), LockState::Inaccessible);
        QCOMPARE(problem, gone.problem);
    }

    void programsStartedByTheHolderDoNotInheritIt()
    {
        const LockTarget spawn = lockFileTarget("SPAWN");
        auto held = DeviceLock::acquire(spawn);
        QVERIFY(held);
        pid_t child;
        char sleepName[] = "sleep";
        char seconds[] = "30";
        char* argv[] = {sleepName, seconds, nullptr};
        QCOMPARE(::posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
        held.reset();
        // Until the child has executed sleep it shares our descriptors; once
        // it has, an inherited lock would stay held for its 30 seconds.
        QElapsedTimer timer;
        timer.start();
        LockState afterRelease;
        while ((afterRelease = probeDeviceLock(spawn)) != LockState::Free && timer.elapsed() < 3000)
            QThread::msleep(10);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        QCOMPARE(afterRelease, LockState::Free);
    }

    void serialsAreEncodedIntoPlainNames_data()
    {
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("SIM0001") << "brisvane_SIM0001";
        QTest::newRow("kept punctuation") << QByteArray("a.b_c-d") << "brisvane_a.b_c-d";
        QTest::newRow("parent directory") << QByteArray("../../x") << "brisvane_..%2F..%2Fx";
        QTest::newRow("space and percent") << QByteArray("a b%") << "brisvane_a%20b%25";
        QTest::newRow("control and high bytes") << QByteArray("\n\x7f\xff", 3) << "brisvane_%0A%7F%FF";
        QTest::newRow("empty") << QByteArray() << "brisvane_";
    }

    void serialsAreEncodedIntoPlainNames()
    {
        QFETCH(QByteArray, serial);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(lockFileName(serial.toStdString())), name);
    }

    void distinctSerialsKeepDistinctFiles()
    {
        QVERIFY(lockFileName("a b") != lockFileName("a%20b"));
        QVERIFY(lockFileName("a/b") != lockFileName("a%2Fb"));
        QVERIFY(lockFileName("a/b") != lockFileName("a_b"));
    }

    void hostileSerialsStayInTheRuntimeDirectory()
    {
        QTemporaryDir base;
        const QString runtime = base.filePath("runtime");
        QVERIFY(QDir().mkpath(runtime));
        EnvScope env("XDG_RUNTIME_DIR", runtime.toUtf8().constData());

        const std::string hostile[] = {"../escape", "/etc/owned", "..", "a/../../b", std::string("x\0y", 3)};
        for (const std::string& serial : hostile)
            QVERIFY(DeviceLock::acquire(lockFileTarget(serial)));
        QCOMPARE(entriesOf(base.path()), QStringList{"runtime"});
        const QRegularExpression plain("^brisvane_[A-Za-z0-9._%-]*$");
        const QStringList files = entriesOf(runtime);
        QCOMPARE(files.size(), 5);
        for (const QString& file : files)
            QVERIFY2(plain.match(file).hasMatch(), qPrintable(file));
    }

    // Without a runtime folder of this user's alone, lock files go to a folder
    // of the temporary directory that only this user may write to.
    void aPrivateFolderIsUsedOrNone()
    {
        QTemporaryDir temp;
        EnvScope tmpdir("TMPDIR", temp.path().toUtf8().constData());
        const QString own = temp.filePath(QStringLiteral("orvel-%1").arg(::geteuid()));
        std::string problem;
        for (const char* runtime : {static_cast<const char*>(nullptr), "relative/dir"}) {
            EnvScope env("XDG_RUNTIME_DIR", runtime);
            QCOMPARE(QString::fromStdString(privateLockDirectory(problem)), own);
            struct stat status{};
            QCOMPARE(::stat(own.toUtf8().constData(), &status), 0);
            QCOMPARE(status.st_mode & 0777, mode_t(0700));
        }
        // A runtime folder others may write to is not used either.
        QVERIFY(QDir().mkpath(temp.filePath("shared")));
        QCOMPARE(::chmod(temp.filePath("shared").toUtf8().constData(), 01777), 0);
        {
            EnvScope env("XDG_RUNTIME_DIR", temp.filePath("shared").toUtf8().constData());
            QCOMPARE(QString::fromStdString(privateLockDirectory(problem)), own);
            QVERIFY(DeviceLock::acquire(lockFileTarget("TMP")));
            QVERIFY(QFile::exists(own + "/brisvane_TMP"));
        }
        // A folder under that name that others may write to (planted, or
        // opened up) is refused: no lock, and the reason is given.
        QCOMPARE(::chmod(own.toUtf8().constData(), 0777), 0);
        EnvScope env("XDG_RUNTIME_DIR", nullptr);
        QCOMPARE(privateLockDirectory(problem), std::string());
        QCOMPARE(QString::fromStdString(problem), QStringLiteral("the lock folder %1 is not a folder of this user's alone").arg(own));
        QVERIFY(!DeviceLock::acquire(lockFileTarget("TMP"), &problem));
        QCOMPARE(probeDeviceLock(lockFileTarget("TMP")), LockState::Inaccessible);
    }

    void plantedLinksAndFifosAreRefusedAtOnce()
    {
        QTemporaryDir runtime;
        EnvScope env("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData());
        const QString target = runtime.filePath("victim");
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.close();
        QVERIFY(QFile::link(target, runtime.filePath("brisvane_LINK")));

        QVERIFY(!DeviceLock::acquire(lockFileTarget("LINK")));
        QCOMPARE(probeDeviceLock(lockFileTarget("LINK")), LockState::Inaccessible);
        const int fd = ::open(target.toUtf8().constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0); // the target was never locked
        ::close(fd);

        // A FIFO would block an open for reading until a writer came.
        QCOMPARE(::mkfifo(runtime.filePath("brisvane_FIFO").toUtf8().constData(), 0600), 0);
        std::string problem;
        QCOMPARE(probeDeviceLock(lockFileTarget("FIFO"), &problem), LockState::Inaccessible);
        QCOMPARE(QString::fromStdString(problem),
                 QStringLiteral("the lock %1 is not a regular file").arg(runtime.filePath("brisvane_FIFO")));
        QVERIFY(!DeviceLock::acquire(lockFileTarget("FIFO")));
    }

private:
    PrivateRuntimeDir runtime_; // the probes depend on which lock files exist
};

QTEST_GUILESS_MAIN(TestDeviceLock)
#include "test_device_lock.moc"
