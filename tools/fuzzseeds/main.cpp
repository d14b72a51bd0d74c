// Writes the seed corpora of the fuzz targets, one folder per target, with the
// program's own writers and encoders, so every seed is a valid file or stream
// of today's formats:
//
//   orvel-fuzz-seeds <folder>      (fuzz/corpus is the committed one)
//
// Each seed is read back with the reader its target fuzzes before it is kept;
// the program fails when one does not read.

#include "SimulatedAcquisition.h"

#include "acquisition/measuredData.h"
#include "analysis/DialogSettingsFile.h"
#include "analysis/EedfTable.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParam.h"
#include "drive/DriveReply.h"
#include "protocol/SensorClock.h"
#include "protocol/SensorFrames.h"
#include "session/ExportSettings.h"
#include "session/JournalRecords.h"
#include "session/JournalReplay.h"
#include "session/SessionContents.h"
#include "session/SessionFile.h"
#include "simdrive/SimulatedDrive.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using Bytes = std::vector<unsigned char>;

namespace {

QDir output;

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "orvel-fuzz-seeds: %s\n", qPrintable(what));
    std::exit(1);
}

void writeSeed(const QString& target, const QString& name, const QByteArray& bytes)
{
    if (!output.mkpath(target))
        fail(QStringLiteral("cannot create %1").arg(output.filePath(target)));
    QFile file(output.filePath(target + QLatin1Char('/') + name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1").arg(file.fileName()));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(path));
    return file.readAll();
}

// ---- the sensor's byte stream ------------------------------------------------

// A data frame with the values the simulated plasma gives, its delay in ticks
// of the slow clock.
Bytes dataFrame(const scanResult& frame, int harmonics)
{
    orvel::device::DataFrame d;
    d.position = static_cast<std::uint16_t>(frame.position);
    d.mode = frame.mode;
    d.scan = static_cast<std::uint16_t>(frame.scan);
    d.word8 = static_cast<std::uint16_t>(frame.word8);
    d.word10 = static_cast<std::uint16_t>(frame.word10);
    d.delayTicks = static_cast<std::int32_t>(std::lround(frame.delay * orvel::device::slowTickFactor));
    d.harmonicCount = static_cast<std::int8_t>(harmonics);
    d.freq = static_cast<float>(frame.freq);
    for (int k = 0; k < harmonics; ++k)
        d.harmonics[k] = {float(frame.VR[k]), float(frame.Vi[k]), float(frame.Ir[k]), float(frame.Ii[k])};
    return orvel::device::encodeDataFrame(d);
}

void append(Bytes& to, const Bytes& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// The layout sensor_stream_fuzz reads: three read-size bytes, the call pattern
// byte, the stream.
void writeStreamSeed(const QString& name, std::array<unsigned char, 4> header, const Bytes& stream)
{
    QByteArray bytes(reinterpret_cast<const char*>(header.data()), int(header.size()));
    bytes.append(reinterpret_cast<const char*>(stream.data()), int(stream.size()));
    writeSeed(QStringLiteral("sensor_stream_fuzz"), name, bytes);
}

void writeStreamSeeds()
{
    using namespace orvel::device;
    AcquisitionPlan plan;
    plan.scans = 1;
    plan.delays = 2;
    plan.harmonics = 4;
    const QVector<scanResult> frames = simulatedAcquisition(plan);

    Bytes scan;
    for (const scanResult& frame : frames)
        append(scan, dataFrame(frame, frame.harmonics));
    constexpr unsigned char wholeReads = 0xFE; // 509 bytes a read
    constexpr unsigned char zeroLengthPacket = 0xFF;
    writeStreamSeed(QStringLiteral("scan_in_whole_reads"), {wholeReads, wholeReads, wholeReads, 0x00}, scan);
    writeStreamSeed(QStringLiteral("scan_in_pieces_with_status_queries"), {1, 20, zeroLengthPacket, 0x12}, scan);
    writeStreamSeed(QStringLiteral("scan_then_unplugged"), {wholeReads, 7, wholeReads, 0x80}, scan);

    Bytes replies;
    append(replies, encodeInfoReply("Brisvane Orvel sensor V2.0 2011 fast"));
    append(replies, encodeStatusReply('N', 0x0102));
    append(replies, dataFrame(frames.front(), 16));
    append(replies, encodeStatusReply('I'));
    append(replies, dataFrame(frames.back(), 0));
    writeStreamSeed(QStringLiteral("replies_and_frames"), {wholeReads, wholeReads, wholeReads, 0x00}, replies);
}

// ---- session files -------------------------------------------------------------

// Keeps every `step`-th value: a filed frame holds waveforms of 1000 samples,
// and seeds of a few kilobytes let the fuzzer mutate structure rather than
// digits. The reader takes vectors of any length.
template <typename T>
void thin(QVector<T>& values, int step)
{
    QVector<T> kept;
    for (int i = 0; i < values.size(); i += step)
        kept.append(values[i]);
    values = kept;
}

void thinFrames(measuredData& data)
{
    constexpr int step = 100;
    for (PositionWrapper& position : data.positions)
        for (ScanGroup& group : position.scans)
            for (QVector<DelayWrapper>* band : {&group.Delays200, &group.Delays400})
                for (DelayWrapper& w : *band) {
                    for (DelayWrapper::Curve c : {DelayWrapper::WaveFormV, DelayWrapper::WaveFormI, DelayWrapper::Time,
                                                  DelayWrapper::IvV, DelayWrapper::IvI}) {
                        QVector<double> v = w.curve(c);
                        thin(v, step);
                        w.setCurve(c, v);
                    }
                    if (!w.scanRecord)
                        continue;
                    ScanRecord& r = *w.scanRecord;
                    for (QVector<double>* v : {&r.V, &r.I, &r.stdV, &r.stdI, &r.doubleProbeV, &r.doubleProbeI,
                                               &r.doubleProbeStdV, &r.doubleProbeStdI})
                        thin(*v, step);
                    thin(r.initScanDerivative, step);
                }
}

void writeSessionSeed(const QString& name, const AcquisitionPlan* plan,
                      const LangmuirSettings& analysisSettings = LangmuirSettings())
{
    measuredData data;
    data.deviceID = QStringLiteral("SIM0001");
    data.comment = QStringLiteral("seed for the session file reader");
    const QDateTime filedAt(QDate(2024, 3, 1), QTime(12, 0, 0), Qt::UTC);
    if (plan)
        for (const scanResult& frame : simulatedAcquisition(*plan))
            data.add(frame, filedAt);
    thinFrames(data);
    // One frame saved without its scan record, as a session may hold.
    if (!data.positions.isEmpty() && !data.positions.front().scans.front().Delays400.isEmpty())
        data.positions.front().scans.front().Delays400.front().scanRecord.reset();

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeSession(buffer, data, ConfigParam(), analysisSettings, filedAt))
        fail(QStringLiteral("session %1 not written").arg(name));

    QBuffer reading(&buffer.buffer());
    reading.open(QIODevice::ReadOnly);
    measuredData read;
    ConfigParam config;
    LangmuirSettings settings;
    QString error;
    if (!readSession(reading, read, config, settings, &error))
        fail(QStringLiteral("session %1 does not read: %2").arg(name, error));
    writeSeed(QStringLiteral("session_file_fuzz"), name + QStringLiteral(".ldf"), buffer.data());
}

void writeSessionSeeds()
{
    writeSessionSeed(QStringLiteral("empty"), nullptr);

    AcquisitionPlan one;
    one.scans = 1;
    one.delays = 1;
    one.harmonics = 2;
    writeSessionSeed(QStringLiteral("one_frame_each_band"), &one);

    // Three scans make the position hold averages.
    AcquisitionPlan averaged = one;
    averaged.scans = 3;
    averaged.harmonics = 1;
    writeSessionSeed(QStringLiteral("three_scans_averaged"), &averaged);

    // Analysis settings that once crashed every reader (a derivative half-width
    // that overflows), or gave infinite or negative densities as results.
    LangmuirSettings hostile;
    hostile.nDerivativePoints = std::numeric_limits<int>::max();
    hostile.probe_radius = 0;
    hostile.pressure = -1;
    hostile.ionmass = 0;
    writeSessionSeed(QStringLiteral("settings_out_of_range"), &one, hostile);
}

// ---- recovery journals -----------------------------------------------------------

// A journal of the frames of `plan` as the window or orvel-cli writes it, cut
// `cutBytes` before its end (a program killed in the middle of a write).
void writeJournalSeed(const QString& name, const AcquisitionPlan& plan, int cutBytes, QTemporaryDir& scratch)
{
    SessionContents contents;
    contents.data.deviceID = QStringLiteral("SIM0001");
    contents.data.comment = QStringLiteral("seed for the recovery journal reader");
    const qint64 filedAt = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0), Qt::UTC).toSecsSinceEpoch();
    QByteArray bytes = journal::magic + journal::stateRecord(contents, false);
    int frames = 0;
    for (const scanResult& frame : simulatedAcquisition(plan)) {
        bytes += journal::frameRecord(frame, filedAt);
        ++frames;
    }
    bytes.chop(cutBytes);

    const QString path = scratch.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1").arg(path));
    file.close();
    SessionContents read;
    QString error;
    if (!replayJournal(path, read, error))
        fail(QStringLiteral("journal %1 does not replay: %2").arg(name, error));
    if (read.data.frameCount() != frames - (cutBytes > 0 ? 1 : 0))
        fail(QStringLiteral("journal %1 replays %2 frames").arg(name).arg(read.data.frameCount()));
    writeSeed(QStringLiteral("recovery_journal_fuzz"), name, bytes);
}

