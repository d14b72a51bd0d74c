#include "session/JournalRecords.h"

#include "session/SessionContents.h"
#include "session/SessionFile.h"

#include <QBuffer>
#include <QtEndian>

#include <zlib.h>

#include <cstring>

namespace journal {

const QByteArray magic = QByteArrayLiteral("ORVELJ1\n");

namespace {

constexpr quint8 stateVersion = 1;
// A base level vector holds 16 values; more is damage.
constexpr quint32 maxBaseLevelValues = 64;

quint32 checksum(const char* bytes, int size)
{
    return quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes), uInt(size)));
}

// Appends little-endian values to a payload.
class Encoder
{
public:
    explicit Encoder(int reserve = 0) { m_bytes.reserve(reserve); }

    template <typename T>
    void integer(T value)
    {
        char raw[sizeof(T)];
        qToLittleEndian(value, raw);
        m_bytes.append(raw, int(sizeof(T)));
    }
    void real(double value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        integer(bits);
    }
    void bytes(const QByteArray& value)
    {
        integer(quint32(value.size()));
        m_bytes.append(value);
    }
    void text(const QString& value) { bytes(value.toUtf8()); }
    void reals(const QVector<double>& values)
    {
        integer(quint32(values.size()));
        for (double v : values)
            real(v);
    }
    void map(const QMap<QString, QString>& values)
    {
        integer(quint32(values.size()));
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            text(it.key());
            text(it.value());
        }
    }
    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

// Reads what an Encoder wrote, never past the payload's end: a count that
// cannot fit in what remains fails the whole decoding.
class Decoder
{
public:
    explicit Decoder(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_bytes.size(); }

    template <typename T>
    T integer()
    {
        if (!take(int(sizeof(T))))
            return T();
        return qFromLittleEndian<T>(m_bytes.constData() + m_at - int(sizeof(T)));
    }
    double real()
    {
        const quint64 bits = integer<quint64>();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    QByteArray bytes()
    {
        const quint32 size = integer<quint32>();
        if (!m_ok || size > quint32(m_bytes.size() - m_at) || !take(int(size)))
            return fail<QByteArray>();
        return m_bytes.mid(m_at - int(size), int(size));
    }
    QString text() { return QString::fromUtf8(bytes()); }
    QVector<double> reals(quint32 maxCount)
    {
        const quint32 count = integer<quint32>();
        if (!m_ok || count > maxCount || count > quint32(m_bytes.size() - m_at) / 8)
            return fail<QVector<double>>();
        QVector<double> values(static_cast<int>(count));
        for (double& v : values)
            v = real();
        return values;
    }
    QMap<QString, QString> map()
    {
        const quint32 count = integer<quint32>();
        // Each entry takes at least two lengths.
        if (!m_ok || count > quint32(m_bytes.size() - m_at) / 8)
            return fail<QMap<QString, QString>>();
        QMap<QString, QString> values;
        for (quint32 i = 0; i < count && m_ok; ++i) {
            const QString key = text();
            values.insert(key, text());
        }
        return values;
    }

private:
    bool take(int size)
    {
        if (!m_ok || size > m_bytes.size() - m_at) {
            m_ok = false;
            return false;
        }
        m_at += size;
        return true;
    }
    template <typename T>
    T fail()
    {
        m_ok = false;
        return T();
    }

    const QByteArray& m_bytes;
    int m_at = 0;
    bool m_ok = true;
};

void encodeHarmonics(Encoder& out, const double (&values)[scanResult::maxHarmonics])
{
    for (double v : values)
        out.real(v);
}

void decodeHarmonics(Decoder& in, double (&values)[scanResult::maxHarmonics])
{
    for (double& v : values)
        v = in.real();
}

// The frame's session document, read back into `contents` (positions only).
bool applyDocument(const QByteArray& document, SessionContents& contents, QString& error)
{
    QByteArray copy = document;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    SessionContents held;
    if (!readSession(buffer, held.data, held.config, held.settings, &error))
        return false;
    contents.data.positions = std::move(held.data.positions);
    return true;
}

} // namespace

QByteArray record(RecordType type, const QByteArray& payload)
{
    Encoder out(payload.size() + recordOverhead);
    out.integer(quint32(payload.size()));
    out.integer(quint8(type));
    QByteArray bytes = out.take();
    bytes.append(payload);
    const quint32 crc = checksum(bytes.constData() + 4, payload.size() + 1);
    char raw[4];
    qToLittleEndian(crc, raw);
    bytes.append(raw, 4);
    return bytes;
}

