// orvel-cli end to end: the built program, run as a user runs it, against the
// simulated plasma sensor. Acquisitions must read the model's plasma, file one
// frame per delay, keep what arrived when the sensor is lost or the scan is
// interrupted, and the analysis must agree with the export.

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/JournalReplay.h"
#include "session/RecoveryCopy.h"
#include "session/SessionContents.h"
#include "session/SessionFile.h"

#include "support/FileSizeLimit.h"
#include "support/RecoveryFolder.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <cmath>

#include <sys/file.h>
#include <sys/stat.h>

namespace {

// The model's plasma as the test environment leaves it (argon defaults).
constexpr double modelKTe = 3.0;
constexpr double modelIonSaturation = 1e-3;

struct Run
{
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
    QString out;
    QString err;
};

using Environment = QList<QPair<QString, QString>>;

void startCli(QProcess& process, const QStringList& arguments, const Environment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& entry : extra)
        environment.insert(entry.first, entry.second);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ORVEL_CLI_PATH), arguments);
}

Run finish(QProcess& process)
{
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("<orvel-cli did not finish>");
        return run;
    }
    run.status = process.exitStatus();
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run runCli(const QStringList& arguments, const Environment& extra = {})
{
    QProcess process;
    startCli(process, arguments, extra);
    return finish(process);
}

QByteArray describe(const Run& run)
{
    return QStringLiteral("exit %1 (%2)\nstdout: %3\nstderr: %4")
        .arg(run.exitCode)
        .arg(run.status == QProcess::NormalExit ? "normal" : "crashed")
        .arg(run.out, run.err)
        .toUtf8();
}

#define CHECK_EXIT(run, code)                                                                                 \
    QVERIFY2((run).status == QProcess::NormalExit && (run).exitCode == (code), describe(run).constData())

struct Session
{
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
};

bool readSessionFile(const QString& path, Session& session)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text)
           && readSession(file, session.data, session.config, session.settings);
}

void removeRecoveryCopies()
{
    QDir(RecoveryCopy::defaultFolder()).removeRecursively();
}

// The frames on disk in the one recovery journal there is; -1 without one.
int journalFrames()
{
    const QStringList journals = recoveryCopies();
    QString error;
    const std::optional<JournalScan> scan =
        journals.size() == 1 ? scanJournal(journals.first(), error) : std::nullopt;
    return scan ? scan->frames : -1;
}

// The file named in a message between the given words and a double quote.
QString quotedAfter(const QString& text, const QString& words)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QRegularExpression::escape(words) + QStringLiteral(" \"([^\"]+)\"")).match(text);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The rows of `analyse --csv` below its header, split into fields.
QVector<QStringList> csvRows(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVector<QStringList> rows;
    if (lines.isEmpty()
        || lines.takeFirst()
               != QLatin1String("position,delay_us,kTe,Jp,Ni,Ld,error,kTe_error,Jp_error,Ni_error,Ld_error,"
                                "kTe_harmonic,kTe_harmonic_error,Iis_harmonic,Ni_harmonic,harmonic_residual,"
                                "harmonic_error"))
        return rows;
    for (const QString& line : lines)
        rows.append(line.split(QLatin1Char(',')));
    return rows;
}

// The rows of an export's plasma-parameter table, split at `separator`: the
// lines of six fields below its title and column titles.
QVector<QStringList> exportedParameterRows(const QString& text, const QString& separator)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QVector<QStringList> rows;
    const int title = lines.indexOf(QStringLiteral("Plasma Parameters"));
    if (title < 0)
        return rows;
    for (int i = title + 2; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(separator);
        if (fields.size() != 6)
            break;
        rows.append(fields);
    }
    return rows;
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}

double probeArea(const LangmuirSettings& settings)
{
    return M_PI * settings.probe_radius * settings.probe_radius;
}

// The number the summary line gives before " frames".
int savedFrames(const QString& summary)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d+) frames")).match(summary);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

class TestOrvelCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(qgetenv("ORVEL_SIMULATED_SENSOR"), QByteArray("1"));
        QVERIFY2(QFile::exists(QStringLiteral(ORVEL_CLI_PATH)), ORVEL_CLI_PATH);
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
    }

    // Each test starts from an empty settings store (the configuration's
    // defaults) and without recovery journals.
    void init()
    {
        QSettings().clear();
        removeRecoveryCopies();
    }

    void versionHelpAndSensors()
    {
        Run run = runCli({QStringLiteral("--version")});
        CHECK_EXIT(run, 0);
        QCOMPARE(run.out, QStringLiteral("orvel-cli 1.5.0\n"));

        run = runCli({QStringLiteral("acquire"), QStringLiteral("--help")});
        CHECK_EXIT(run, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: orvel-cli [options] acquire")));
        for (const char* option : {"--scans", "--time-resolved", "--integration-time", "--sync-frequency", "--output"})
            QVERIFY2(run.out.contains(QLatin1String(option)), option);

        run = runCli({QStringLiteral("sensors")});
        CHECK_EXIT(run, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^SIM0001 +available\\n$")).match(run.out).hasMatch(),
                 qPrintable(run.out));
    }

    // `sensors` lists what `acquire` will meet at the device lock, and
    // neither waits on a FIFO planted in the lock's place.
    void sensorsSaysWhatAcquireMeets()
    {
        const QString lock = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/brisvane_SIM0001");
        {
            QFile held(lock);
            QVERIFY(held.open(QIODevice::ReadWrite));
            QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);
            Run run = runCli({QStringLiteral("sensors")});
            CHECK_EXIT(run, 0);
            QCOMPARE(run.out, QStringLiteral("SIM0001              in use\n"));
            run = runCli({QStringLiteral("acquire"), QStringLiteral("-o"), QStringLiteral("never.ldf")});
            CHECK_EXIT(run, 1);
            QCOMPARE(run.err, QStringLiteral("orvel-cli: no sensor available (SIM0001 in use)\n"));
        }
        QVERIFY(QFile::remove(lock));
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        const QString refusal = QStringLiteral("SIM0001 unavailable: the lock %1 is not a regular file").arg(lock);
        Run run = runCli({QStringLiteral("sensors")});
        CHECK_EXIT(run, 0);
        QCOMPARE(run.out, QStringLiteral("SIM0001              unavailable: the lock %1 is not a regular file\n").arg(lock));
        run = runCli({QStringLiteral("acquire"), QStringLiteral("-o"), QStringLiteral("never.ldf")});
        CHECK_EXIT(run, 1);
        QCOMPARE(run.err, QStringLiteral("orvel-cli: no sensor available (%1)\n").arg(refusal));
        QVERIFY(QFile::remove(lock));
        QVERIFY(!QFile::exists(QStringLiteral("never.ldf")));
    }

    void averagedAcquisitionReadsTheModelsPlasma()
    {
        const Run acquire = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("10"),
                                    QStringLiteral("-o"), QStringLiteral("averaged.ldf")});
        CHECK_EXIT(acquire, 0);
        QCOMPARE(acquire.out, QStringLiteral("Saved 20 frames (10 of 10 scans) to averaged.ldf\n"));
        // Not a terminal: no progress bar, and no debug lines of the worker.
        QCOMPARE(acquire.err, QString());

        Session session;
        QVERIFY(readSessionFile(QStringLiteral("averaged.ldf"), session));
        QCOMPARE(session.data.deviceID, QStringLiteral("SIM0001"));
        QCOMPARE(session.data.frameCount(), 20);
        QCOMPARE(session.config.syncParam.bUseSyncScan, false);

        const Run analyse = runCli({QStringLiteral("analyse"), QStringLiteral("--csv"), QStringLiteral("averaged.ldf")});
        CHECK_EXIT(analyse, 0);
        QCOMPARE(analyse.err, QString()); // the analysis' own debug lines stay off
        const QVector<QStringList> rows = csvRows(analyse.out);
        QCOMPARE(rows.size(), 1); // the averaged time step of the one position
        QCOMPARE(rows[0].size(), 17);
        QCOMPARE(rows[0][0], QStringLiteral("0"));
        QCOMPARE(rows[0][1], QStringLiteral("0"));
        QCOMPARE(rows[0][6], QString());
        QCOMPARE(rows[0][16], QString());
        const double kTe = rows[0][2].toDouble();
        const double Jp = rows[0][3].toDouble();
        const double modelJp = modelIonSaturation / probeArea(session.settings);
        const double kTeHarmonic = rows[0][11].toDouble();
        qInfo("orvel-cli analyse: kTe %.4g eV (model %.4g eV, %+.1f %%), Jp %.6g A/m2 (model %.6g A/m2, %+.2f %%), "
              "harmonic kTe %.4g +- %.2g eV",
              kTe, modelKTe, 100 * (kTe / modelKTe - 1), Jp, modelJp, 100 * (Jp / modelJp - 1), kTeHarmonic,
              rows[0][12].toDouble());
        QVERIFY(std::abs(kTe / modelKTe - 1) < 0.3);
        QVERIFY(std::abs(Jp / modelJp - 1) < 0.02);
        // Nine scans averaged: every value has an error, a few per cent at most.
        for (int c = 7; c <= 10; ++c) {
            const double relative = rows[0][c].toDouble() / rows[0][c - 5].toDouble();
            QVERIFY2(relative > 0 && relative < 0.1, qPrintable(rows[0].join(',')));
        }
        // Without an ion slope the ion current at the floating bias is Iis.
        QVERIFY(std::abs(kTeHarmonic / modelKTe - 1) < 0.02);
        QVERIFY(rows[0][12].toDouble() > 0 && rows[0][12].toDouble() < 0.1);
        QVERIFY(std::abs(rows[0][13].toDouble() / modelIonSaturation - 1) < 0.02);
        QVERIFY(rows[0][15].toDouble() < 0.01);

        // The human-readable table shows the same values.
        const Run table = runCli({QStringLiteral("analyse"), QStringLiteral("averaged.ldf")});
        CHECK_EXIT(table, 0);
        const QStringList lines = table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(QStringLiteral("Position")));
        QStringList sixDigits{QStringLiteral("0"), QStringLiteral("0")};
        for (int c = 2; c < 16; ++c)
            if (c != 6)
                sixDigits << QString::number(rows[0][c].toDouble(), 'g', 6);
        QCOMPARE(lines[1].split(QLatin1Char(' '), Qt::SkipEmptyParts), sixDigits);

        // QT_LOGGING_RULES brings the analysis' diagnostics back, on standard error only.
        const Run verbose = runCli({QStringLiteral("analyse"), QStringLiteral("--csv"), QStringLiteral("averaged.ldf")},
                                   {{QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvel.analysis.debug=true")}});
        CHECK_EXIT(verbose, 0);
        QCOMPARE(verbose.out, analyse.out);
        QVERIFY(verbose.err.contains(QStringLiteral("Iteration")));
    }

    // The configuration comes from the settings store, overridden by the
    // options; the scan start overwrites three analysis settings from it.
    void timeResolvedAcquisitionFilesOneFramePerDelay()
    {
        ConfigParam stored;
        stored.syncParam.bUseSyncScan = true;
        stored.syncParam.resolvedInteg = 1000; // a sync period of 1000 us
        stored.syncParam.resolution = 50;
        stored.dataScanRunScans = 5;
        stored.offsetCurrent = 2e-6;
        stored.initScanDerivativePoints = 4;
        stored.initScanIonCurrentDrop = 70;
        stored.spatParam.bUseSpatScan = true; // no drive here: scanned where the probe stands
        stored.saveSettings();

        const Run acquire = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("2"),
                                    QStringLiteral("--resolution"), QStringLiteral("100"), QStringLiteral("-o"),
                                    QStringLiteral("resolved.ldf")});
        CHECK_EXIT(acquire, 0);
        QCOMPARE(acquire.out, QStringLiteral("Saved 40 frames (2 of 2 scans) to resolved.ldf\n"));
        QCOMPARE(acquire.err, QStringLiteral("orvel-cli: the command line drives no linear drive; scanning at the "
                                             "current position only\n"));

        Session session;
        QVERIFY(readSessionFile(QStringLiteral("resolved.ldf"), session));
        QCOMPARE(session.config.syncParam.bUseSyncScan, true);
        QCOMPARE(session.config.syncParam.resolution, 100.0);
        QCOMPARE(session.config.dataScanRunScans, 2u);
        QCOMPARE(session.config.spatParam.bUseSpatScan, false);
        QCOMPARE(session.settings.offsetCurrent, 2e-6);
        QCOMPARE(session.settings.nDerivativePoints, 4);
        QCOMPARE(session.settings.VsatFactor, 0.7);
        QCOMPARE(session.data.positions.size(), 1);
        const PositionWrapper& position = session.data.positions[0];
        QCOMPARE(position.scans.size(), 2);
        for (const ScanGroup& group : position.scans) {
            for (const QVector<DelayWrapper>* band : {&group.Delays200, &group.Delays400}) {
                QCOMPARE(band->size(), 10);
                for (int d = 0; d < 10; ++d)
                    QCOMPARE(band->at(d).delay, float(100 * d));
            }
        }
    }

    // Stored values the panel's controls could not hold are held to their
    // ranges, as the window's panel holds them: a derivative half-width of four
    // billion must not reach the session file, whose analysis it would crash.
    void storedValuesAreHeldToThePanelsRanges()
    {
        ConfigParam stored;
        stored.initScanDerivativePoints = 4000000000u;
        stored.initScanIonCurrentDrop = 1e9;
        stored.dataScanRunParam.integrationTime = 1e12;
        stored.saveSettings();
        const Run acquire = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"),
                                    QStringLiteral("-o"), QStringLiteral("held.ldf")});
        CHECK_EXIT(acquire, 0);
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("held.ldf"), session));
        QCOMPARE(session.settings.nDerivativePoints, 10);
        QCOMPARE(session.settings.VsatFactor, 100.0);
        QCOMPARE(session.config.dataScanRunParam.integrationTime, 5000.0);
    }

    void analyseAndExportAgree()
    {
        QVERIFY(runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("3"),
                        QStringLiteral("--sync-frequency"), QStringLiteral("2000"), QStringLiteral("--resolution"),
                        QStringLiteral("50"), QStringLiteral("-o"), QStringLiteral("agree.ldf")})
                    .exitCode
                == 0);
        const Run analyse = runCli({QStringLiteral("analyse"), QStringLiteral("--csv"), QStringLiteral("agree.ldf")});
        CHECK_EXIT(analyse, 0);
        const QString separator = QStringLiteral(" | ");
        const Run exported = runCli({QStringLiteral("export"), QStringLiteral("agree.ldf"), QStringLiteral("-o"),
                                     QStringLiteral("agree.csv"), QStringLiteral("--header"), QStringLiteral("--params"),
                                     QStringLiteral("--iv"), QStringLiteral("--separator"), separator});
        CHECK_EXIT(exported, 0);
        QCOMPARE(exported.out, QString());
        const QString text = fileText(QStringLiteral("agree.csv"));
        QVERIFY(text.startsWith(QStringLiteral("Orvel Export File\nSoftware | Orvel\nSoftware Version | 1.5.0\n\n")));
        QVERIFY(text.contains(QStringLiteral("\nIV Interpolated Data\nPosition | 0\nDelay (us)  | 0\nCorrected\n")));

        // 500 us period in steps of 50 us: ten time steps, averaged over three scans.
        const QVector<QStringList> analysed = csvRows(analyse.out);
        const QVector<QStringList> table = exportedParameterRows(text, separator);
        QCOMPARE(analysed.size(), 10);
        QCOMPARE(table.size(), analysed.size());
        for (int i = 0; i < table.size(); ++i) {
            QCOMPARE(analysed[i].size(), 17);
            QCOMPARE(analysed[i][6], QString());
            QCOMPARE(analysed[i][1], QString::number(50 * i));
            QStringList sixDigits{analysed[i][0]};
            for (int c = 1; c < 6; ++c)
                sixDigits << QString::number(analysed[i][c].toDouble(), 'g', 6);
            QCOMPARE(table[i], sixDigits);
        }
    }

    void anAnalysisErrorShowsInItsRow()
    {
        // Without a drive the probe sweeps no voltage: there is no IV curve to read.
        const Environment undriven{{QStringLiteral("ORVEL_SIM_AMPLITUDE"), QStringLiteral("0")}};
        const Run acquire = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"),
                                    QStringLiteral("-o"), QStringLiteral("undriven.ldf")},
                                   undriven);
        CHECK_EXIT(acquire, 0);
        const Run analyse = runCli({QStringLiteral("analyse"), QStringLiteral("--csv"), QStringLiteral("undriven.ldf")});
        CHECK_EXIT(analyse, 0);
        const QVector<QStringList> rows = csvRows(analyse.out);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(2, 4), QStringList({"nan", "nan", "nan", "nan"}));
        QVERIFY2(!rows[0][6].isEmpty(), qPrintable(analyse.out));
        // A single frame has no errors, and the harmonics say why they give nothing.
        QCOMPARE(rows[0].mid(7, 9), QVector<QString>(9, QStringLiteral("nan")).toList());
        QCOMPARE(rows[0][16], QStringLiteral("no drive voltage"));
    }

    void aLostSensorStillSavesWhatArrived()
    {
        const Run run = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("10"),
                                QStringLiteral("-o"), QStringLiteral("lost.ldf")},
                               {{QStringLiteral("ORVEL_SIM_DISCONNECT_AFTER"), QStringLiteral("7")}});
        CHECK_EXIT(run, 1);
        QCOMPARE(run.err, QStringLiteral("orvel-cli: the sensor was lost during the scan; the 7 frames (3 of 10 "
                                         "scans) received were saved to lost.ldf\n"));
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("lost.ldf"), session));
        QCOMPARE(session.data.frameCount(), 7);
        QCOMPARE(session.data.positions[0].scans.size(), 4);
    }

    void aSensorFallingSilentEndsTheScanAsIncomplete()
    {
        // The high-band frame of the only scan is lost to a garbled transfer:
        // the scan is never complete, and the worker gives up on the silence.
        const Run run = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"),
                                QStringLiteral("-o"), QStringLiteral("silent.ldf")},
                               {{QStringLiteral("ORVEL_SIM_GARBLE_FRAME"), QStringLiteral("2")}});
        CHECK_EXIT(run, 1);
        QVERIFY2(run.err.contains(QStringLiteral("the sensor stopped sending before the scan was complete; the 1 "
                                                 "frames (0 of 1 scans) received were saved to silent.ldf")),
                 describe(run).constData());
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("silent.ldf"), session));
        QCOMPARE(session.data.frameCount(), 1);
    }

    void aFullDiskKeepsThePreviousFileAndSaysSo()
    {
        CHECK_EXIT(runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"),
                           QStringLiteral("-o"), QStringLiteral("full.ldf")}),
                   0);
        const QByteArray before = fileText(QStringLiteral("full.ldf")).toUtf8();
        QVERIFY(!before.isEmpty());

        // Ten scans need more room than the disk has left.
        QProcess process;
        {
            const FileSizeLimit limit(rlim_t(before.size()) + 4096);
            startCli(process, {QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("10"),
                               QStringLiteral("-o"), QStringLiteral("full.ldf")},
                     {});
            QVERIFY(process.waitForStarted());
        }
        const Run run = finish(process);
        CHECK_EXIT(run, 1);
        QVERIFY2(run.err.contains(QStringLiteral("orvel-cli: the session could not be saved to \"full.ldf\" (File too "
                                                 "large); ")),
                 qPrintable(run.err));
        // The journal, far smaller than the session file, still fits.
        QVERIFY2(run.err.contains(QStringLiteral("the 20 frames (10 of 10 scans) received are kept in the recovery "
                                                 "journal")),
                 qPrintable(run.err));
        QCOMPARE(journalFrames(), 20);
        QCOMPARE(fileText(QStringLiteral("full.ldf")).toUtf8(), before);
        QCOMPARE(QDir().entryList({QStringLiteral("full.ldf*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("full.ldf")});
    }

    void aSavedAcquisitionLeavesNoRecoveryCopy()
    {
        const Run run = runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("30"),
                                QStringLiteral("-o"), QStringLiteral("kept.ldf")},
                               {{QStringLiteral("ORVEL_SIM_FRAME_INTERVAL_MS"), QStringLiteral("50")}});
        CHECK_EXIT(run, 0);
        QCOMPARE(recoveryCopies(), QStringList());
        QCOMPARE(QDir(RecoveryCopy::defaultFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void aFailedFinalSaveKeepsTheRecoveryCopyAndNamesIt()
    {
        QVERIFY(QDir().mkpath(QStringLiteral("vanishing")));
        QProcess process;
        startCli(process,
                 {QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("500"), QStringLiteral("-o"),
                  QStringLiteral("vanishing/session.ldf")},
                 {{QStringLiteral("ORVEL_SIM_FRAME_INTERVAL_MS"), QStringLiteral("20")}});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(journalFrames() > 0, 30000);
        // The folder of the session file goes away (a stick pulled out).
        QVERIFY(QDir(QStringLiteral("vanishing")).removeRecursively());
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        const Run run = finish(process);
        CHECK_EXIT(run, 1);
        const QString copy = quotedAfter(run.err, QStringLiteral("received are kept in the recovery journal"));
        QVERIFY2(!copy.isEmpty(), qPrintable(run.err));
        QCOMPARE(recoveryCopies(), QStringList{copy});
        SessionContents contents;
        QString error;
        QVERIFY2(readRecoveryFile(copy, contents, error), qPrintable(error));
        QCOMPARE(contents.data.frameCount(), savedFrames(run.err));
        QVERIFY(contents.data.frameCount() > 0);
        QCOMPARE(contents.data.deviceID, QStringLiteral("SIM0001"));
        // The program has ended: the copy is there for the window to offer.
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder());
        QCOMPARE(int(orphans.size()), 1);
        QCOMPARE(orphans.front().fileName(), copy);
    }

    // A crash (here SIGKILL) mid-acquisition leaves a journal that no
    // running program claims while the acquisition lives, and that `recover`
    // saves as a session file once it is dead; a save that fails keeps it,
    // unclaimed.
    void aKilledAcquisitionIsRecoveredFromItsJournal()
    {
        QProcess process;
        startCli(process,
                 {QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("500"), QStringLiteral("-o"),
                  QStringLiteral("killed.ldf")},
                 {{QStringLiteral("ORVEL_SIM_FRAME_INTERVAL_MS"), QStringLiteral("20")}});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(journalFrames() >= 4, 30000);
        QVERIFY(RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder()).empty());
        QCOMPARE(::kill(pid_t(process.processId()), SIGKILL), 0);
        QVERIFY(process.waitForFinished());
        QVERIFY(!QFile::exists(QStringLiteral("killed.ldf")));

        const Run list = runCli({QStringLiteral("recover"), QStringLiteral("--list")});
        CHECK_EXIT(list, 0);
        const QRegularExpressionMatch line =
            QRegularExpression(QStringLiteral("^(\\S+)  (\\d+) frames  last written \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n$"))
                .match(list.out);
        QVERIFY2(line.hasMatch(), describe(list).constData());
        const QString name = line.captured(1);
        const int frames = line.captured(2).toInt();
        QCOMPARE(recoveryCopies(), QStringList{RecoveryCopy::defaultFolder() + QLatin1Char('/') + name});
        QCOMPARE(frames, journalFrames());
        QVERIFY(frames >= 4);

        const Run refused =
            runCli({QStringLiteral("recover"), name, QStringLiteral("-o"), QStringLiteral("no/such/folder/r.ldf")});
        CHECK_EXIT(refused, 1);
        QCOMPARE(journalFrames(), frames);
        QCOMPARE(int(RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder()).size()), 1);

        const Run run = runCli({QStringLiteral("recover"), name, QStringLiteral("-o"), QStringLiteral("recovered.ldf")});
        CHECK_EXIT(run, 0);
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("recovered.ldf"), session));
        QCOMPARE(session.data.frameCount(), frames);
        QCOMPARE(session.data.deviceID, QStringLiteral("SIM0001"));
        QCOMPARE(recoveryCopies(), QStringList());
    }

    void aStopSignalEndsTheScanAndSavesIt_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("name");
        QTest::newRow("Ctrl+C") << int(SIGINT) << "SIGINT";
        QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
    }

    void aStopSignalEndsTheScanAndSavesIt()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, name);
        // 500 scans at a frame every 20 ms would take 20 s.
        QProcess process;
        startCli(process,
                 {QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("500"), QStringLiteral("-o"),
                  QStringLiteral("stopped.ldf")},
                 {{QStringLiteral("ORVEL_SIM_FRAME_INTERVAL_MS"), QStringLiteral("20")}});
        QVERIFY(process.waitForStarted());
        // Stopped once frames have arrived, however long the start took.
        QTRY_VERIFY_WITH_TIMEOUT(journalFrames() > 0, 30000);
        QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        const Run run = finish(process);
        CHECK_EXIT(run, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("Scan stopped by %1; saved ").arg(name)), qPrintable(run.out));
        const int saved = savedFrames(run.out);
        QVERIFY2(saved > 0 && saved < 1000, qPrintable(run.out));
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("stopped.ldf"), session));
        QCOMPARE(session.data.frameCount(), saved);
    }

    // Results that never reached standard output are a failure, said on
    // standard error; the session an acquisition saved stays saved.
    void unwritableStandardOutputIsAFailure()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full to fill");
        CHECK_EXIT(runCli({QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"),
                           QStringLiteral("-o"), QStringLiteral("shown.ldf")}),
                   0);
        const QList<QStringList> commands = {
            {QStringLiteral("sensors")},
            {QStringLiteral("analyse"), QStringLiteral("--csv"), QStringLiteral("shown.ldf")},
            {QStringLiteral("acquire"), QStringLiteral("--scans"), QStringLiteral("1"), QStringLiteral("-o"),
             QStringLiteral("unshown.ldf")},
        };
        for (const QStringList& arguments : commands) {
            QProcess process;
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
            startCli(process, arguments, {});
            const Run run = finish(process);
            CHECK_EXIT(run, 1);
            QVERIFY2(run.err.endsWith(QStringLiteral("orvel-cli: standard output could not be written: No space left "
                                                     "on device\n")),
                     describe(run).constData());
        }
        Session session;
        QVERIFY(readSessionFile(QStringLiteral("unshown.ldf"), session));
    }

    // A name that is not valid text would be written under other bytes.
    void argumentsThatAreNotTextAreRefused()
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        // Through a shell: QProcess itself passes only valid text.
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("exec \"$0\" acquire -o \"$(printf 'a\\377b.ldf')\""),
                       QStringLiteral(ORVEL_CLI_PATH)});
        const Run run = finish(process);
        CHECK_EXIT(run, 2);
        QVERIFY2(run.err.startsWith(QStringLiteral("orvel-cli: the argument \"a\\xFFb.ldf\" is not valid text in "
                                                   "the system's encoding")),
                 describe(run).constData());
        QCOMPARE(QDir().entryList({QStringLiteral("a*b.ldf")}), QStringList());
    }

    void badArgumentsAreRejectedBeforeAnythingRuns_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString o = QStringLiteral("-o"), file = QStringLiteral("never.ldf");
        QTest::newRow("no command") << QStringList() << "no command given";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command \"frobnicate\"";
        QTest::newRow("unknown option") << QStringList{"acquire", "--bogus", o, file} << "Unknown option 'bogus'";
        QTest::newRow("no output") << QStringList{"acquire", "--scans", "3"} << "-o FILE.ldf";
        QTest::newRow("no scans") << QStringList{"acquire", "--scans", "0", o, file}
                                  << "--scans takes a whole number from 1 to 10000, not \"0\"";
        QTest::newRow("fraction of a scan") << QStringList{"acquire", "--scans", "2.5", o, file}
                                            << "--scans takes a whole number";
        QTest::newRow("scans not a number") << QStringList{"acquire", "--scans", "many", o, file}
                                            << "not \"many\"";
        QTest::newRow("integration time out of range") << QStringList{"acquire", "--integration-time", "100", o, file}
                                                       << "--integration-time takes a number from 200 to 5000";
        QTest::newRow("sync frequency not a number") << QStringList{"acquire", "--sync-frequency", "nan", o, file}
                                                     << "--sync-frequency takes a number from 20 to 200000";
        QTest::newRow("two modes") << QStringList{"acquire", "--averaged", "--time-resolved", o, file}
                                   << "choose either an averaged scan";
        QTest::newRow("mixed mode options") << QStringList{"acquire", "--integration-time", "300", "--start", "10", o, file}
                                            << "choose either an averaged scan";
        QTest::newRow("window ends before it starts") << QStringList{"acquire", "--start", "500", "--end", "400", o, file}
                                                      << "the window ends (--end 400 us) before it starts";
        QTest::newRow("stray argument") << QStringList{"acquire", "extra", o, file} << "unexpected argument \"extra\"";
        QTest::newRow("analyse without file") << QStringList{"analyse"} << "name one session file to analyse";
        QTest::newRow("analyse two files") << QStringList{"analyse", "a.ldf", "b.ldf"}
                                           << "name one session file to analyse";
        QTest::newRow("export without output") << QStringList{"export", "a.ldf", "--params"} << "-o OUT.csv";
        QTest::newRow("export of nothing") << QStringList{"export", "a.ldf", o, "never.csv"}
                                           << "choose what to export: --header, --params, --errors-harmonics and/or --iv";
        QTest::newRow("empty separator") << QStringList{"export", "a.ldf", o, "never.csv", "--header", "--separator", ""}
                                         << "the separator must not be empty";
        QTest::newRow("separator with a line break")
            << QStringList{"export", "a.ldf", o, "never.csv", "--header", "--separator", "\n"}
            << "the separator must not hold a line break";
        QTest::newRow("sensors with argument") << QStringList{"sensors", "SIM0001"} << "unexpected argument";
    }

    void badArgumentsAreRejectedBeforeAnythingRuns()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = runCli(arguments);
        CHECK_EXIT(run, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(message), describe(run).constData());
        QVERIFY2(run.err.contains(QStringLiteral("--help' for more information")), describe(run).constData());
        QVERIFY(!QFile::exists(QStringLiteral("never.ldf")));
        QVERIFY(!QFile::exists(QStringLiteral("never.csv")));
    }

    void unreadableAndUnwritableFilesGiveClearErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing session") << QStringList{"analyse", "missing.ldf"}
                                         << "cannot open \"missing.ldf\": No such file or directory";
        QTest::newRow("folder as session") << QStringList{"analyse", "folder"} << "cannot open \"folder\"";
        QTest::newRow("not a session") << QStringList{"analyse", "--csv", "notes.ldf"}
                                       << "\"notes.ldf\" is not a readable session file";
        QTest::newRow("export of not a session") << QStringList{"export", "notes.ldf", "-o", "never.csv", "--params"}
                                                 << "\"notes.ldf\" is not a readable session file";
        QTest::newRow("export into a missing folder")
            << QStringList{"export", "empty.ldf", "-o", "missing/out.csv", "--header"}
            << "[ERROR] Export Data: Failed to open file 'missing/out.csv' for writing";
        QTest::newRow("acquire into a missing folder") << QStringList{"acquire", "-o", "missing/never.ldf"}
                                                       << "cannot write \"missing/never.ldf\"";
        QTest::newRow("acquire onto a folder") << QStringList{"acquire", "-o", "folder"}
                                               << "cannot write \"folder\": it is a folder, not a regular file";
        // A FIFO would block a reader forever; it and a device are never replaced.
        QTest::newRow("FIFO as session") << QStringList{"analyse", "pipe"}
                                         << "cannot open \"pipe\": it is a FIFO (named pipe), not a regular file";
        QTest::newRow("acquire onto a FIFO") << QStringList{"acquire", "-o", "pipe"}
                                             << "cannot write \"pipe\": it is a FIFO (named pipe), not a regular file";
        QTest::newRow("export onto a FIFO") << QStringList{"export", "empty.ldf", "-o", "pipe", "--header"}
                                            << "Failed to open file 'pipe' for writing (it is a FIFO (named pipe), not "
                                               "a regular file)";
        QTest::newRow("acquire onto a device") << QStringList{"acquire", "-o", "/dev/null"}
                                               << "cannot write \"/dev/null\": it is a character device";
        // Checked before the scan: the name itself, not only its folder.
        QTest::newRow("acquire to a name too long") << QStringList{"acquire", "-o", QString(252, 'n') + ".ldf"}
                                                    << "File name too long";
    }

    void unreadableAndUnwritableFilesGiveClearErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QVERIFY(QDir().mkpath(QStringLiteral("folder")));
        QVERIFY(QFileInfo::exists(QStringLiteral("pipe")) || ::mkfifo("pipe", 0600) == 0);
        QFile notes(QStringLiteral("notes.ldf"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("measured on Tuesday\n") > 0);
        notes.close();
        Session empty;
        QString reason;
        QCOMPARE(saveSessionFile(QStringLiteral("empty.ldf"), empty.data, empty.config, empty.settings, reason),
                 SessionSave::Saved);

        const Run run = runCli(arguments);
        CHECK_EXIT(run, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("orvel-cli: ")) && run.err.contains(message),
                 describe(run).constData());
        QVERIFY(!QFile::exists(QStringLiteral("never.csv")));
        QVERIFY(QFileInfo(QStringLiteral("pipe")).exists() && !QFileInfo(QStringLiteral("pipe")).isFile());
    }
};

QTEST_GUILESS_MAIN(TestOrvelCli)
#include "test_orvel_cli.moc"