void writeJournalSeeds()
{
    QTemporaryDir scratch;
    AcquisitionPlan plan;
    plan.scans = 3;
    plan.delays = 1;
    plan.harmonics = 2;
    writeJournalSeed(QStringLiteral("three_scans.ldj"), plan, 0, scratch);
    writeJournalSeed(QStringLiteral("cut_in_a_frame.ldj"), plan, 100, scratch);
}

// ---- the analysis-settings dialog file -----------------------------------------

// The file the "Process Settings" dialog writes when it closes, in a scratch
// working folder.
QByteArray dialogFile(void (*edit)(LangmuirSettingsWidget&))
{
    QTemporaryDir folder;
    const QString previous = QDir::currentPath();
    if (!folder.isValid() || !QDir::setCurrent(folder.path()))
        fail(QStringLiteral("no scratch folder for the dialog"));
    {
        LangmuirSettingsWidget dialog;
        if (edit)
            edit(dialog);
    }
    const QByteArray bytes = fileBytes(QLatin1String(LangmuirSettingsWidget::settingsFilePath));
    QDir::setCurrent(previous);
    return bytes;
}

void writeAnalysisSettingsSeeds()
{
    const QString target = QStringLiteral("analysis_settings_file_fuzz");
    writeSeed(target, QStringLiteral("defaults.xml"), dialogFile(nullptr));
    writeSeed(target, QStringLiteral("edited.xml"), dialogFile([](LangmuirSettingsWidget& dialog) {
                  dialog.findChild<QLineEdit*>(QStringLiteral("ionMassEdit"))->setText(QStringLiteral("39.948"));
                  dialog.findChild<QLineEdit*>(QStringLiteral("pressureEdit"))->setText(QStringLiteral("0.32"));
                  dialog.findChild<QComboBox*>(QStringLiteral("pressureUnitBox"))->setCurrentIndex(1);
                  dialog.findChild<QComboBox*>(QStringLiteral("useZeroCrossing"))->setCurrentIndex(1);
                  dialog.setUserVpForFrame(2, 7.5);
                  dialog.setLangmuirSettings();
              }));

    // Texts outside every field's range, as a hand-edited file may hold.
    writeSeed(target, QStringLiteral("out_of_range.xml"), dialogFile([](LangmuirSettingsWidget& dialog) {
                  for (const char* field : {"ionMassEdit", "rpEdit", "lpEdit", "tgEdit", "sigmaNEdit"})
                      dialog.findChild<QLineEdit*>(QLatin1String(field))->setText(QStringLiteral("0"));
                  dialog.findChild<QLineEdit*>(QStringLiteral("pressureEdit"))->setText(QStringLiteral("-1"));
                  dialog.findChild<QLineEdit*>(QStringLiteral("resEdit"))->setText(QStringLiteral("inf"));
              }));

    // All must read back under the dialog's class.
    for (const QString& name :
         {QStringLiteral("defaults.xml"), QStringLiteral("edited.xml"), QStringLiteral("out_of_range.xml")}) {
        QMap<QString, QString> entries;
        readDialogSettingsFile(output.filePath(target + QLatin1Char('/') + name),
                               QStringLiteral("LangmuirSettingsWidget"), entries);
        if (entries.isEmpty())
            fail(QStringLiteral("dialog file %1 does not read").arg(name));
    }
}

