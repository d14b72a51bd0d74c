#include "session/SessionFile.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CancellableReader.h"
#include "session/DecimalText.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <malloc.h>

#include <cmath>
#include <cstring>

namespace {

const QDateTime savedAt(QDate(2023, 11, 14), QTime(22, 13, 20));

QByteArray written(measuredData& data, const ConfigParam& config = ConfigParam(),
                   const LangmuirSettings& settings = LangmuirSettings())
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeSession(buffer, data, config, settings, savedAt))
        qFatal("writing to a buffer failed");
    return buffer.data();
}

struct ReadBack
{
    bool ok = false;
    QString error;
    QStringList warnings;
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
};

ReadBack readBack(QByteArray document)
{
    ReadBack r;
    QBuffer buffer(&document);
    buffer.open(QIODevice::ReadOnly);
    r.ok = readSession(buffer, r.data, r.config, r.settings, &r.error, &r.warnings);
    return r;
}

// A document handed over in small pieces that cancels `reader` once `limit`
// bytes have gone, as an operator's Cancel does while a read is under way.
class CancellingSource : public QBuffer
{
public:
    CancellingSource(const QByteArray& document, qint64 limit)
        : limit_(limit)
    {
        setData(document);
        open(QIODevice::ReadOnly);
    }

    CancellableReader* reader = nullptr;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = QBuffer::readData(data, std::min<qint64>(maxSize, 64));
        if (reader && pos() + n >= limit_)
            reader->cancel();
        return n;
    }

private:
    qint64 limit_;
};

double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

