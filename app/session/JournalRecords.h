#pragma once

#include "acquisition/scanResult.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

struct SessionContents;

// The records of a recovery journal. A journal is the file magic followed by
// records, each
//
//     payload length (4 bytes) | type (1 byte) | payload | CRC-32 of type and payload (4 bytes)
//
// little-endian. A record whose length, type or checksum is wrong, or that
// the file ends inside, ends the journal: everything before it stands.
namespace journal {

// The first bytes of every journal.
extern const QByteArray magic;

enum class RecordType : quint8 {
    // Everything about the session but its frames: identity, file name,
    // configuration, analysis settings, base level, and (only when the journal
    // begins on a session that already holds data) those data as a session
    // document.
    State = 1,
    // One frame as the sensor sent it, with the second it was filed at.
    Frame = 2,
};

// Bytes a record adds to its payload.
constexpr int recordOverhead = 4 + 1 + 4;
// A state record larger than this is taken for damage.
constexpr int maxStatePayload = 256 * 1024 * 1024;

QByteArray record(RecordType type, const QByteArray& payload);

// The frame record of `frame` filed at `filedAtSecs` (seconds since the epoch).
QByteArray frameRecord(const scanResult& frame, qint64 filedAtSecs);
// The state record of `contents`; its frames go along only when asked.
QByteArray stateRecord(const SessionContents& contents, bool withData);

struct Frame
{
    scanResult frame;
    QDateTime filedAt;
};
std::optional<Frame> decodeFrame(const QByteArray& payload);

// Applies a state payload to `contents`: false with the reason in `error`
// when it cannot be decoded (nothing is changed then).
bool applyState(const QByteArray& payload, SessionContents& contents, QString& error);

// One record read from a journal's bytes.
struct Record
{
    RecordType type;
    QByteArray payload;
};

// Walks the records of a journal held in memory.
class Reader
{
public:
    // False when `bytes` does not begin with the magic.
    explicit Reader(QByteArray bytes);
    bool hasMagic() const { return m_hasMagic; }
    // The next whole record, or none at the end or at the first damaged one.
    std::optional<Record> next();
    // Bytes from the start up to the end of the last whole record read.
    qint64 goodBytes() const { return m_offset; }

private:
    QByteArray m_bytes;
    bool m_hasMagic;
    qint64 m_offset;
};

} // namespace journal
