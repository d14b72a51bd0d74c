#include "session/SessionFile.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CrLfDevice.h"
#include "session/DecimalText.h"
#include "session/RegularFile.h"
#include "session/XmlMaps.h"

#include <QFileDevice>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <cstring>

namespace {

// Element and attribute names of the document.
const QString rootElement = QStringLiteral("measuredData");
const QString sensorAttribute = QStringLiteral("sensor");
const QString sensorName = QStringLiteral("Langmuir Probe");
const QString versionAttribute = QStringLiteral("version");
const QString formatVersion = QStringLiteral("3");
const QString headerElement = QStringLiteral("header");
const QString settingsElement = QStringLiteral("settings");
const QString classAttribute = QStringLiteral("class");
const QString analysisSettingsClass = QStringLiteral("AnalysisSettings");
const QString positionElement = QStringLiteral("PositionWrapper");
const QString valuesElement = QStringLiteral("values");
const QString scanElement = QStringLiteral("Scan");
const QString lowBandElement = QStringLiteral("Delays200");
const QString highBandElement = QStringLiteral("Delays400");
const QString delayElement = QStringLiteral("DelayWrapper");
const QString vecElement = QStringLiteral("vec");
const QString scanDataElement = QStringLiteral("scanData");
const QString statusElement = QStringLiteral("Status");
const QString traceElement = QStringLiteral("trace");
const QString traceClass = QStringLiteral("initScanDerivativeData");
const QString durationAttribute = QStringLiteral("duration");
const QString dataElement = QStringLiteral("data");
const QString correctedClass = QStringLiteral("correctedData");
const QString doubleProbeClass = QStringLiteral("correctedDoubleProbeData");
const QString resultsElement = QStringLiteral("results");
const QString offsetCurrentKey = QStringLiteral("offsetCurrent");

// The nine vectors of a DelayWrapper, in the order of the file: the four
// harmonic vectors, then five curves.
const char* const wrapperVectorLabels[] = {"Vr", "Vi", "Ir", "Ii", "WaveFormV", "WaveFormI", "time", "VIx", "VIy"};
constexpr int wrapperVectorCount = 9;
constexpr int harmonicVectorCount = 4;

QVector<double> DelayWrapper::*const harmonicVectors[harmonicVectorCount] = {
    &DelayWrapper::VR, &DelayWrapper::Vi, &DelayWrapper::Ir, &DelayWrapper::Ii};
const DelayWrapper::Curve wrapperCurves[wrapperVectorCount - harmonicVectorCount] = {
    DelayWrapper::WaveFormV, DelayWrapper::WaveFormI, DelayWrapper::Time, DelayWrapper::IvV, DelayWrapper::IvI};

// ---- writing ------------------------------------------------------------------

// `V` and `I` are the record's IV curve (which a record may hold elsewhere).
void writeScanRecord(QXmlStreamWriter& xml, const ScanRecord& record, const QVector<double>& V,
                     const QVector<double>& I)
{
    xml.writeStartElement(scanDataElement);
    const qint64 date = record.date.isValid() ? record.date.toSecsSinceEpoch() : 0;
    writeTextMap(xml, statusElement,
                 {{"Error", record.errorText},
                  {"currentRange", QString::number(record.currentRange)},
                  {"dCurrentRange", decimalText(record.dCurrentRange)},
                  {"date", QString::number(date)},
                  {"dcCScanVoltageEnd", decimalText(record.dcCScanVoltageEnd)},
                  {"dcCScanVoltageStart", decimalText(record.dcCScanVoltageStart)},
                  {"gainAutoSwitchVoltage", decimalText(record.gainAutoSwitchVoltage)},
                  {"offsetCurrent", decimalText(record.offsetCurrent)},
                  {"plasmaResistance", decimalText(record.plasmaResistance)},
                  {"position", decimalText(record.position)},
                  {"resolved_time", decimalText(record.resolvedTime)}});

    QVector<double> x, y;
    for (const QPointF& p : record.initScanDerivative) {
        x.append(p.x());
        y.append(p.y());
    }
    writeVectorMap(xml, traceElement,
                   {{classAttribute, traceClass}, {durationAttribute, decimalText(record.initScanDerivativeDuration)}},
                   {{"V", x}, {"dIdV", y}});
    writeVectorMap(xml, dataElement, {{classAttribute, correctedClass}},
                   {{"I", I}, {"V", V}, {"stdI", record.stdI}, {"stdV", record.stdV}});
    if (!record.doubleProbeV.isEmpty())
        writeVectorMap(xml, dataElement, {{classAttribute, doubleProbeClass}},
                       {{"I", record.doubleProbeI},
                        {"V", record.doubleProbeV},
                        {"stdI", record.doubleProbeStdI},
                        {"stdV", record.doubleProbeStdV}});
    TextMap parameters;
    record.parameters.write(parameters);
    writeTextMap(xml, resultsElement, parameters);
    xml.writeEndElement();
}

void writeDelayWrapper(QXmlStreamWriter& xml, const DelayWrapper& w)
{
    xml.writeStartElement(delayElement);
    writeTextMap(xml, valuesElement,
                 {{"delay", decimalText(w.delay)}, {"freq", decimalText(w.freq)}, {"harmonics", QString::number(w.harmonics)}});
    // A frame that derives its curves makes them here, one frame at a time.
    for (int v = 0; v < wrapperVectorCount; ++v)
        writeVector(xml, QLatin1String(wrapperVectorLabels[v]),
                    v < harmonicVectorCount ? w.*harmonicVectors[v] : w.curve(wrapperCurves[v - harmonicVectorCount]));
    if (w.scanRecord)
        writeScanRecord(xml, *w.scanRecord, w.recordV(), w.recordI());
    xml.writeEndElement();
}

void writeDelayList(QXmlStreamWriter& xml, const QString& name, const QVector<DelayWrapper>& list,
                    FramesWritten* written)
{
    xml.writeStartElement(name);
    for (const DelayWrapper& w : list) {
        writeDelayWrapper(xml, w);
        if (written)
            ++*written;
    }
    xml.writeEndElement();
}

void writePosition(QXmlStreamWriter& xml, const PositionWrapper& p, FramesWritten* written)
{
    xml.writeStartElement(positionElement);
    writeTextMap(xml, valuesElement,
                 {{"harmonics", QString::number(p.harmonics)},
                  {"mode", QString::number(p.mode)},
                  {"position", QString::number(p.position)},
                  {"scanCount", QString::number(p.scans.size())}});
    for (const ScanGroup& g : p.scans) {
        xml.writeStartElement(scanElement);
        writeTextMap(xml, valuesElement, {{"scan", QString::number(g.scan)}});
        writeDelayList(xml, lowBandElement, g.Delays200, written);
        writeDelayList(xml, highBandElement, g.Delays400, written);
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

// ---- reading ------------------------------------------------------------------

// What every averaged entry is charged: the memory its waveforms, IV curves and
// joined record take while they are on screen or being analysed (it keeps only
// harmonics otherwise).
constexpr qint64 averagedEntryBytes = 80 * 1024;

// What the data read from a document may take in memory: a fixed allowance
// plus a multiple of the part of the document read so far. Real frames take
// less memory than their text (a number of ten characters becomes eight
// bytes); a document of empty or tiny elements, each of which costs hundreds
// of bytes once read, runs into this bound long before it can exhaust the
// machine.
constexpr qint64 readAllowance = qint64(32) * 1024 * 1024;
constexpr qint64 readBytesPerCharacter = 8;
// A list that grows by appending may hold twice the room it needs.
constexpr qint64 listSlack = 2;

qint64 vectorBytes(const QVector<double>& values)
{
    return qint64(values.size()) * qint64(sizeof(double));
}

qint64 textMapBytes(const TextMap& map)
{
    qint64 characters = 0;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        characters += it.key().size() + it.value().size();
    return characters * qint64(sizeof(QChar));
}

// Averages are rebuilt after reading as long as they take no more than this
// (a fixed allowance plus a multiple of the document's size): a small file
// naming thousands of empty frames must not make the reader allocate
// gigabytes, while real frames (kilobytes of text each) never come near it.
qint64 averagesBudget(qint64 documentSize)
{
    return qint64(16) * 1024 * 1024 + 16 * documentSize;
}

class SessionReader
{
public:
    explicit SessionReader(QIODevice& device)
        : xml_(&device)
    {
    }

    bool read(measuredData& data, ConfigParam& config, LangmuirSettings& settings);
    QString error() const { return error_; }
    QStringList warnings() const { return warnings_; }

private:
    bool fail(const QString& reason);
    // Counts memory the data read take; past the bound the document is
    // refused (the reader's error stops every loop that reads on).
    void charge(qint64 bytes);
    TextMap readChargedTextMap();
    QVector<double> readChargedVector();
    VectorMap readChargedVectorMap();
    bool enterElement(const QString& name); // next start element must be `name`
    QString attribute(const QString& name) const { return xml_.attributes().value(name).toString(); }

    PositionWrapper readPosition();
    ScanGroup readScanGroup();
    QVector<DelayWrapper> readDelayList();
    DelayWrapper readDelayWrapper();
    void shareTimeAxis(DelayWrapper& w);
    ScanRecord readScanRecord();
    void rebuildAverages(QVector<PositionWrapper>& positions);

    QXmlStreamReader xml_;
    QString error_;
    QStringList warnings_;
    qint64 spent_ = 0;
    // Frames whose time axes (one per band) the frames that follow usually repeat.
    DelayWrapper timeAxisDonors_[2];
    int nextDonor_ = 0;
};

void SessionReader::charge(qint64 bytes)
{
    spent_ += bytes;
    const qint64 bound = readAllowance + readBytesPerCharacter * xml_.characterOffset();
    if (spent_ <= bound || xml_.hasError())
        return;
    constexpr qint64 megabyte = 1024 * 1024;
    xml_.raiseError(QStringLiteral("the file is refused: reading it would take more than %1 MB of memory, far more "
                                   "than a session file of its size needs")
                        .arg(bound / megabyte));
}

TextMap SessionReader::readChargedTextMap()
{
    TextMap map = readTextMap(xml_);
    charge(textMapBytes(map));
    return map;
}

QVector<double> SessionReader::readChargedVector()
{
    QVector<double> values = readVector(xml_);
    charge(vectorBytes(values));
    return values;
}

VectorMap SessionReader::readChargedVectorMap()
{
    VectorMap vectors = readVectorMap(xml_);
    for (const QVector<double>& values : vectors)
        charge(vectorBytes(values));
    return vectors;
}

bool SessionReader::fail(const QString& reason)
{
    if (error_.isEmpty())
        error_ = xml_.hasError() ? QStringLiteral("%1 (line %2, column %3)")
                                       .arg(xml_.errorString())
                                       .arg(xml_.lineNumber())
                                       .arg(xml_.columnNumber())
                                 : reason;
    return false;
}

bool SessionReader::enterElement(const QString& name)
{
    return xml_.readNextStartElement() && xml_.name() == name;
}

bool SessionReader::read(measuredData& data, ConfigParam& config, LangmuirSettings& settings)
{
    if (!enterElement(rootElement) || attribute(sensorAttribute) != sensorName)
        return fail(QStringLiteral("not a session file: the document must begin with a \"measuredData\" element "
                                   "for the sensor \"Langmuir Probe\""));
    if (!enterElement(headerElement))
        return fail(QStringLiteral("the \"header\" block is missing"));
    const TextMap header = readChargedTextMap();
    if (!header.contains(QStringLiteral("deviceID")))
        return fail(QStringLiteral("the header has no \"deviceID\""));

    if (!xml_.readNextStartElement() || !isConfigParamElement(xml_))
        return fail(QStringLiteral("the configuration block (\"settings\" of class \"configParam\") is missing"));
    const TextMap configMap = readChargedTextMap();
    if (!enterElement(settingsElement) || attribute(classAttribute) != analysisSettingsClass)
        return fail(QStringLiteral("the analysis settings block (\"settings\" of class \"AnalysisSettings\") is missing"));
    TextMap analysisMap = readChargedTextMap();
    // Older versions kept the current offset with the configuration.
    if (!analysisMap.contains(offsetCurrentKey) && configMap.contains(offsetCurrentKey))
        analysisMap.insert(offsetCurrentKey, configMap.value(offsetCurrentKey));

    QVector<PositionWrapper> positions;
    while (xml_.readNextStartElement()) {
        if (xml_.name() == positionElement)
            positions.append(readPosition());
        else
            xml_.skipCurrentElement();
    }
    while (!xml_.atEnd())
        xml_.readNext();
    if (xml_.hasError())
        return fail(QString());
    rebuildAverages(positions);

    config.fromStringMap(configMap);
    settings.fromStringMap(analysisMap, &warnings_);
    data.deviceID = header.value(QStringLiteral("deviceID"));
    data.comment = header.value(QStringLiteral("comment"));
    data.positions = std::move(positions);
    if (auto* file = qobject_cast<QFileDevice*>(xml_.device()))
        data.fileName = file->fileName();
    return true;
}

PositionWrapper SessionReader::readPosition()
{
    // The scan groups are read as they stand in the document; "scanCount"
    // merely repeats their number and is not trusted with more.
    PositionWrapper p;
    charge(listSlack * qint64(sizeof(PositionWrapper)));
    while (xml_.readNextStartElement()) {
        if (xml_.name() == valuesElement) {
            const TextMap values = readChargedTextMap();
            p.position = values.value(QStringLiteral("position")).toInt();
            p.harmonics = values.value(QStringLiteral("harmonics")).toInt();
            p.mode = values.value(QStringLiteral("mode")).toInt();
        } else if (xml_.name() == scanElement) {
            p.scans.append(readScanGroup());
        } else {
            xml_.skipCurrentElement();
        }
    }
    return p;
}

ScanGroup SessionReader::readScanGroup()
{
    ScanGroup g;
    charge(listSlack * qint64(sizeof(ScanGroup)));
    while (xml_.readNextStartElement()) {
        if (xml_.name() == valuesElement)
            g.scan = readChargedTextMap().value(QStringLiteral("scan")).toInt();
        else if (xml_.name() == lowBandElement)
            g.Delays200 += readDelayList();
        else if (xml_.name() == highBandElement)
            g.Delays400 += readDelayList();
        else
            xml_.skipCurrentElement();
    }
    return g;
}

QVector<DelayWrapper> SessionReader::readDelayList()
{
    QVector<DelayWrapper> list;
    while (xml_.readNextStartElement()) {
        if (xml_.name() == delayElement)
            list.append(readDelayWrapper());
        else
            xml_.skipCurrentElement();
    }
    return list;
}

DelayWrapper SessionReader::readDelayWrapper()
{
    // The nine vectors are taken by their position, not by their labels. A
    // frame saved without a scan record has no "scanData" and reads back
    // without one.
    DelayWrapper w;
    charge(listSlack * qint64(sizeof(DelayWrapper)));
    int vectorsRead = 0;
    while (xml_.readNextStartElement()) {
        if (xml_.name() == valuesElement) {
            const TextMap values = readChargedTextMap();
            w.delay = float(parseDecimal(values.value(QStringLiteral("delay"))));
            w.harmonics = values.value(QStringLiteral("harmonics")).toInt();
            w.freq = parseDecimal(values.value(QStringLiteral("freq")));
        } else if (xml_.name() == vecElement && vectorsRead < harmonicVectorCount) {
            w.*harmonicVectors[vectorsRead++] = readChargedVector();
        } else if (xml_.name() == vecElement && vectorsRead < wrapperVectorCount) {
            w.setCurve(wrapperCurves[vectorsRead++ - harmonicVectorCount], readChargedVector());
        } else if (xml_.name() == scanDataElement) {
            w.scanRecord = readScanRecord();
        } else {
            xml_.skipCurrentElement();
        }
    }
    shareTimeAxis(w);
    w.shareRecordCurve();
    return w;
}

// Frames of one band share one time axis when they repeat it bit for bit, as
// the frames of one acquisition do.
void SessionReader::shareTimeAxis(DelayWrapper& w)
{
    for (const DelayWrapper& donor : timeAxisDonors_)
        if (w.shareCurve(DelayWrapper::Time, donor))
            return;
    timeAxisDonors_[nextDonor_] = w;
    nextDonor_ = 1 - nextDonor_;
}

ScanRecord SessionReader::readScanRecord()
{
    ScanRecord r;
    while (xml_.readNextStartElement()) {
        if (xml_.name() == statusElement) {
            const TextMap status = readChargedTextMap();
            auto number = [&status](const char* key) { return parseDecimal(status.value(QLatin1String(key))); };
            r.date = QDateTime::fromSecsSinceEpoch(status.value(QStringLiteral("date")).toUInt());
            r.position = number("position");
            r.resolvedTime = number("resolved_time");
            r.offsetCurrent = number("offsetCurrent");
            r.gainAutoSwitchVoltage = number("gainAutoSwitchVoltage");
            r.currentRange = status.value(QStringLiteral("currentRange")).toUInt();
            r.dCurrentRange = number("dCurrentRange");
            r.dcCScanVoltageStart = number("dcCScanVoltageStart");
            r.dcCScanVoltageEnd = number("dcCScanVoltageEnd");
            r.plasmaResistance = number("plasmaResistance");
            r.errorText = status.value(QStringLiteral("Error"));
        } else if (xml_.name() == traceElement) {
            r.initScanDerivativeDuration = parseDecimal(attribute(durationAttribute));
            const VectorMap trace = readChargedVectorMap();
            const QVector<double> x = trace.value(QStringLiteral("V"));
            const QVector<double> y = trace.value(QStringLiteral("dIdV"));
            const int points = std::min(x.size(), y.size());
            r.initScanDerivative.reserve(points);
            for (int i = 0; i < points; ++i)
                r.initScanDerivative.append(QPointF(x[i], y[i]));
            charge(qint64(points) * qint64(sizeof(QPointF)));
        } else if (xml_.name() == dataElement && attribute(classAttribute) == correctedClass) {
            const VectorMap data = readChargedVectorMap();
            r.V = data.value(QStringLiteral("V"));
            r.I = data.value(QStringLiteral("I"));
            r.stdV = data.value(QStringLiteral("stdV"));
            r.stdI = data.value(QStringLiteral("stdI"));
        } else if (xml_.name() == dataElement && attribute(classAttribute) == doubleProbeClass) {
            const VectorMap data = readChargedVectorMap();
            r.doubleProbeV = data.value(QStringLiteral("V"));
            r.doubleProbeI = data.value(QStringLiteral("I"));
            r.doubleProbeStdV = data.value(QStringLiteral("stdV"));
            r.doubleProbeStdI = data.value(QStringLiteral("stdI"));
        } else if (xml_.name() == resultsElement) {
            r.parameters.read(readChargedTextMap());
        } else {
            xml_.skipCurrentElement();
        }
    }
    return r;
}

void SessionReader::rebuildAverages(QVector<PositionWrapper>& positions)
{
    qint64 budget = averagesBudget(xml_.characterOffset());
    for (PositionWrapper& p : positions) {
        const qint64 cost = p.averagedEntryCount() * averagedEntryBytes;
        if (cost > budget) {
            warnings_.append(QStringLiteral("the averages of position %1 are not rebuilt: too many frames for the size "
                                            "of the file")
                                 .arg(p.position));
            continue;
        }
        budget -= cost;
        p.rebuildAverages();
    }
}

} // namespace

bool writeSession(QIODevice& device, measuredData& data, const ConfigParam& config, const LangmuirSettings& settings,
                  const QDateTime& savedAt, FramesWritten* written)
{
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        data.fileName = file->fileName();

    CrLfDevice out(device);
    QXmlStreamWriter xml(&out);
    xml.setCodec("UTF-8");
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(4);
    xml.writeStartDocument();
    xml.writeStartElement(rootElement);
    xml.writeAttribute(sensorAttribute, sensorName);
    xml.writeAttribute(versionAttribute, formatVersion);

    writeTextMap(xml, headerElement,
                 {{"comment", data.comment},
                  {"date", savedAt.toString(QStringLiteral("dd.MM.yyyy"))},
                  {"deviceID", data.deviceID},
                  {"time", savedAt.toString(QStringLiteral("HH:mm:ss"))}});
    writeConfigParamElement(xml, config);
    TextMap analysis;
    settings.toStringMap(analysis);
    writeTextMap(xml, settingsElement, analysis, {{classAttribute, analysisSettingsClass}});
    for (const PositionWrapper& p : data.positions)
        writePosition(xml, p, written);

    xml.writeEndElement();
    xml.writeEndDocument();
    return out.flushToTarget() && !xml.hasError();
}

bool readSession(QIODevice& device, measuredData& data, ConfigParam& config, LangmuirSettings& settings,
                 QString* error, QStringList* warnings)
{
    SessionReader reader(device);
    const bool ok = reader.read(data, config, settings);
    if (!ok && error)
        *error = reader.error();
    if (ok && warnings)
        *warnings = reader.warnings();
    return ok;
}

// A short write (a full disk) sets no error on the file: the writer's own
// verdict counts, with errno for the reason.
SessionSave saveSessionFile(const QString& target, measuredData& data, const ConfigParam& config,
                            const LangmuirSettings& settings, QString& reason, FramesWritten* written)
{
    QSaveFile file(target);
    if (!openSaveFile(file, QIODevice::WriteOnly | QIODevice::Text, reason))
        return SessionSave::NotOpened;
    const QString previousFileName = data.fileName;
    errno = 0;
    const bool complete = writeSession(file, data, config, settings, QDateTime::currentDateTime(), written);
    const int writeErrno = errno;
    if (complete && file.commit())
        return SessionSave::Saved;
    // Not committed: the temporary file is discarded with `file`.
    data.fileName = previousFileName;
    reason = writeFailure(file, writeErrno);
    return SessionSave::NotWritten;
}