double rounded(double x)
{
    return parseDecimal(decimalText(x));
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every value as the file keeps it: six significant digits.
bool isRoundingOf(const QVector<double>& read, const QVector<double>& original)
{
    if (read.size() != original.size())
        return false;
    for (int i = 0; i < read.size(); ++i)
        if (!sameBits(read[i], rounded(original[i])))
            return false;
    return true;
}

// A small session written by hand: one position, one scan, in the low band a
// frame with a scan record and one without, and no frame in the high band.
measuredData handMadeSession()
{
    DelayWrapper analysed;
    analysed.delay = 10.5f;
    analysed.freq = 100000;
    analysed.harmonics = 2;
    analysed.VR = {0.1, 0.00001};
    analysed.Vi = {123456789};
    ScanRecord record;
    record.errorText = "No data.";
    record.currentRange = 3;
    record.date = QDateTime::fromSecsSinceEpoch(1700000000);
    record.position = 12;
    record.resolvedTime = 10.5;
    record.initScanDerivative = {QPointF(1, 2.5)};
    record.initScanDerivativeDuration = 0.5;
    record.V = {-1, 1};
    record.I = {-0.25, 0.5};
    record.parameters.kTe = 2;
    analysed.scanRecord = record;

    DelayWrapper bare;
    bare.delay = 20;
    bare.freq = 100000;
    bare.setCurve(DelayWrapper::Time, {1, 2});

    ScanGroup group;
    group.scan = 1;
    group.Delays200 = {analysed, bare};
    PositionWrapper position;
    position.position = 12;
    position.mode = 2;
    position.harmonics = 2;
    position.scans = {group};

    measuredData data;
    data.deviceID = "SN-7";
    data.comment = "bench <1>";
    data.positions = {position};
    return data;
}

QString blockLines(const QMap<QString, QString>& map)
{
    QString lines;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        lines += QString("        <%1>%2</%1>\n").arg(it.key(), it.value().toHtmlEscaped());
    return lines;
}

const char* const handMadeDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<measuredData sensor="Langmuir Probe" version="3">
    <header>
        <comment>bench &lt;1&gt;</comment>
        <date>14.11.2023</date>
        <deviceID>SN-7</deviceID>
        <time>22:13:20</time>
    </header>
    <settings class="configParam">
@CONFIG@    </settings>
    <settings class="AnalysisSettings">
@ANALYSIS@    </settings>
    <PositionWrapper>
        <values>
            <harmonics>2</harmonics>
            <mode>2</mode>
            <position>12</position>
            <scanCount>1</scanCount>
        </values>
        <Scan>
            <values>
                <scan>1</scan>
            </values>
            <Delays200>
                <DelayWrapper>
                    <values>
                        <delay>10.5</delay>
                        <freq>100000</freq>
                        <harmonics>2</harmonics>
                    </values>
                    <vec label="Vr">0.1;1e-05;</vec>
                    <vec label="Vi">1.23457e+08;</vec>
                    <vec label="Ir"></vec>
                    <vec label="Ii"></vec>
                    <vec label="WaveFormV"></vec>
                    <vec label="WaveFormI"></vec>
                    <vec label="time"></vec>
                    <vec label="VIx"></vec>
                    <vec label="VIy"></vec>
                    <scanData>
                        <Status>
                            <Error>No data.</Error>
                            <currentRange>3</currentRange>
                            <dCurrentRange>0</dCurrentRange>
                            <date>1700000000</date>
                            <dcCScanVoltageEnd>0</dcCScanVoltageEnd>
                            <dcCScanVoltageStart>0</dcCScanVoltageStart>
                            <gainAutoSwitchVoltage>0</gainAutoSwitchVoltage>
                            <offsetCurrent>0</offsetCurrent>
                            <plasmaResistance>0</plasmaResistance>
                            <position>12</position>
                            <resolved_time>10.5</resolved_time>
                        </Status>
                        <trace class="initScanDerivativeData" duration="0.5">
                            <vec label="V">1;</vec>
                            <vec label="dIdV">2.5;</vec>
                        </trace>
                        <data class="correctedData">
                            <vec label="I">-0.25;0.5;</vec>
                            <vec label="V">-1;1;</vec>
                            <vec label="stdI"></vec>
                            <vec label="stdV"></vec>
                        </data>
                        <results>
                            <Je>nan</Je>
                            <Je_error>nan</Je_error>
                            <Jp>nan</Jp>
                            <Jp_error>nan</Jp_error>
                            <Ldebye>nan</Ldebye>
                            <Ldebye_error>nan</Ldebye_error>
                            <Ne>nan</Ne>
                            <Ne_error>nan</Ne_error>
                            <Ni>nan</Ni>
                            <Ni_error>nan</Ni_error>
                            <Vf>nan</Vf>
                            <Vf_error>nan</Vf_error>
                            <Vp>nan</Vp>
                            <Vp_error>nan</Vp_error>
                            <Vpmax>nan</Vpmax>
                            <Vpmax_error>nan</Vpmax_error>
                            <Vsat>nan</Vsat>
                            <Vsat_error>nan</Vsat_error>
                            <eedf_AvgEnergy>nan</eedf_AvgEnergy>
                            <eedf_AvgEnergy_error>nan</eedf_AvgEnergy_error>
                            <eedf_Ne>nan</eedf_Ne>
                            <eedf_Ne_error>nan</eedf_Ne_error>
                            <eedf_kTe>nan</eedf_kTe>
                            <eedf_kTe_error>nan</eedf_kTe_error>
                            <kTe>2</kTe>
                            <kTe_error>nan</kTe_error>
                        </results>
                    </scanData>
                </DelayWrapper>
                <DelayWrapper>
                    <values>
                        <delay>20</delay>
                        <freq>100000</freq>
                        <harmonics>0</harmonics>
                    </values>
                    <vec label="Vr"></vec>
                    <vec label="Vi"></vec>
                    <vec label="Ir"></vec>
                    <vec label="Ii"></vec>
                    <vec label="WaveFormV"></vec>
                    <vec label="WaveFormI"></vec>
                    <vec label="time">1;2;</vec>
                    <vec label="VIx"></vec>
                    <vec label="VIy"></vec>
                </DelayWrapper>
            </Delays200>
            <Delays400/>
        </Scan>
    </PositionWrapper>
</measuredData>
)";

// A session document around `positions` (PositionWrapper elements).
QByteArray documentWith(const QByteArray& positions)
{
    measuredData empty;
    empty.deviceID = "X";
    QByteArray document = written(empty);
    document.replace("</measuredData>", positions + "</measuredData>");
    return document;
}

} // namespace

class TestSessionFile : public QObject
{
    Q_OBJECT

private slots:
    void writesTheDocumentLayoutExactly()
    {
        measuredData data = handMadeSession();
        ConfigParam config;
        config.comport = "/dev/ttyS0";
        LangmuirSettings settings;
        QMap<QString, QString> configMap, analysisMap;
        config.toStringMap(configMap);
        settings.toStringMap(analysisMap);

        QString expected = QString::fromUtf8(handMadeDocument);
        expected.replace("@CONFIG@", blockLines(configMap)).replace("@ANALYSIS@", blockLines(analysisMap));
        expected.replace("\n", "\r\n");
        const QByteArray document = written(data, config, settings);
        QCOMPARE(QString::fromUtf8(document), expected);
    }

