#include "acquisition/DelayWrapper.h"

#include "acquisition/Waveforms.h"

#include <algorithm>
#include <cstring>

namespace {

QVector<double> reversed(const QVector<double>& v)
{
    QVector<double> out(v.size());
    std::reverse_copy(v.constBegin(), v.constEnd(), out.begin());
    return out;
}

QVector<double> firstValues(const double* values, int count)
{
    return QVector<double>(values, values + count);
}

bool sameBits(const QVector<double>& a, const QVector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(double) * a.size()) == 0;
}

bool sameBits(const HarmonicSpectrum& a, const HarmonicSpectrum& b)
{
    return sameBits(a.VR, b.VR) && sameBits(a.Vi, b.Vi) && sameBits(a.Ir, b.Ir) && sameBits(a.Ii, b.Ii);
}

// Everything the curves of a wrapper that derives them depend on.
struct Inputs
{
    HarmonicSpectrum spectrum;
    double freq = 0.0;
    std::optional<HarmonicSpectrum> joinedWith;

    bool operator==(const Inputs& o) const
    {
        return std::memcmp(&freq, &o.freq, sizeof freq) == 0 && sameBits(spectrum, o.spectrum)
               && joinedWith.has_value() == o.joinedWith.has_value()
               && (!joinedWith || sameBits(*joinedWith, *o.joinedWith));
    }
};

struct Derived
{
    std::array<QVector<double>, DelayWrapper::curveCount> curves;
    bool joined = false;
    QVector<double> recordV, recordI;
};

void ivCurveOf(const HarmonicSpectrum& h, double freq, QVector<double>& V, QVector<double>& I, QVector<double>& time,
               QVector<double>& ivV, QVector<double>& ivI)
{
    synthesiseWaveforms(h.VR, h.Vi, h.Ir, h.Ii, waveformSamples, freq, V, I, time);
    buildIvCurve(V, I, ivV, ivI);
}

Derived derive(const Inputs& in)
{
    using W = DelayWrapper;
    Derived d;
    auto& c = d.curves;
    ivCurveOf(in.spectrum, in.freq, c[W::WaveFormV], c[W::WaveFormI], c[W::Time], c[W::IvV], c[W::IvI]);
    if (!in.joinedWith) {
        d.recordV = reversed(c[W::IvV]);
        d.recordI = reversed(c[W::IvI]);
        return d;
    }
    // Only the IV curve of the other band takes part; its time axis is dropped.
    QVector<double> V, I, time, ivV, ivI;
    ivCurveOf(*in.joinedWith, W::averagedFrequency, V, I, time, ivV, ivI);
    JoinedCurve joined = joinBands(c[W::IvV], c[W::IvI], ivV, ivI);
    d.joined = joined.joined;
    c[W::JoinedIvV] = d.recordV = std::move(joined.V);
    c[W::JoinedIvI] = d.recordI = std::move(joined.I);
    return d;
}

// The curves of the last few wrappers asked for: a frame on screen (both
// bands and an averaged entry) is drawn, analysed and saved from one
// synthesis. Keyed by the inputs' values, so that no wrapper's change or
// removal can make an entry stale.
Derived derivedFor(const Inputs& in)
{
    constexpr int slotCount = 6;
    struct Slot
    {
        Inputs inputs;
        Derived derived;
        bool used = false;
    };
    thread_local std::array<Slot, slotCount> cache;
    thread_local int next = 0;
    for (const Slot& s : cache)
        if (s.used && s.inputs == in)
            return s.derived;
    Slot& slot = cache[std::size_t(next)];
    next = (next + 1) % slotCount;
    slot = {in, derive(in), true};
    return slot.derived;
}

} // namespace

ScanRecord scanRecordFromIvCurve(const QVector<double>& ivV, const QVector<double>& ivI)
{
    ScanRecord record;
    record.V = reversed(ivV);
    record.I = reversed(ivI);
    return record;
}

DelayWrapper::DelayWrapper(const scanResult& frame, const QDateTime& filedAt)
    : delay(float(frame.delay)), freq(frame.freq), harmonics(usableHarmonics(frame.harmonics)), kept_(nullptr)
{
    VR = firstValues(frame.VR, harmonics);
    Vi = firstValues(frame.Vi, harmonics);
    Ir = firstValues(frame.Ir, harmonics);
    Ii = firstValues(frame.Ii, harmonics);
    scanRecord.emplace();
    scanRecord->date = filedAt;
    scanRecord->position = frame.position;
    scanRecord->resolvedTime = frame.delay;
}

