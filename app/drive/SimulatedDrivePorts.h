#pragma once

#include <QString>
#include <QStringList>

// Simulated linear drives (orvel-simdrive) make their pseudo-terminals known
// to the configuration panel's port list, where the system's list of serial
// ports never shows a pseudo-terminal. Each running drive keeps one small file
// in the per-user runtime folder, orvel-simdrive/<process id>.port, holding its
// path, and an exclusive lock (flock) on it for as long as it runs: the kernel
// lets go of the lock however the drive ends, so a file left by a drive that
// was killed is recognised and passed over.

namespace SimulatedDrivePorts {

// The folder of the registrations, in the per-user runtime folder; empty when
// there is no usable runtime folder.
QString folder();

// The pseudo-terminals of the simulated drives running now, in name order.
// Only regular files of this user, at most a line long, whose lock is held,
// holding the path of an existing device under /dev/ count; nothing here
// blocks, whatever else the folder holds.
QStringList running();

} // namespace SimulatedDrivePorts

// The registration of one running simulated drive: made on construction,
// removed on destruction (and by the kernel's release of its lock when the
// process dies without that).
class SimulatedDriveRegistration
{
public:
    explicit SimulatedDriveRegistration(const QString& ptyPath);
    ~SimulatedDriveRegistration();
    SimulatedDriveRegistration(const SimulatedDriveRegistration&) = delete;
    SimulatedDriveRegistration& operator=(const SimulatedDriveRegistration&) = delete;

    bool isRegistered() const { return m_descriptor >= 0; }
    // Why the registration failed; empty when it did not.
    QString errorString() const { return m_error; }
    QString fileName() const { return m_fileName; }

private:
    int m_descriptor = -1;
    QString m_fileName;
    QString m_error;
};