    void handMadeSessionReadsBack()
    {
        measuredData data = handMadeSession();
        const ReadBack r = readBack(written(data));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.data.deviceID, QString("SN-7"));
        QCOMPARE(r.data.comment, QString("bench <1>"));
        QCOMPARE(r.data.positions.size(), 1);
        const PositionWrapper& p = r.data.positions[0];
        QCOMPARE(p.position, 12);
        QCOMPARE(p.mode, 2);
        QCOMPARE(p.harmonics, 2);
        QCOMPARE(p.scans.size(), 1);
        QCOMPARE(p.scans[0].Delays200.size(), 2);
        QVERIFY(p.scans[0].Delays400.isEmpty());

        const DelayWrapper& analysed = p.scans[0].Delays200[0];
        QCOMPARE(analysed.delay, 10.5f);
        QCOMPARE(analysed.VR, QVector<double>({0.1, 1e-05}));
        QCOMPARE(analysed.Vi, QVector<double>({1.23457e+08}));
        QVERIFY(analysed.scanRecord);
        const ScanRecord& record = *analysed.scanRecord;
        QCOMPARE(record.errorText, QString("No data."));
        QCOMPARE(record.currentRange, 3u);
        QCOMPARE(record.date, QDateTime::fromSecsSinceEpoch(1700000000));
        QCOMPARE(record.resolvedTime, 10.5);
        QCOMPARE(record.initScanDerivative, QVector<QPointF>({QPointF(1, 2.5)}));
        QCOMPARE(record.initScanDerivativeDuration, 0.5);
        QCOMPARE(record.V, QVector<double>({-1, 1}));
        QCOMPARE(record.I, QVector<double>({-0.25, 0.5}));
        QCOMPARE(record.parameters.kTe, 2.0);
        QVERIFY(std::isnan(record.parameters.Jp));