DelayWrapper::DelayWrapper(QVector<double> VR_, QVector<double> Vi_, QVector<double> Ir_, QVector<double> Ii_)
    : freq(averagedFrequency), harmonics(VR_.size()), VR(std::move(VR_)), Vi(std::move(Vi_)), Ir(std::move(Ir_)),
      Ii(std::move(Ii_)), scanRecord(ScanRecord()), kept_(nullptr)
{
}

namespace {

Derived derivedOf(const DelayWrapper& w, const std::optional<HarmonicSpectrum>& joinedWith)
{
    return derivedFor(Inputs{w.spectrum(), w.freq, joinedWith});
}

} // namespace

QVector<double> DelayWrapper::curve(Curve which) const
{
    return kept_ ? kept_->curves[which].values() : derivedOf(*this, joinedWith_).curves[which];
}

QVector<double> DelayWrapper::recordCurve(bool voltage) const
{
    if (!scanRecord)
        return {};
    if (kept_ && recordFromIv_)
        return reversed(kept_->curves[voltage ? IvV : IvI].values());
    if (kept_)
        return voltage ? scanRecord->V : scanRecord->I;
    const Derived d = derivedOf(*this, joinedWith_);
    return voltage ? d.recordV : d.recordI;
}

ScanRecord DelayWrapper::recordWithCurve() const
{
    ScanRecord record = *scanRecord;
    if (lendsRecordCurve()) {
        record.V = recordV();
        record.I = recordI();
    }
    return record;
}

void DelayWrapper::shareRecordCurve()
{
    if (!kept_ || recordFromIv_ || !scanRecord)
        return;
    if (!sameBits(scanRecord->V, reversed(kept_->curves[IvV].values())) || !sameBits(scanRecord->I, reversed(kept_->curves[IvI].values())))
        return;
    scanRecord->V = QVector<double>();
    scanRecord->I = QVector<double>();
    recordFromIv_ = true;
}

void DelayWrapper::keepCurves()
{
    if (recordFromIv_ && scanRecord) {
        // The curves may change now; the record keeps the one it had.
        scanRecord->V = recordV();
        scanRecord->I = recordI();
        recordFromIv_ = false;
    }
    if (kept_) {
        // Copies share what they were copied from until one of them changes.
        if (kept_.use_count() > 1)
            kept_ = std::make_shared<KeptCurves>(*kept_);
        return;
    }
    const Derived d = derivedOf(*this, joinedWith_);
    kept_ = std::make_shared<KeptCurves>();
    for (int c = 0; c < curveCount; ++c)
        kept_->curves[std::size_t(c)] = CompactCurve(d.curves[std::size_t(c)]);
    if (scanRecord) {
        scanRecord->V = d.recordV;
        scanRecord->I = d.recordI;
    }
    joinedWith_.reset();
}

void DelayWrapper::setCurve(Curve which, const QVector<double>& values)
{
    keepCurves();
    kept_->curves[which] = CompactCurve(values);
}

bool DelayWrapper::shareCurve(Curve which, const DelayWrapper& donor)
{
    if (!kept_ || !donor.kept_ || kept_ == donor.kept_ || !kept_->curves[which].sameAs(donor.kept_->curves[which]))
        return false;
    keepCurves();
    kept_->curves[which] = donor.kept_->curves[which];
    return true;
}

void DelayWrapper::combine(const DelayWrapper& other)
{
    scanRecord = ScanRecord();
    if (!kept_) {
        joinedWith_ = other.spectrum();
        // Made once here, and not cached: a rebuild of many averaged entries
        // would push out the curves of the frames on screen.
        joined = derive(Inputs{spectrum(), freq, joinedWith_}).joined;
        return;
    }
    JoinedCurve curve = joinBands(VIx(), VIy(), other.VIx(), other.VIy());
    keepCurves();
    joined = curve.joined;
    scanRecord->V = curve.V;
    scanRecord->I = curve.I;
    kept_->curves[JoinedIvV] = CompactCurve(curve.V);
    kept_->curves[JoinedIvI] = CompactCurve(curve.I);
}

RecordCurve::RecordCurve(DelayWrapper& wrapper)
    : wrapper_(wrapper)
{
    if (wrapper_.lendsRecordCurve()) {
        wrapper_.scanRecord->V = wrapper_.recordV();
        wrapper_.scanRecord->I = wrapper_.recordI();
    }
}

RecordCurve::~RecordCurve()
{
    if (wrapper_.lendsRecordCurve()) {
        wrapper_.scanRecord->V = QVector<double>();
        wrapper_.scanRecord->I = QVector<double>();
    }
}