// ---- the export options file ----------------------------------------------------

void writeExportSettingsSeed(const QString& name, const ExportSettings& settings, QTemporaryDir& scratch)
{
    const QString path = scratch.filePath(name);
    const QString error = settings.store(path);
    if (!error.isEmpty())
        fail(error);
    ExportSettings read;
    read.separator = QStringLiteral("unread");
    read.load(path);
    if (read.separator != settings.separator)
        fail(QStringLiteral("export options %1 do not read").arg(name));
    writeSeed(QStringLiteral("export_settings_fuzz"), name, fileBytes(path));
}

void writeExportSettingsSeeds()
{
    QTemporaryDir scratch;
    writeExportSettingsSeed(QStringLiteral("defaults.xml"), ExportSettings(), scratch);
    ExportSettings everything;
    everything.separator = QStringLiteral("\t");
    everything.results = everything.ivInterpolate = everything.band200 = everything.band400 = true;
    everything.doubleProbeCorrected = true;
    everything.header = everything.waveFormData = false;
    writeExportSettingsSeed(QStringLiteral("tab_all_sections.xml"), everything, scratch);
}

// ---- EEDF tables --------------------------------------------------------------

void writeEedfSeed(const QString& name, const EedfTable& table, QTemporaryDir& scratch)
{
    const QString path = scratch.filePath(name);
    const QString error = writeEedfTable(path, table);
    if (!error.isEmpty())
        fail(error);
    EedfTable read;
    if (!readEedfTable(path, read).isEmpty() || read != table)
        fail(QStringLiteral("EEDF table %1 does not read back").arg(name));
    writeSeed(QStringLiteral("eedf_table_fuzz"), name, fileBytes(path));
}