        // Written without a scan record, read back without one.
        const DelayWrapper& bare = p.scans[0].Delays200[1];
        QVERIFY(!bare.scanRecord);
        QCOMPARE(bare.delay, 20.0f);
        QCOMPARE(bare.time(), QVector<double>({1, 2}));
    }

    void emptySessionHoldsOnlyHeaderAndSettings()
    {
        measuredData data;
        data.deviceID = "D1";
        data.comment = "line one\nline two\r\nend";
        const QByteArray document = written(data);
        QVERIFY(!document.contains("PositionWrapper"));
        QVERIFY(document.contains("<header>") && document.contains("class=\"AnalysisSettings\""));
        QVERIFY(!document.contains("\r\r\n"));
        QCOMPARE(document.count("\n"), document.count("\r\n"));

        const ReadBack r = readBack(document);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.data.positions.isEmpty());
        QCOMPARE(r.data.deviceID, QString("D1"));
        QCOMPARE(r.data.comment, data.comment); // carriage returns survive
    }

    void acquisitionRoundTripKeepsSixDigitsAndRebuildsAverages()
    {
        measuredData data;
        data.deviceID = "SIM0001";
        const QDateTime filedAt = QDateTime::fromSecsSinceEpoch(1650000000);
        // Two positions; in the second, the first scan has no low-band frame,
        // so its Delays200 is empty while later scans follow.
        for (int scan = 1; scan <= 3; ++scan)
            for (int delay = 0; delay < 2; ++delay)
                for (double freq : {100000.0, 200000.0}) {
                    scanResult r;
                    r.scan = scan;
                    r.delay = delay * 10;
                    r.harmonics = 5;
                    r.freq = freq;
                    for (int k = 0; k < 5; ++k) {
                        r.VR[k] = 10.0 / (k + 1) + scan * 0.1234567 + delay;
                        r.Vi[k] = 1.0 / (k + 2);
                        r.Ir[k] = 1e-3 * std::cos(k + scan);
                        r.Ii[k] = 1e-4 * std::sin(k + delay);
                    }
                    QVERIFY(data.add(r, filedAt));
                    r.position = 50;
                    if (scan > 1 || freq > 150000)
                        QVERIFY(data.add(r, filedAt));
                }
        data.positions[0].scans[0].Delays200[0].scanRecord->doubleProbeV = {1.5, 2.5};
        data.positions[0].scans[0].Delays200[0].scanRecord->doubleProbeStdI = {0.125};

        ConfigParam config;
        config.offsetCurrent = 0.0625;
        config.dataScanRunScans = 3;
        LangmuirSettings settings;
        settings.probe_radius = 0.002;
        settings.offsetCurrent = -1.5;

        QTemporaryDir dir;
        QFile file(dir.filePath("session.ldf"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QVERIFY(writeSession(file, data, config, settings));
        QVERIFY(file.isTextModeEnabled()); // given back as it was
        file.close();
        QCOMPARE(data.fileName, file.fileName());

        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        measuredData loaded;
        ConfigParam loadedConfig;
        LangmuirSettings loadedSettings;
        QString error;
        QVERIFY2(readSession(file, loaded, loadedConfig, loadedSettings, &error), qPrintable(error));
        QCOMPARE(loaded.fileName, file.fileName());
        QCOMPARE(loadedConfig.offsetCurrent, 0.0625);
        QCOMPARE(loadedConfig.dataScanRunScans, 3u);
        QCOMPARE(loadedSettings.probe_radius, 0.002);
        QCOMPARE(loadedSettings.offsetCurrent, -1.5);

        QCOMPARE(loaded.positions.size(), 2);
        for (int p = 0; p < 2; ++p) {
            const PositionWrapper& a = loaded.positions[p];
            const PositionWrapper& b = data.positions[p];
            QCOMPARE(a.position, b.position);
            QCOMPARE(a.harmonics, b.harmonics);
            QCOMPARE(a.scans.size(), 3);
            for (int g = 0; g < 3; ++g) {
                QCOMPARE(a.scans[g].scan, b.scans[g].scan);
                for (Band band : {Band::Low, Band::High}) {
                    const QVector<DelayWrapper>& la = a.scans[g].delays(band);
                    const QVector<DelayWrapper>& lb = b.scans[g].delays(band);
                    QCOMPARE(la.size(), lb.size());
                    for (int d = 0; d < la.size(); ++d) {
                        const DelayWrapper& x = la[d];
                        const DelayWrapper& y = lb[d];
                        QCOMPARE(x.delay, y.delay);
                        QCOMPARE(x.freq, y.freq);
                        QVERIFY(isRoundingOf(x.VR, y.VR) && isRoundingOf(x.Ii, y.Ii));
                        QVERIFY(isRoundingOf(x.waveFormV(), y.waveFormV()) && isRoundingOf(x.time(), y.time()));
                        QVERIFY(isRoundingOf(x.VIx(), y.VIx()) && isRoundingOf(x.VIy(), y.VIy()));
                        QVERIFY(x.scanRecord);
                        QVERIFY(isRoundingOf(x.recordV(), y.recordV()));
                        QVERIFY(isRoundingOf(x.recordI(), y.recordI()));
                        QCOMPARE(x.scanRecord->date, filedAt);
                        QCOMPARE(x.scanRecord->position, y.scanRecord->position);
                        QCOMPARE(x.scanRecord->resolvedTime, y.scanRecord->resolvedTime);
                    }
                }
            }
        }
        QVERIFY(loaded.positions[1].scans[0].Delays200.isEmpty());
        const ScanRecord& first = *loaded.positions[0].scans[0].Delays200[0].scanRecord;
        QCOMPARE(first.doubleProbeV, QVector<double>({1.5, 2.5}));
        QCOMPARE(first.doubleProbeStdI, QVector<double>({0.125}));
        QVERIFY(!loaded.positions[0].scans[0].Delays200[1].scanRecord->doubleProbeV.size());

        // A read frame's record shares the frame's IV curve; a curve changed
        // afterwards leaves the record's as the file had it.
        DelayWrapper& reread = loaded.positions[0].scans[0].Delays200[1];
        const QVector<double> readV = reread.recordV();
        QVERIFY(readV.size() > 100);
        reread.setCurve(DelayWrapper::IvV, {1, 2});
        QCOMPARE(reread.recordV(), readV);
        QCOMPARE(reread.VIx(), QVector<double>({1, 2}));

        // The averages are rebuilt from the rounded harmonics of scans 1 and 2.
        QCOMPARE(loaded.positions[0].averages.size(), 2);
        const DelayWrapper& averaged = loaded.positions[0].averages[1].low;
        const double expected = (loaded.positions[0].scans[0].Delays200[1].VR[2]
                                 + loaded.positions[0].scans[1].Delays200[1].VR[2]) / 2;
        QCOMPARE(averaged.VR[2], expected);
        QVERIFY(loaded.positions[0].averages[1].scanRecord());
        QVERIFY(loaded.positions[1].averages.isEmpty()); // its first scan has no low-band frame

        // With the averages come the scatter of the two scans averaged, as the
        // session had it before saving: the same to the rounding of the
        // harmonics to six digits (volts: about 1e-4 V, currents: 1e-8 A), by
        // which a point's current may come from the neighbour of a sample.
        data.positions[0].completeScatter(1);
        loaded.positions[0].completeScatter(1);
        const ScanRecord& before = *data.positions[0].averages[1].scanRecord();
        const ScanRecord& after = *loaded.positions[0].averages[1].scanRecord();
        QCOMPARE(before.sweepCount, 2);
        QCOMPARE(after.sweepCount, 2);
        const struct
        {
            const QVector<double>& before;
            const QVector<double>& after;
            double rounding;
        } deviations[] = {{before.stdV, after.stdV, 1e-3}, {before.stdI, after.stdI, 1e-7}};
        for (const auto& d : deviations) {
            QCOMPARE(d.after.size(), d.before.size());
            QVERIFY(*std::max_element(d.before.begin(), d.before.end()) > 100 * d.rounding);
            for (int i = 0; i < d.before.size(); ++i)
                QVERIFY2(std::abs(d.after[i] - d.before[i]) <= 0.02 * d.before[i] + d.rounding,
                         qPrintable(QString("%1: %2, before saving %3").arg(i).arg(d.after[i]).arg(d.before[i])));
        }
    }

    void rejectsDocumentsThatAreNotSessions()
    {
        measuredData data;
        data.deviceID = "D1";
        const QByteArray valid = written(data);
        QVERIFY(readBack(valid).ok);

        const QList<QPair<QByteArray, QByteArray>> damages = {
            {"<measuredData sensor", "<measuredDataX sensor"},
            {"sensor=\"Langmuir Probe\"", "sensor=\"langmuir probe\""},
            {"sensor=\"Langmuir Probe\"", "kind=\"Langmuir Probe\""},
            {"<deviceID>D1</deviceID>", ""},
            {"<header>", "<head>"},
            {"class=\"configParam\"", "class=\"ConfigParam\""},
            {"class=\"AnalysisSettings\"", "class=\"analysisSettings\""},
            {"</measuredData>", "</measuredData><extra/>"},
        };
        for (const auto& damage : damages) {
            QByteArray document = valid;
            document.replace(damage.first, damage.second);
            // A failed read leaves the caller's records as they were.
            ReadBack r;
            r.data.deviceID = "kept";
            r.data.positions.resize(2);
            r.config.dataScanRunScans = 77;
            r.settings.probe_radius = 9;
            QBuffer buffer(&document);
            buffer.open(QIODevice::ReadOnly);
            QVERIFY2(!readSession(buffer, r.data, r.config, r.settings, &r.error), damage.second.constData());
            QVERIFY(!r.error.isEmpty());
            QCOMPARE(r.data.deviceID, QString("kept"));
            QCOMPARE(r.data.positions.size(), 2);
            QCOMPARE(r.config.dataScanRunScans, 77u);
            QCOMPARE(r.settings.probe_radius, 9.0);
        }
    }

    void movesTheOffsetOfOlderVersionsToTheAnalysisSettings()
    {
        measuredData data;
        data.deviceID = "old";
        ConfigParam config;
        config.offsetCurrent = 0.375;
        LangmuirSettings settings;
        settings.offsetCurrent = 0.5;
        const QByteArray current = written(data, config, settings);
        QCOMPARE(readBack(current).settings.offsetCurrent, 0.5); // the analysis block's own offset wins

        QByteArray older = current;
        older.replace("<offsetCurrent>0.5</offsetCurrent>", "");
        const ReadBack r = readBack(older);
        QVERIFY(r.ok);
        QCOMPARE(r.settings.offsetCurrent, 0.375);
    }

    void headerDateAndTimeAreTheSavesAndIgnoredOnReading()
    {
        measuredData data;
        data.deviceID = "D1";
        QByteArray document = written(data);
        QVERIFY(document.contains("<date>14.11.2023</date>"));
        QVERIFY(document.contains("<time>22:13:20</time>"));
        document.replace("<date>14.11.2023</date>", "<date>not a date</date>");
        QVERIFY(readBack(document).ok);
    }

    void truncatedDocumentsFailWithoutHarm()
    {
        measuredData data = handMadeSession();
        const QByteArray document = written(data);
        const int end = document.lastIndexOf("</measuredData>") + int(strlen("</measuredData>"));
        for (int length = 0; length < document.size(); length += 10) {
            ReadBack r;
            r.data.deviceID = "kept";
            QBuffer buffer;
            buffer.setData(document.left(length));
            buffer.open(QIODevice::ReadOnly);
            const bool ok = readSession(buffer, r.data, r.config, r.settings);
            QCOMPARE(ok, length >= end);
            if (!ok)
                QCOMPARE(r.data.deviceID, QString("kept"));
        }

        // A read given up meanwhile (the window's Cancel) fails the same way,
        // at the next piece it asks for; one never cancelled reads all and
        // counts every byte.
        for (qint64 limit : {qint64(1), qint64(end / 2), qint64(end - 1)}) {
            ReadBack r;
            r.data.deviceID = "kept";
            CancellingSource source(document, limit);
            CancellableReader reader(source);
            source.reader = &reader;
            QVERIFY(!readSession(reader, r.data, r.config, r.settings));
            QCOMPARE(r.data.deviceID, QString("kept"));
            QVERIFY(reader.isCancelled());
            QVERIFY(reader.bytesDone() >= limit);
        }
        QBuffer whole;
        whole.setData(document);
        whole.open(QIODevice::ReadOnly);
        CancellableReader reader(whole);
        ReadBack r;
        QVERIFY(readSession(reader, r.data, r.config, r.settings));
        QCOMPARE(r.data.positions.size(), data.positions.size());
        QCOMPARE(reader.bytesDone(), qint64(document.size()));
    }

    void absurdCountsAndGarbageNumbersAreHarmless()
    {
        // scanCount and harmonics claim two billion; three real scan groups
        // follow, with garbage where numbers belong.
        QByteArray groups;
        for (int scan = 1; scan <= 3; ++scan)
            groups += "<Scan><values><scan>" + QByteArray::number(scan)
                      + "</scan></values><Delays200><DelayWrapper><values><delay>abc</delay><freq>1e999</freq>"
                        "<harmonics>-7</harmonics></values><vec label=\"Vr\">a;b;"
                      + QByteArray::number(scan) + ";</vec></DelayWrapper></Delays200><Delays400><DelayWrapper>"
                        "<vec>1;2;3;</vec><unknown><deep>9</deep></unknown></DelayWrapper></Delays400></Scan>";
        const QByteArray document = documentWith(
            "<PositionWrapper><values><harmonics>2000000000</harmonics><position>4</position>"
            "<scanCount>2000000000</scanCount></values>" + groups + "</PositionWrapper>");
        const double heapBefore = heapBytes();
        const ReadBack r = readBack(document);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(heapBytes() - heapBefore < 50e6);

        const PositionWrapper& p = r.data.positions.value(0);
        QCOMPARE(p.scans.size(), 3);
        const DelayWrapper& w = p.scans[2].Delays200[0];
        QCOMPARE(w.delay, 0.0f);
        QCOMPARE(w.freq, 0.0);
        QCOMPARE(w.harmonics, -7);
        QCOMPARE(w.VR, QVector<double>({0, 0, 3}));
        QCOMPARE(p.scans[0].Delays400[0].VR, QVector<double>({1, 2, 3}));
        // Averages over 16 values at most; values a frame lacks count as zero.
        QCOMPARE(p.averages.size(), 1);
        QCOMPARE(p.averages[0].low.VR.size(), 16);
        QCOMPARE(p.averages[0].low.VR[2], 1.5);
        QCOMPARE(p.averages[0].low.VR[5], 0.0);
    }

    void entityExpansionIsRefused()
    {
        QByteArray document = "<?xml version=\"1.0\"?><!DOCTYPE measuredData [<!ENTITY a0 \"laugh\">";
        for (int level = 1; level <= 9; ++level) {
            const QByteArray previous = "&a" + QByteArray::number(level - 1) + ";";
            document += "<!ENTITY a" + QByteArray::number(level) + " \"" + previous.repeated(10) + "\">";
        }
        document += "]><measuredData sensor=\"Langmuir Probe\" version=\"3\"><header><deviceID>&a9;</deviceID>"
                    "</header></measuredData>";
        const ReadBack r = readBack(document);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("entity", Qt::CaseInsensitive));
    }

    void aRefusingDeviceIsReported()
    {
        measuredData data = handMadeSession();
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QVERIFY(!writeSession(readOnly, data, ConfigParam(), LangmuirSettings()));
    }

    void manyEmptyFramesDoNotBlowUpTheAverages()
    {
        // A small document naming thousands of empty frames in three scan
        // groups: the averages would take hundreds of megabytes.
        QByteArray frames;
        for (int i = 0; i < 5000; ++i)
            frames += "<DelayWrapper/>";
        QByteArray groups;
        for (int scan = 1; scan <= 3; ++scan)
            groups += "<Scan><Delays200>" + frames + "</Delays200><Delays400>" + frames + "</Delays400></Scan>";
        const QByteArray document = documentWith("<PositionWrapper>" + groups + "</PositionWrapper>");

        const double heapBefore = heapBytes();
        const ReadBack r = readBack(document);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(heapBytes() - heapBefore < 100e6);
        QCOMPARE(r.data.positions[0].scans[2].Delays400.size(), 5000);
        QVERIFY(r.data.positions[0].averages.isEmpty());
        QCOMPARE(r.warnings, QStringList{"the averages of position 0 are not rebuilt: too many frames for the size of "
                                         "the file"});

        // Ten times as many: the frames alone would take far more memory
        // than a file of this size can describe (each empty element costs
        // hundreds of bytes once read). Refused, with the reason.
        const QByteArray more = documentWith("<PositionWrapper>" + groups.repeated(10) + "</PositionWrapper>");
        const double heapBeforeMore = heapBytes();
        const ReadBack refused = readBack(more);
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.startsWith("the file is refused: reading it would take more than "), qPrintable(refused.error));
        QVERIFY(heapBytes() - heapBeforeMore < 100e6);
    }

    // Analysis settings outside the range their dialog field or panel control
    // allows read as their defaults, each replacement named; the rest of the
    // block reads as written.
    void analysisSettingsOutsideTheirRangesReadAsDefaults()
    {
        measuredData data = handMadeSession();
        LangmuirSettings settings;
        settings.sigmaN = 1e-18;
        QByteArray document = written(data, ConfigParam(), settings);
        const auto set = [&document](const QByteArray& key, const QByteArray& text) {
            const int start = document.indexOf("<" + key + ">") + key.size() + 2;
            document.replace(start, document.indexOf("</" + key + ">") - start, text);
        };
        set("nDerivativePoints", "2147483647");
        set("probe_radius", "0");
        set("pressure", "-1");
        set("ionmass", "nan");
        set("UserVpValuesList", "1;inf;2;");
        const ReadBack r = readBack(document);
        QVERIFY2(r.ok, qPrintable(r.error));
        const LangmuirSettings defaults;
        QCOMPARE(r.settings.nDerivativePoints, 3);
        QCOMPARE(r.settings.probe_radius, defaults.probe_radius);
        QCOMPARE(r.settings.pressure, defaults.pressure);
        QCOMPARE(r.settings.ionmass, defaults.ionmass);
        QCOMPARE(r.settings.UserVpValuesList, (QVector<double>{1, 0, 2}));
        QCOMPARE(r.settings.sigmaN, 1e-18);
        QCOMPARE(r.warnings.size(), 5);
        QVERIFY(r.warnings.contains("analysis setting \"nDerivativePoints\" (Derivative Calculation Points) = "
                                    "\"2147483647\" is outside 1 to 10; the default 3 is used instead"));
        QVERIFY(r.warnings.contains("analysis setting \"pressure\" (Gas pressure) = \"-1\" is outside 0 to "
                                    "7.5006e+11; the default 0.0024 is used instead"));
    }
};

QTEST_GUILESS_MAIN(TestSessionFile)
#include "test_session_file.moc"
