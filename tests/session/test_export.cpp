#include "session/CsvExport.h"
#include "session/ExportSettings.h"

#include "SimulatedAcquisition.h"
#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/PlasmaAnalysis.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cmath>

#include <sys/stat.h>

namespace {

QString fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

template <typename Write>
QString written(Write write)
{
    QString text;
    QTextStream out(&text);
    write(out);
    out.flush();
    return text;
}

DelayWrapper frameWithCurve(float delay, QVector<double> V, QVector<double> I)
{
    DelayWrapper w;
    w.delay = delay;
    w.setCurve(DelayWrapper::IvV, std::move(V));
    w.setCurve(DelayWrapper::IvI, std::move(I));
    return w;
}

ScanGroup groupOf(QVector<DelayWrapper> low)
{
    ScanGroup g;
    g.Delays200 = std::move(low);
    return g;
}

// A session filed from simulated frames: `scans` scan groups of `delays` time
// steps in both bands at one position.
measuredData simulatedSession(int position, int scans, int delays)
{
    AcquisitionPlan plan;
    plan.position = position;
    plan.scans = scans;
    plan.delays = delays;
    measuredData data;
    const QDateTime filedAt = QDateTime::fromSecsSinceEpoch(1700000000);
    for (const scanResult& frame : simulatedAcquisition(plan))
        data.add(frame, filedAt);
    return data;
}

QStringList lines(const QString& text)
{
    return text.split('\n');
}

// The row the plasma table should hold for one record.
QString expectedRow(int position, double delay, const ScanRecord& record, const QString& s)
{
    ScanRecord copy = record;
    analyse(copy, LangmuirSettings());
    const results& r = copy.parameters;
    return written([&](QTextStream& out) {
        out << position << s << delay << s << r.kTe << s << r.Jp << s << r.Ni << s << r.Ldebye;
    });
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("orvel.analysis.debug=false"));
        QCoreApplication::setApplicationName("Orvel");
        QCoreApplication::setApplicationVersion(QString());
    }

    void init()
    {
        QDir(".settings").removeRecursively();
        QDir("out").removeRecursively();
        QDir().mkpath("out");
    }

    void optionsAreStoredInAscendingKeyOrder()
    {
        ExportSettings options;
        options.separator = " | ";
        options.band400 = true;
        options.plasmaParameters = true; // chosen per export: never stored
        options.errorsAndHarmonics = true; // likewise
        QCOMPARE(options.store(), QString());
        QCOMPARE(fileText(".settings/ExportSettings.xml"),
                 QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<settings>\n"
                         "    <Export200>0</Export200>\n"
                         "    <Export400>1</Export400>\n"
                         "    <ExportDoubleProbeCorrected>0</ExportDoubleProbeCorrected>\n"
                         "    <ExportHeader>1</ExportHeader>\n"
                         "    <ExportResults>0</ExportResults>\n"
                         "    <ExportSeparator> | </ExportSeparator>\n"
                         "    <ExportVIInterpolate>0</ExportVIInterpolate>\n"
                         "    <ExportWaveFormData>1</ExportWaveFormData>\n"
                         "</settings>\n"));

        ExportSettings read;
        read.load();
        QCOMPARE(read.separator, QString(" | "));
        QVERIFY(read.band400 && read.header && read.waveFormData);
        QVERIFY(!read.band200 && !read.results && !read.plasmaParameters && !read.errorsAndHarmonics);
    }

    void separatorsOfWhitespaceSurviveTheFile()
    {
        for (const QString& separator : {QString("\t"), QString(" "), QString("<&>")}) {
            ExportSettings options;
            options.separator = separator;
            QCOMPARE(options.store(), QString());
            ExportSettings read;
            read.load();
            QCOMPARE(read.separator, separator);
        }
    }

    void onlyTheIntegerOneReadsTrue()
    {
        writeFile(".settings/ExportSettings.xml",
                  "<settings><ExportHeader>2</ExportHeader><ExportResults>1</ExportResults>"
                  "<ExportVIInterpolate>true</ExportVIInterpolate><Export200> 1 </Export200>"
                  "<ExportWaveFormData>0</ExportWaveFormData><Unknown>1</Unknown></settings>");
        ExportSettings options;
        options.load();
        QVERIFY(!options.header);
        QVERIFY(options.results);
        QVERIFY(!options.ivInterpolate);
        QVERIFY(options.band200);
        QVERIFY(!options.waveFormData);
        // Absent keys keep their defaults.
        QCOMPARE(options.separator, QString(";"));
        QVERIFY(!options.band400 && !options.doubleProbeCorrected);
    }

    void missingForeignOrBrokenFilesKeepTheDefaults()
    {
        const ExportSettings defaults;
        auto loadedFrom = [](const QByteArray& contents) {
            if (!contents.isNull())
                writeFile(".settings/ExportSettings.xml", contents);
            ExportSettings options;
            options.load();
            return options;
        };
        for (const QByteArray& contents :
             {QByteArray(), QByteArray("<options><ExportHeader>0</ExportHeader></options>"),
              QByteArray("<settings><ExportHeader>0</ExportHeader><ExportSeparator>,"), QByteArray("not xml")}) {
            const ExportSettings options = loadedFrom(contents);
            QCOMPARE(options.header, defaults.header);
            QCOMPARE(options.separator, defaults.separator);
        }
        // A folder where the file should be: unreadable, defaults again.
        QVERIFY(QFile::remove(".settings/ExportSettings.xml"));
        QVERIFY(QDir().mkpath(".settings/ExportSettings.xml"));
        ExportSettings options;
        options.separator = ",";
        options.load();
        QCOMPARE(options.separator, QString(","));
        QVERIFY(!options.store().isEmpty());
    }

    void headerBlock()
    {
        const QString text = written([](QTextStream& out) { writeExportHeader(out, ";"); });
        QCOMPARE(text, QString("Orvel Export File\nSoftware;Orvel\nSoftware Version;\n\n"));
    }

    void plasmaTableAnalysesEveryFrameWithARecordOnACopy()
    {
        measuredData data = simulatedSession(12, 1, 3);
        data.positions[0].scans[0].Delays200[1].scanRecord.reset();
        const QString s = " | ";
        const QString text = written([&](QTextStream& out) {
            writePlasmaParameters(out, s, data, LangmuirSettings());
        });
        const QVector<DelayWrapper>& frames = data.positions[0].scans[0].Delays200;
        const QStringList expected = {
            "Plasma Parameters",
            "Position | Delay (us) | kTe | Jp | Ni | Ld",
            expectedRow(12, 0, frames[0].recordWithCurve(), s),
            expectedRow(12, 20, frames[2].recordWithCurve(), s),
            "",
        };
        QCOMPARE(lines(text), expected);
        // A real analysis ran: the simulated plasma has a temperature.
        QVERIFY2(std::isfinite(lines(text)[2].split(s)[2].toDouble()), qPrintable(text));

        // The session's records are as they were.
        QVERIFY(std::isnan(frames[0].scanRecord->parameters.kTe));
        QVERIFY(frames[0].scanRecord->errorText.isEmpty());
    }

    void plasmaTableTakesAveragedEntriesOnceAPositionHoldsThreeScans()
    {
        measuredData data = simulatedSession(3, 3, 2);
        const PositionWrapper& p = data.positions[0];
        QCOMPARE(p.averages.size(), 2);
        // The frame's own record does not matter where an averaged entry stands.
        data.positions[0].scans[0].Delays200[0].scanRecord.reset();
        const QString text =
            written([&](QTextStream& out) { writePlasmaParameters(out, ";", data, LangmuirSettings()); });
        const QStringList rows = lines(text).mid(2);
        QCOMPARE(rows, (QStringList{expectedRow(3, 0, p.averages[0].low.recordWithCurve(), ";"),
                                    expectedRow(3, 10, p.averages[1].low.recordWithCurve(), ";"), ""}));
        QVERIFY(rows[0] != expectedRow(3, 0, p.scans[1].Delays200[0].recordWithCurve(), ";"));
        QVERIFY(std::isnan(p.averages[0].scanRecord()->parameters.kTe));
    }

    void ivBlockOfSingleFrames()
    {
        measuredData data;
        PositionWrapper p;
        p.position = 5;
        p.scans = {groupOf({frameWithCurve(2.5f, {1.5, 2, -0.25}, {1e-05, 123456789, 0}),
                            frameWithCurve(0.1f, {}, {})})};
        // Only the first scan group is exported while there are no averages.
        p.scans.append(groupOf({frameWithCurve(7.0f, {9}, {9})}));
        data.positions.append(p);

        const QString text = written([&](QTextStream& out) { writeIvData(out, ",", data); });
        QCOMPARE(text, QString("IV Interpolated Data\n"
                               "Position,5\n"
                               "Delay (us) ,2.5\n"
                               "Corrected\n"
                               "index,V (Volts),I (Amps)\n"
                               "0,1.5,1e-05\n"
                               "1,2,1.23457e+08\n"
                               "2,-0.25,0\n"
                               "\n"
                               "Uncorrected\n"
                               "index,V,I\n"
                               "0,1.5,1e-05\n"
                               "1,2,1.23457e+08\n"
                               "2,-0.25,0\n"
                               "\n"
                               "Delay (us) ,0.1\n" // the single-precision delay widened: 0.100000001
                               "Corrected\n"
                               "index,V (Volts),I (Amps)\n"
                               "\n"
                               "Uncorrected\n"
                               "index,V,I\n"
                               "\n"));
    }

    void ivBlockTakesTheJoinedCurveOfAveragedEntries()
    {
        measuredData data;
        PositionWrapper p;
        p.position = -4;
        p.scans = {groupOf({frameWithCurve(10, {1}, {1}), frameWithCurve(20, {2}, {2})}), groupOf({}), groupOf({})};
        // One averaged entry: the second time step has none and keeps its frame.
        p.averages.resize(1);
        p.averages[0].low.setCurve(DelayWrapper::IvV, {3, 1});
        p.averages[0].low.setCurve(DelayWrapper::IvI, {0.5, -0.5});
        p.averages[0].low.setCurve(DelayWrapper::JoinedIvV, {1, 3});
        p.averages[0].low.setCurve(DelayWrapper::JoinedIvI, {-0.5, 0.5});
        p.averages[0].high.setCurve(DelayWrapper::IvV, {99});
        p.averages[0].high.setCurve(DelayWrapper::IvI, {99});
        data.positions.append(p);

        const QString text = written([&](QTextStream& out) { writeIvData(out, "::", data); });
        QCOMPARE(text, QString("IV Interpolated Data\n"
                               "Position::-4\n"
                               "Delay (us) ::10\n"
                               "Corrected\n"
                               "index::V (Volts)::I (Amps)\n"
                               "0::1::-0.5\n"
                               "1::3::0.5\n"
                               "\n"
                               "Uncorrected\n"
                               "index::V::I\n"
                               "0::3::0.5\n"
                               "1::1::-0.5\n"
                               "\n"
                               "Delay (us) ::20\n"
                               "Corrected\n"
                               "index::V (Volts)::I (Amps)\n"
                               "0::2::2\n"
                               "\n"
                               "Uncorrected\n"
                               "index::V::I\n"
                               "0::2::2\n"
                               "\n"));
    }

    void aSessionTakenInTheHighBandOnlyIsExported()
    {
        measuredData data;
        PositionWrapper p;
        ScanGroup g;
        g.Delays400 = {frameWithCurve(4, {1}, {2})};
        g.Delays400[0].scanRecord = scanRecordFromIvCurve({1}, {2});
        p.scans = {g};
        data.positions.append(p);
        const QString iv = written([&](QTextStream& out) { writeIvData(out, ";", data); });
        QVERIFY2(iv.contains("Delay (us) ;4\nCorrected\nindex;V (Volts);I (Amps)\n0;1;2\n"), qPrintable(iv));
        const QString table =
            written([&](QTextStream& out) { writePlasmaParameters(out, ";", data, LangmuirSettings()); });
        QCOMPARE(lines(table).size(), 4);
        QVERIFY(lines(table)[2].startsWith("0;4;"));
    }

    void everySectionUncheckedGivesAnEmptyFile()
    {
        writeFile("out/empty.csv", "old contents\n");
        ExportSettings options;
        options.header = false;
        QCOMPARE(exportSession("out/empty.csv", options, simulatedSession(1, 1, 1), LangmuirSettings()), QString());
        QCOMPARE(QFileInfo("out/empty.csv").size(), 0);
    }

    // Per row of the plasma table: the errors, which averaged entries have,
    // and the harmonic analysis, which this strongly saturating probe refuses.
    void errorsAndHarmonicsTable()
    {
        const measuredData data = simulatedSession(4, 3, 2);
        const QVector<PlasmaParameterRow> rows = plasmaParameterRows(data, LangmuirSettings());
        const QStringList text =
            lines(written([&](QTextStream& out) { writeErrorsAndHarmonics(out, ";", rows); }));
        QCOMPARE(text.mid(0, 2), (QStringList{"Errors and Harmonic Analysis",
                                              "Position;Delay (us);kTe error;Jp error;Ni error;Ld error;kTe harmonic;"
                                              "kTe harmonic error;Iis harmonic;Ni harmonic;Harmonic residual;"
                                              "Harmonic error"}));
        QCOMPARE(text.size(), 2 + 2 + 1);
        for (int d = 0; d < 2; ++d) {
            const QStringList fields = text[2 + d].split(';');
            QCOMPARE(fields.size(), 12);
            QCOMPARE(fields.mid(0, 2), (QStringList{"4", QString::number(10 * d)}));
            const results& r = rows[d].parameters;
            QVERIFY(r.kTe_error > 0 && r.Ldebye_error > 0);
            QCOMPARE(fields.mid(2, 4), (QStringList{QString::number(r.kTe_error, 'g', 6), QString::number(r.Jp_error, 'g', 6),
                                                    QString::number(r.Ni_error, 'g', 6),
                                                    QString::number(r.Ldebye_error, 'g', 6)}));
            QCOMPARE(fields.mid(6), (QStringList{"nan", "nan", "nan", "nan", "nan", "non-positive harmonic ratios"}));
        }
    }

    void theFileHoldsTheChosenSectionsInOrder()
    {
        const measuredData data = simulatedSession(2, 3, 2);
        ExportSettings options;
        options.separator = "\t";
        options.plasmaParameters = true;
        options.errorsAndHarmonics = true;
        options.ivInterpolate = true;
        QCOMPARE(exportSession("out/all.csv", options, data, LangmuirSettings()), QString());
        const QString expected = written([&](QTextStream& out) {
            writeExportHeader(out, "\t");
            writePlasmaParameters(out, "\t", data, LangmuirSettings());
            writeErrorsAndHarmonics(out, "\t", plasmaParameterRows(data, LangmuirSettings()));
            writeIvData(out, "\t", data);
        });
        QCOMPARE(fileText("out/all.csv"), expected);
        QVERIFY(expected.indexOf("Plasma Parameters\n") < expected.indexOf("Errors and Harmonic Analysis\n"));
        QVERIFY(expected.indexOf("Errors and Harmonic Analysis\n") < expected.indexOf("IV Interpolated Data\n"));
        options.errorsAndHarmonics = false;

        options.header = false;
        options.plasmaParameters = false;
        QCOMPARE(exportSession("out/all.csv", options, data, LangmuirSettings()), QString());
        QVERIFY(fileText("out/all.csv").startsWith("IV Interpolated Data\nPosition\t2\n"));
    }

    void failuresGiveTheirErrorTexts()
    {
        const measuredData data = simulatedSession(1, 1, 1);
        QCOMPARE(exportSession("out/missing/x.csv", ExportSettings(), data, LangmuirSettings()),
                 QString("[ERROR] Export Data: Failed to open file 'out/missing/x.csv' for writing "
                         "(No such file or directory)."));

        // A full disk: the previous export stays whole, and the cause is named.
        writeFile("out/previous.csv", "previous export\n");
        ExportSettings options;
        options.ivInterpolate = true;
        {
            const FileSizeLimit limit(1024);
            QCOMPARE(exportSession("out/previous.csv", options, data, LangmuirSettings()),
                     QString("[ERROR] Export Data: Failed to close file 'out/previous.csv' (File too large)."));
        }
        QCOMPARE(fileText("out/previous.csv"), QString("previous export\n"));
        QCOMPARE(QDir("out").entryList({"previous.csv*"}, QDir::Files | QDir::Hidden), QStringList{"previous.csv"});

        // Nothing but a regular file is replaced: a device or a FIFO is refused.
        QVERIFY(::mkfifo("out/fifo.csv", 0600) == 0);
        QCOMPARE(exportSession("out/fifo.csv", options, data, LangmuirSettings()),
                 QString("[ERROR] Export Data: Failed to open file 'out/fifo.csv' for writing (it is a FIFO (named "
                         "pipe), not a regular file)."));
        QVERIFY(QFileInfo("out/fifo.csv").isSymLink() || !QFileInfo("out/fifo.csv").isFile());
        if (QFileInfo::exists("/dev/full"))
            QCOMPARE(exportSession("/dev/full", options, data, LangmuirSettings()),
                     QString("[ERROR] Export Data: Failed to open file '/dev/full' for writing (it is a character "
                             "device, not a regular file)."));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