QByteArray frameRecord(const scanResult& frame, qint64 filedAtSecs)
{
    Encoder out(8 * (4 * scanResult::maxHarmonics + 2) + 6 * 4 + 1);
    out.integer(qint64(filedAtSecs));
    out.integer(qint32(frame.position));
    out.integer(quint8(frame.mode));
    out.integer(qint32(frame.scan));
    out.integer(qint32(frame.word8));
    out.integer(qint32(frame.word10));
    out.integer(qint32(frame.delay));
    out.integer(qint32(frame.harmonics));
    out.real(frame.freq);
    encodeHarmonics(out, frame.VR);
    encodeHarmonics(out, frame.Vi);
    encodeHarmonics(out, frame.Ir);
    encodeHarmonics(out, frame.Ii);
    return record(RecordType::Frame, out.take());
}

std::optional<Frame> decodeFrame(const QByteArray& payload)
{
    Decoder in(payload);
    Frame f;
    f.filedAt = QDateTime::fromSecsSinceEpoch(in.integer<qint64>());
    f.frame.position = in.integer<qint32>();
    f.frame.mode = in.integer<quint8>();
    f.frame.scan = in.integer<qint32>();
    f.frame.word8 = in.integer<qint32>();
    f.frame.word10 = in.integer<qint32>();
    f.frame.delay = in.integer<qint32>();
    f.frame.harmonics = in.integer<qint32>();
    f.frame.freq = in.real();
    decodeHarmonics(in, f.frame.VR);
    decodeHarmonics(in, f.frame.Vi);
    decodeHarmonics(in, f.frame.Ir);
    decodeHarmonics(in, f.frame.Ii);
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return f;
}

QByteArray stateRecord(const SessionContents& contents, bool withData)
{
    const measuredData& data = contents.data;
    Encoder out;
    out.integer(stateVersion);
    out.text(data.deviceID);
    out.text(data.comment);
    out.text(data.fileName);
    out.integer(quint8(data.baseLevelSet));
    for (const QVector<double>& v : data.baseLevel)
        out.reals(v);
    QMap<QString, QString> map;
    contents.config.toStringMap(map);
    out.map(map);
    map.clear();
    contents.settings.toStringMap(map);
    out.map(map);
    QByteArray document;
    if (withData && !data.positions.isEmpty()) {
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        measuredData copy = data;
        writeSession(buffer, copy, contents.config, contents.settings);
    }
    out.bytes(document);
    return record(RecordType::State, out.take());
}

bool applyState(const QByteArray& payload, SessionContents& contents, QString& error)
{
    Decoder in(payload);
    if (in.integer<quint8>() != stateVersion) {
        error = QStringLiteral("a session state of an unknown version");
        return false;
    }
    const QString deviceID = in.text();
    const QString comment = in.text();
    const QString fileName = in.text();
    const bool baseLevelSet = in.integer<quint8>() != 0;
    BaseLevel baseLevel;
    for (QVector<double>& v : baseLevel)
        v = in.reals(maxBaseLevelValues);
    const QMap<QString, QString> config = in.map();
    const QMap<QString, QString> settings = in.map();
    const QByteArray document = in.bytes();
    if (!in.ok() || !in.atEnd()) {
        error = QStringLiteral("a damaged session state");
        return false;
    }
    if (!document.isEmpty() && !applyDocument(document, contents, error))
        return false;
    contents.data.deviceID = deviceID;
    contents.data.comment = comment;
    contents.data.fileName = fileName;
    contents.data.baseLevel = baseLevel;
    contents.data.baseLevelSet = baseLevelSet;
    contents.config.fromStringMap(config);
    contents.settings.fromStringMap(settings);
    return true;
}

Reader::Reader(QByteArray bytes)
    : m_bytes(std::move(bytes))
    , m_hasMagic(m_bytes.startsWith(magic))
    , m_offset(m_hasMagic ? magic.size() : 0)
{
}

std::optional<Record> Reader::next()
{
    if (!m_hasMagic || m_bytes.size() - m_offset < recordOverhead)
        return std::nullopt;
    const char* at = m_bytes.constData() + m_offset;
    const quint32 size = qFromLittleEndian<quint32>(at);
    const auto type = RecordType(quint8(at[4]));
    if ((type != RecordType::State && type != RecordType::Frame) || size > quint32(maxStatePayload)
        || qint64(size) > m_bytes.size() - m_offset - recordOverhead)
        return std::nullopt;
    const quint32 crc = qFromLittleEndian<quint32>(at + 5 + size);
    if (crc != checksum(at + 4, int(size) + 1))
        return std::nullopt;
    Record r{type, m_bytes.mid(int(m_offset) + 5, int(size))};
    m_offset += recordOverhead + size;
    return r;
}

} // namespace journal
