#pragma once

#include "acquisition/CompactCurve.h"
#include "acquisition/scanResult.h"
#include "analysis/HarmonicAnalysis.h"
#include "analysis/ScanRecord.h"

#include <QDateTime>
#include <QVector>

#include <array>
#include <memory>
#include <optional>

// One frame and what is derived from it: its harmonics, one period of voltage
// and current, the IV curve built from them and the scan record the analysis
// works on. Averaged data of a position use the same record (built from four
// averaged harmonic vectors).
//
// A frame filed from the sensor, and an averaged entry, keep only what was
// measured (the harmonics, frequency and delay) and the record's results: the
// waveforms, the time axis and the IV curves (the record's included) are
// synthesised from the harmonics when asked for. The synthesis is
// deterministic, so they are the very values a copy kept from the start would
// hold; the last few asked for are cached, for a frame on screen is asked for
// its curves again and again. A wrapper read from a session file keeps the
// curves the file holds instead (the file may come from elsewhere, and its
// curves are what its analysis must see), as does one whose curves are set.
class DelayWrapper
{
public:
    // Synthesis frequency of wrappers built from averaged harmonics; only the
    // time axis depends on it.
    static constexpr double averagedFrequency = 10000.0;

    // The vectors derived from the harmonics, or kept as set.
    enum Curve { WaveFormV, WaveFormI, Time, IvV, IvI, JoinedIvV, JoinedIvI };
    static constexpr int curveCount = 7;

    // Empty wrapper keeping the curves it is given; filled by the session
    // file reader.
    DelayWrapper() = default;

    // Files one frame (after any base-level subtraction); its scan record is
    // stamped with `filedAt`, the frame's position and its delay.
    DelayWrapper(const scanResult& frame, const QDateTime& filedAt);

    // Averaged harmonics of one band.
    DelayWrapper(QVector<double> VR, QVector<double> Vi, QVector<double> Ir, QVector<double> Ii);

    // Joins this (low-band) wrapper's IV curve with the high-band wrapper's and
    // gives this wrapper a fresh scan record of the joined curve. The waveforms
    // are left alone: they were synthesised from these harmonics and take no
    // part in the join.
    void combine(const DelayWrapper& other);

    // The four harmonic vectors.
    HarmonicSpectrum spectrum() const { return {VR, Vi, Ir, Ii}; }

    QVector<double> curve(Curve which) const;
    QVector<double> waveFormV() const { return curve(WaveFormV); }
    QVector<double> waveFormI() const { return curve(WaveFormI); }
    QVector<double> time() const { return curve(Time); }
    QVector<double> VIx() const { return curve(IvV); }
    QVector<double> VIy() const { return curve(IvI); }
    QVector<double> joinedVIx() const { return curve(JoinedIvV); } // empty before a band combination
    QVector<double> joinedVIy() const { return curve(JoinedIvI); }

    // Replaces one curve; the wrapper keeps every curve (and its record's)
    // as it stands from then on.
    void setCurve(Curve which, const QVector<double>& values);
    // Takes curve `which` of `donor` when both keep it bit for bit alike, so
    // that they share it (frames of one band repeat their time axis); returns
    // whether it did.
    bool shareCurve(Curve which, const DelayWrapper& donor);

    // The IV curve of the scan record, voltages rising (empty without a record).
    QVector<double> recordV() const { return recordCurve(true); }
    QVector<double> recordI() const { return recordCurve(false); }
    // A copy of the scan record (which must exist) with its IV curve in place.
    ScanRecord recordWithCurve() const;

    // A wrapper that keeps its curves and whose record holds the IV curve
    // reversed, as every frame filed here has it, lets the record drop that
    // copy: recordV() and recordI() reverse the IV curve instead.
    void shareRecordCurve();

    // Whether the record's IV curve is made when asked for rather than held
    // in the record.
    bool lendsRecordCurve() const { return !kept_ || recordFromIv_; }

    float delay = 0.0f; // microseconds
    double freq = 0.0;  // Hz
    int harmonics = 0;
    QVector<double> VR, Vi, Ir, Ii;
    bool joined = false; // the last band combination found the crossings it joins at
    // The record's results and status. A wrapper that lends the record its
    // IV curve keeps the record's V and I empty; recordV() and recordI() give
    // the curve, and RecordCurve lends it to the analysis.
    std::optional<ScanRecord> scanRecord;

private:
    friend class RecordCurve;

    // Curves kept as read or set.
    struct KeptCurves
    {
        std::array<CompactCurve, curveCount> curves;
    };

    void keepCurves(); // from derived curves to kept ones
    QVector<double> recordCurve(bool voltage) const;

    std::shared_ptr<KeptCurves> kept_ = std::make_shared<KeptCurves>();
    // The high band's harmonics, once this wrapper holds the joined curve.
    std::optional<HarmonicSpectrum> joinedWith_;
    bool recordFromIv_ = false; // see shareRecordCurve()
};

// The wrapper's scan record (which must exist) with its IV curve in place for
// as long as this lives, for the analysis to work on: a derived curve is put
// in for the time and taken out again, so that the record keeps only what is
// measured and what the analysis found.
class RecordCurve
{
public:
    explicit RecordCurve(DelayWrapper& wrapper);
    ~RecordCurve();
    RecordCurve(const RecordCurve&) = delete;
    RecordCurve& operator=(const RecordCurve&) = delete;

    ScanRecord& record() { return *wrapper_.scanRecord; }

private:
    DelayWrapper& wrapper_;
};

// A scan record holding the given IV curve reversed, so that its voltages rise.
ScanRecord scanRecordFromIvCurve(const QVector<double>& ivV, const QVector<double>& ivI);