void writeEedfSeeds()
{
    QTemporaryDir scratch;
    writeEedfSeed(QStringLiteral("eedf.txt"), defaultEedfTable(), scratch);
    writeEedfSeed(QStringLiteral("fine.eedfTable"), {{0.25, 0.125}, {1.5, 0.5}, {12, 2.5}}, scratch);
}

// ---- drive replies --------------------------------------------------------------

// Sends command lines to the simulated drive and returns what it answers, each
// answer collected until it is complete (or the drive has been silent 2 s).
QByteArray driveAnswers(SimulatedDrive& drive, const QList<QByteArray>& lines, bool lastNeedsNoPrompt = false)
{
    const int fd = ::open(drive.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        fail(QStringLiteral("cannot open the simulated drive's line"));
    QByteArray all;
    for (int i = 0; i < lines.size(); ++i) {
        if (::write(fd, lines[i].constData(), size_t(lines[i].size())) != lines[i].size())
            fail(QStringLiteral("cannot write to the simulated drive"));
        const bool needPrompt = !(lastNeedsNoPrompt && i == lines.size() - 1);
        QByteArray answer;
        pollfd readable{fd, POLLIN, 0};
        while (!DriveReply::isComplete(answer, needPrompt) && ::poll(&readable, 1, 2000) > 0) {
            char byte;
            if (::read(fd, &byte, 1) == 1)
                answer.append(byte);
        }
        all += answer;
    }
    ::close(fd);
    return all;
}

void writeDriveReplySeeds()
{
    SimulatedDrive drive;
    if (!drive.start())
        fail(QStringLiteral("the simulated drive does not start: %1").arg(drive.errorString()));
    const QString target = QStringLiteral("drive_reply_fuzz");
    writeSeed(target, QStringLiteral("identification"),
              driveAnswers(drive, {"MV\r\n", "IFD\r", "DL2\r", "DE7\r", "AC7\r", "RLR\r"}));
    drive.placeCarriage(1500, -250);
    writeSeed(target, QStringLiteral("position"), driveAnswers(drive, {"IP\r", "SS111\r"}));
    writeSeed(target, QStringLiteral("error_and_code"), driveAnswers(drive, {"FPX\r\n", "PR ER\r"}, true));
    drive.stop();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvel-fuzz-seeds <folder>\n");
        return 2;
    }
    output = QDir(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    writeStreamSeeds();
    writeSessionSeeds();
    writeJournalSeeds();
    writeAnalysisSettingsSeeds();
    writeExportSettingsSeeds();
    writeEedfSeeds();
    writeDriveReplySeeds();
    return 0;
}
