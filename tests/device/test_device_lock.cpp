// The device lock: exclusive across processes and within one, probed without
// being taken, released on close and on the holder's death, never inherited
// by programs the holder starts, and kept inside its directory whatever the
// serial string holds.

#include "DeviceTestSupport.h"
#include "lock/DeviceLock.h"

#include <QtTest>

#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>

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

} // namespace

class TestDeviceLock : public QObject
{
    Q_OBJECT

private slots:
    void exclusiveWithinOneProcess()
    {
        QCOMPARE(probeDeviceLock("ONE"), LockState::Free);
        QVERIFY(!QFile::exists(QString::fromStdString(lockFilePath("ONE")))); // probing creates nothing

        auto held = DeviceLock::acquire("ONE");
        QVERIFY(held);
        QVERIFY(!DeviceLock::acquire("ONE"));
        QCOMPARE(probeDeviceLock("ONE"), LockState::Held);
        QCOMPARE(probeDeviceLock("ONE"), LockState::Held); // the probe left the holder undisturbed
        QVERIFY(!DeviceLock::acquire("ONE"));
        QVERIFY(DeviceLock::acquire("OTHER"));

        held.reset();
        QCOMPARE(probeDeviceLock("ONE"), LockState::Free);
        QVERIFY(DeviceLock::acquire("ONE"));
    }

    void heldByAnotherProcessUntilItDies()
    {
        LockHolder other(lockFilePath("SHARED"));
        QVERIFY(other.locked());
        QVERIFY(!DeviceLock::acquire("SHARED"));
        QCOMPARE(probeDeviceLock("SHARED"), LockState::Held);
        other.kill();
        QCOMPARE(probeDeviceLock("SHARED"), LockState::Free);
        QVERIFY(DeviceLock::acquire("SHARED"));
    }

    void programsStartedByTheHolderDoNotInheritIt()
    {
        auto held = DeviceLock::acquire("SPAWN");
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
        while ((afterRelease = probeDeviceLock("SPAWN")) != LockState::Free && timer.elapsed() < 3000)
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
            QVERIFY(DeviceLock::acquire(serial));
        QCOMPARE(entriesOf(base.path()), QStringList{"runtime"});
        const QRegularExpression plain("^brisvane_[A-Za-z0-9._%-]*$");
        const QStringList files = entriesOf(runtime);
        QCOMPARE(files.size(), 5);
        for (const QString& file : files)
            QVERIFY2(plain.match(file).hasMatch(), qPrintable(file));
    }

    void directoryFallsBackToTheTemporaryDirectory()
    {
        QTemporaryDir temp;
        EnvScope tmpdir("TMPDIR", temp.path().toUtf8().constData());
        {
            EnvScope runtime("XDG_RUNTIME_DIR", nullptr);
            QCOMPARE(QString::fromStdString(lockDirectory()), temp.path());
        }
        {
            EnvScope runtime("XDG_RUNTIME_DIR", "relative/dir"); // not a usable runtime directory
            QCOMPARE(QString::fromStdString(lockDirectory()), temp.path());
            QVERIFY(DeviceLock::acquire("TMP"));
            QVERIFY(QFile::exists(temp.filePath("brisvane_TMP")));
        }
    }

    void plantedLinksAreNotFollowed()
    {
        QTemporaryDir runtime;
        EnvScope env("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData());
        const QString target = runtime.filePath("victim");
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.close();
        QVERIFY(QFile::link(target, runtime.filePath("brisvane_LINK")));

        QVERIFY(!DeviceLock::acquire("LINK"));
        QCOMPARE(probeDeviceLock("LINK"), LockState::Inaccessible);
        const int fd = ::open(target.toUtf8().constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0); // the target was never locked
        ::close(fd);
    }

    void unreadableLockFileCountsAsInUse()
    {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        QTemporaryDir runtime;
        EnvScope env("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData());
        QVERIFY(DeviceLock::acquire("PERM"));
        QCOMPARE(::chmod(runtime.filePath("brisvane_PERM").toUtf8().constData(), 0), 0);
        QCOMPARE(probeDeviceLock("PERM"), LockState::Inaccessible);
        QVERIFY(!DeviceLock::acquire("PERM"));
    }

private:
    PrivateRuntimeDir runtime_; // the probes depend on which lock files exist
};

QTEST_GUILESS_MAIN(TestDeviceLock)
#include "test_device_lock.moc"
