#include "session/JournalReplay.h"

#include "session/JournalRecords.h"
#include "session/RecoveryCopy.h"
#include "session/RegularFile.h"
#include "session/SessionContents.h"
#include "session/SessionFile.h"

#include <QFile>

#include <limits>

namespace {

// The whole journal, or none with the reason.
std::optional<journal::Reader> openJournal(const QString& fileName, QString& error)
{
    QFile file(fileName);
    if (!openRegularFile(file, QIODevice::ReadOnly, error))
        return std::nullopt;
    if (file.size() >= std::numeric_limits<int>::max()) {
        error = QStringLiteral("the journal is too large to read (%1 bytes)").arg(file.size());
        return std::nullopt;
    }
    journal::Reader reader(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    if (!reader.hasMagic()) {
        error = QStringLiteral("not a recovery journal");
        return std::nullopt;
    }
    return reader;
}

const QString noState = QStringLiteral("the journal ends before the session's state");

} // namespace

bool replayJournal(const QString& fileName, SessionContents& contents, QString& error, qint64* goodBytes)
{
    std::optional<journal::Reader> reader = openJournal(fileName, error);
    if (!reader)
        return false;
    bool stated = false;
    while (std::optional<journal::Record> record = reader->next()) {
        if (record->type == journal::RecordType::State) {
            if (!journal::applyState(record->payload, contents, error))
                return false;
            stated = true;
            continue;
        }
        const std::optional<journal::Frame> frame = journal::decodeFrame(record->payload);
        if (!stated || !frame)
            break;
        contents.data.add(frame->frame, frame->filedAt);
    }
    if (!stated) {
        error = noState;
        return false;
    }
    if (goodBytes)
        *goodBytes = reader->goodBytes();
    return true;
}

std::optional<JournalScan> scanJournal(const QString& fileName, QString& error)
{
    std::optional<journal::Reader> reader = openJournal(fileName, error);
    if (!reader)
        return std::nullopt;
    std::optional<journal::Record> first = reader->next();
    if (!first || first->type != journal::RecordType::State) {
        error = noState;
        return std::nullopt;
    }
    JournalScan scan;
    while (std::optional<journal::Record> record = reader->next())
        scan.frames += record->type == journal::RecordType::Frame;
    scan.goodBytes = reader->goodBytes();
    return scan;
}

namespace {

bool isLegacyCopy(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(RecoveryCopy::legacySuffix));
}

} // namespace

std::optional<int> recoveryFileFrames(const QString& fileName, QString& error)
{
    if (!isLegacyCopy(fileName)) {
        const std::optional<JournalScan> scan = scanJournal(fileName, error);
        return scan ? std::optional<int>(scan->frames) : std::nullopt;
    }
    SessionContents contents;
    return readRecoveryFile(fileName, contents, error) ? std::optional<int>(contents.data.frameCount()) : std::nullopt;
}

bool readRecoveryFile(const QString& fileName, SessionContents& contents, QString& error)
{
    if (!isLegacyCopy(fileName))
        return replayJournal(fileName, contents, error);
    QFile file(fileName);
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Text, error))
        return false;
    return readSession(file, contents.data, contents.config, contents.settings, &error);
}

bool readRecoveryFile(RecoveryCopy& copy, SessionContents& contents, QString& error)
{
    if (copy.crashedWhileReading()) {
        error = QStringLiteral("reading it ended the program before");
        // Marked still, for whoever claims it next.
        copy.startReading();
        return false;
    }
    copy.startReading();
    const bool read = readRecoveryFile(copy.fileName(), contents, error);
    copy.finishedReading();
    return read;
}
