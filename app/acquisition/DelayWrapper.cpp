#include "acquisition/DelayWrapper.h"

#include "acquisition/Waveforms.h"

#include <algorithm>

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

} // namespace

ScanRecord scanRecordFromIvCurve(const QVector<double>& ivV, const QVector<double>& ivI)
{
    ScanRecord record;
    record.V = reversed(ivV);
    record.I = reversed(ivI);
    return record;
}

DelayWrapper::DelayWrapper(const scanResult& frame, const QDateTime& filedAt)
    : delay(float(frame.delay)), freq(frame.freq), harmonics(usableHarmonics(frame.harmonics))
{
    VR = firstValues(frame.VR, harmonics);
    Vi = firstValues(frame.Vi, harmonics);
    Ir = firstValues(frame.Ir, harmonics);
    Ii = firstValues(frame.Ii, harmonics);
    deriveCurve();
    scanRecord->date = filedAt;
    scanRecord->position = frame.position;
    scanRecord->resolvedTime = frame.delay;
}

DelayWrapper::DelayWrapper(QVector<double> VR_, QVector<double> Vi_, QVector<double> Ir_, QVector<double> Ii_)
    : freq(averagedFrequency), harmonics(VR_.size()), VR(std::move(VR_)), Vi(std::move(Vi_)), Ir(std::move(Ir_)),
      Ii(std::move(Ii_))
{
    deriveCurve();
}

void DelayWrapper::deriveCurve()
{
    synthesiseWaveforms(VR, Vi, Ir, Ii, waveformSamples, freq, WaveFormV, WaveFormI, time);
    buildIvCurve(WaveFormV, WaveFormI, VIx, VIy);
    scanRecord = scanRecordFromIvCurve(VIx, VIy);
}

void DelayWrapper::combine(const DelayWrapper& other)
{
    JoinedCurve curve = joinBands(VIx, VIy, other.VIx, other.VIy);
    joined = curve.joined;
    ScanRecord record;
    record.V = curve.V;
    record.I = curve.I;
    scanRecord = std::move(record);
    joinedVIx = std::move(curve.V);
    joinedVIy = std::move(curve.I);
}
