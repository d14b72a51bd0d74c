#include "ReferenceFiling.h"

#include <cmath>
#include <cstring>

namespace reference {

namespace {

double at(const QVector<double>& v, int i)
{
    return i < v.size() ? v[i] : 0.0;
}

ScanRecord reversedRecord(const QVector<double>& ivV, const QVector<double>& ivI)
{
    ScanRecord s;
    for (int i = ivV.size() - 1; i >= 0; --i)
        s.V.append(ivV[i]);
    for (int i = ivI.size() - 1; i >= 0; --i)
        s.I.append(ivI[i]);
    return s;
}

double standardDeviation(const QVector<double>& x)
{
    double mean = 0;
    for (double v : x)
        mean += v;
    mean /= x.size();
    double squares = 0;
    for (double v : x)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / (x.size() - 1));
}

} // namespace

void synthesise(const QVector<double>& VR, const QVector<double>& Vi, const QVector<double>& Ir,
                const QVector<double>& Ii, int N, double f, QVector<double>& V, QVector<double>& I,
                QVector<double>& t)
{
    V.clear();
    I.clear();
    t.clear();
    if (N < 1)
        return;
    const int n = std::max({VR.size(), Vi.size(), Ir.size(), Ii.size()});
    for (int j = 0; j < N; ++j) {
        double v = 0, i = 0;
        if (n >= 2) {
            for (int h = 1; h <= n - 1; ++h) {
                const double theta = 2.0 * j * h * 3.141592 / N;
                v += at(VR, h - 1) * std::cos(theta) + at(Vi, h - 1) * std::sin(theta);
                i += at(Ir, h - 1) * std::cos(theta) + at(Ii, h - 1) * std::sin(theta);
            }
        }
        V.append(v * 1.4142135623730951);
        I.append(i * 1.4142135623730951);
        t.append((j + 1.0) / N * 1000.0 / f);
    }
}

void buildIv(const QVector<double>& V, const QVector<double>& I, QVector<double>& ivV, QVector<double>& ivI)
{
    ivV.clear();
    ivI.clear();
    const int m = std::min(V.size(), I.size());
    if (m < 2)
        return;
    for (int i = 0; i < m / 2; ++i) {
        for (int k = i + 1; k + 1 < m; ++k) {
            if (V[k] <= V[i] && V[i] <= V[k + 1]) {
                ivV.append(V[i]);
                ivI.append((I[i] + I[k]) * 0.5);
                break;
            }
        }
    }
}

int crossing(const QVector<double>& v, double level, int start)
{
    int i = start;
    while (i < v.size() && std::isnan(v[i]))
        ++i;
    if (i >= v.size())
        return -1;
    const bool fromBelow = v[i] <= level;
    for (; i < v.size(); ++i)
        if (fromBelow ? v[i] >= level : v[i] <= level)
            return i - 1;
    return -1;
}

Wrapper::Wrapper(const scanResult& r, const QDateTime& filedAt)
{
    delay = r.delay;
    freq = r.freq;
    harmonics = unsigned(r.harmonics) <= 16u ? r.harmonics : 16;
    for (int k = 0; k < harmonics; ++k) {
        VR.append(r.VR[k]);
        Vi.append(r.Vi[k]);
        Ir.append(r.Ir[k]);
        Ii.append(r.Ii[k]);
    }
    synthesise(VR, Vi, Ir, Ii, 1000, freq, WaveFormV, WaveFormI, time);
    buildIv(WaveFormV, WaveFormI, VIx, VIy);
    record = reversedRecord(VIx, VIy);
    record.date = filedAt;
    record.position = r.position;
    record.resolvedTime = r.delay;
}

Wrapper::Wrapper(const QVector<double>& VR_, const QVector<double>& Vi_, const QVector<double>& Ir_,
                 const QVector<double>& Ii_)
    : freq(10000.0), harmonics(VR_.size()), VR(VR_), Vi(Vi_), Ir(Ir_), Ii(Ii_)
{
    synthesise(VR, Vi, Ir, Ii, 1000, 10000.0, WaveFormV, WaveFormI, time);
    buildIv(WaveFormV, WaveFormI, VIx, VIy);
    record = reversedRecord(VIx, VIy);
}

void Wrapper::combine(const Wrapper& other)
{
    synthesise(VR, Vi, Ir, Ii, 1000, freq, WaveFormV, WaveFormI, time);
    const int m = VIx.size();
    const int a = crossing(VIy, 0.0, 0);
    const int b = crossing(other.VIy, 0.0, 0);
    joinedVIx.clear();
    joinedVIy.clear();
    if (a == -1 || b == -1) {
        record = reversedRecord(VIx, VIy);
        joinedVIx = record.V;
        joinedVIy = record.I;
        return;
    }
    const double V0 = VIx[a], W0 = other.VIx[b];
    for (int i = m - 1; i >= 0; --i)
        joinedVIy.append(VIy[i]);
    for (int i = m - 1; i >= a; --i)
        joinedVIx.append(VIx[i]);
    double c = 0;
    for (int i = a - 1; i >= 0; --i) {
        const int k = crossing(other.VIy, VIy[i], 0);
        if (k > 0)
            c = std::max(0.0, (VIx[i] - V0) - (other.VIx[k] - W0));
        const double candidate = VIx[i] - c;
        if (candidate > joinedVIx.last())
            joinedVIx.append(candidate);
        else
            joinedVIx.append(joinedVIx.last() + 0.01);
    }
    record = ScanRecord();
    record.V = joinedVIx;
    record.I = joinedVIy;
    joined = true;
}

bool Position::add(const scanResult& r, const QDateTime& filedAt)
{
    if (r.harmonics != harmonics)
        return false;
    Group* group = nullptr;
    for (Group& g : scans)
        if (g.scan == r.scan) {
            group = &g;
            break;
        }
    if (!group) {
        scans.append(Group());
        group = &scans.last();
        group->scan = r.scan;
    }
    (r.freq < 150000 ? group->d200 : group->d400).append(Wrapper(r, filedAt));
    if (scans.size() >= 3)
        rebuild();
    return true;
}

void Position::rebuild()
{
    const int count = std::min(scans[0].d200.size(), scans[0].d400.size());
    averages.resize(count);
    const int n = unsigned(harmonics) <= 16u ? harmonics : 16;
    for (int d = 0; d < count; ++d) {
        Entry& e = averages[d];
        e = Entry();
        QVector<double>* low[4] = {&e.lowVR, &e.lowVi, &e.lowIr, &e.lowIi};
        QVector<double>* high[4] = {&e.highVR, &e.highVi, &e.highIr, &e.highIi};
        for (int band = 0; band < 2; ++band) {
            QVector<double>** out = band == 0 ? low : high;
            for (int k = 0; k < n; ++k) {
                double sum[4] = {0, 0, 0, 0};
                int used = 0;
                for (int g = 0; g < scans.size() - 1; ++g) {
                    const QVector<Wrapper>& list = band == 0 ? scans[g].d200 : scans[g].d400;
                    if (d >= list.size())
                        continue;
                    const Wrapper& w = list[d];
                    sum[0] += at(w.VR, k);
                    sum[1] += at(w.Vi, k);
                    sum[2] += at(w.Ir, k);
                    sum[3] += at(w.Ii, k);
                    ++used;
                }
                for (int c = 0; c < 4; ++c)
                    out[c]->append(sum[c] / used);
            }
        }
        QVector<double> unusedTime;
        synthesise(e.lowVR, e.lowVi, e.lowIr, e.lowIi, 1000, 1000, e.lowWaveV, e.lowWaveI, unusedTime);
        buildIv(e.lowWaveV, e.lowWaveI, e.lowIvV, e.lowIvI);
        synthesise(e.highVR, e.highVi, e.highIr, e.highIi, 1000, 1000, e.highWaveV, e.highWaveI, unusedTime);
        buildIv(e.highWaveV, e.highWaveI, e.highIvV, e.highIvI);

        Wrapper lowWrapper(e.lowVR, e.lowVi, e.lowIr, e.lowIi);
        Wrapper highWrapper(e.highVR, e.highVi, e.highIr, e.highIi);
        lowWrapper.combine(highWrapper);
        e.joinedV = lowWrapper.joinedVIx;
        e.joinedI = lowWrapper.joinedVIy;
        e.lowIvV = lowWrapper.VIx;
        e.record = lowWrapper.record;
        setScatter(e, d);
    }
}

// Every low-band frame averaged into entry d, with its own waveforms sampled
// where the averaged curve's points were: per point of the averaged low-band
// curve (sample i paired with k), the standard deviation across those frames
// of the voltage at i and of the mean current of i and k; in the record's
// order, which is the curve's reversed.
void Position::setScatter(Entry& e, int d) const
{
    QVector<const Wrapper*> frames;
    for (int g = 0; g < scans.size() - 1; ++g)
        if (d < scans[g].d200.size())
            frames.append(&scans[g].d200[d]);
    e.record.sweepCount = std::max(int(frames.size()), 1);
    if (frames.size() < 2)
        return;
    const QVector<double>& V = e.lowWaveV;
    const int m = V.size();
    for (int i = 0; i < m / 2; ++i) {
        for (int k = i + 1; k + 1 < m; ++k) {
            if (V[k] <= V[i] && V[i] <= V[k + 1]) {
                QVector<double> voltages, currents;
                for (const Wrapper* w : frames) {
                    voltages.append(w->WaveFormV[i]);
                    currents.append((w->WaveFormI[i] + w->WaveFormI[k]) * 0.5);
                }
                e.record.stdV.prepend(standardDeviation(voltages));
                e.record.stdI.prepend(standardDeviation(currents));
                break;
            }
        }
    }
}

bool Model::add(scanResult r, const QDateTime& filedAt)
{
    if (r.freq == 0.0)
        return false;
    if (baseLevelSet) {
        const bool low = r.freq < 150000;
        const int n = unsigned(r.harmonics) <= 16u ? r.harmonics : 16;
        for (int k = 0; k < n; ++k) {
            r.Ir[k] -= at(base[low ? 2 : 6], k);
            r.Ii[k] -= at(base[low ? 3 : 7], k);
        }
    }
    for (Position& p : positions)
        if (p.position == r.position)
            return p.add(r, filedAt);
    Position p;
    p.position = r.position;
    p.mode = r.mode;
    p.harmonics = r.harmonics;
    positions.append(p);
    return positions.last().add(r, filedAt);
}

// ---- comparison -------------------------------------------------------------

namespace {

QString vectorDifference(const QString& where, const QVector<double>& a, const QVector<double>& b)
{
    if (a.size() != b.size())
        return QString("%1: %2 values, expected %3").arg(where).arg(a.size()).arg(b.size());
    for (int i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0)
            return QString("%1[%2]: %3, expected %4").arg(where).arg(i).arg(a[i], 0, 'g', 17).arg(b[i], 0, 'g', 17);
    return {};
}

// The deviations are sums of squares formed in another order than the plain
// ones: equal to rounding, which leaves deviations of values that do not
// scatter at all (up to `floor`) at the level of the values' last digits.
QString deviationDifference(const QString& where, const QVector<double>& a, const QVector<double>& b, double floor)
{
    if (a.size() != b.size())
        return QString("%1: %2 values, expected %3").arg(where).arg(a.size()).arg(b.size());
    for (int i = 0; i < a.size(); ++i)
        if (!(std::abs(a[i] - b[i]) <= 1e-9 * b[i] + floor))
            return QString("%1[%2]: %3, expected %4").arg(where).arg(i).arg(a[i], 0, 'g', 17).arg(b[i], 0, 'g', 17);
    return {};
}

QString recordDifference(const QString& where, const ScanRecord& a, const ScanRecord& b)
{
    for (const QString& d : {deviationDifference(where + " stdV", a.stdV, b.stdV, 1e-12),
                             deviationDifference(where + " stdI", a.stdI, b.stdI, 1e-15)})
        if (!d.isEmpty())
            return d;
    const QVector<QVector<double>> va = {a.V, a.I, a.doubleProbeV, a.doubleProbeI, a.doubleProbeStdV,
                                         a.doubleProbeStdI};
    const QVector<QVector<double>> vb = {b.V, b.I, b.doubleProbeV, b.doubleProbeI, b.doubleProbeStdV,
                                         b.doubleProbeStdI};
    for (int i = 0; i < va.size(); ++i) {
        const QString d = vectorDifference(QString("%1 record vector %2").arg(where).arg(i), va[i], vb[i]);
        if (!d.isEmpty())
            return d;
    }
    for (int i = 0; i < results::entryCount; ++i) {
        const double x = a.parameters.entry(i), y = b.parameters.entry(i);
        if (std::memcmp(&x, &y, sizeof x) != 0)
            return QString("%1 result %2 differs").arg(where).arg(results::key(i));
    }
    const double sa[] = {a.position, a.resolvedTime, a.offsetCurrent, a.gainAutoSwitchVoltage, a.dCurrentRange,
                         a.dcCScanVoltageStart, a.dcCScanVoltageEnd, a.plasmaResistance,
                         a.initScanDerivativeDuration};
    const double sb[] = {b.position, b.resolvedTime, b.offsetCurrent, b.gainAutoSwitchVoltage, b.dCurrentRange,
                         b.dcCScanVoltageStart, b.dcCScanVoltageEnd, b.plasmaResistance,
                         b.initScanDerivativeDuration};
    if (std::memcmp(sa, sb, sizeof sa) != 0 || a.currentRange != b.currentRange || a.sweepCount != b.sweepCount
        || a.errorText != b.errorText || a.date != b.date || a.initScanDerivative != b.initScanDerivative)
        return where + " record status differs";
    return {};
}

QString wrapperDifference(const QString& where, const DelayWrapper& a, const Wrapper& b)
{
    if (std::memcmp(&a.delay, &b.delay, sizeof a.delay) != 0 || std::memcmp(&a.freq, &b.freq, sizeof a.freq) != 0
        || a.harmonics != b.harmonics || a.joined != b.joined)
        return where + ": delay, freq, harmonics or joined differ";
    const QVector<double> va[] = {a.VR, a.Vi, a.Ir, a.Ii, a.waveFormV(), a.waveFormI(), a.time(), a.VIx(), a.VIy(),
                                  a.joinedVIx(), a.joinedVIy()};
    const QVector<double> vb[] = {b.VR, b.Vi, b.Ir, b.Ii, b.WaveFormV, b.WaveFormI, b.time, b.VIx, b.VIy,
                                  b.joinedVIx, b.joinedVIy};
    static const char* names[] = {"VR", "Vi", "Ir", "Ii", "WaveFormV", "WaveFormI", "time", "VIx", "VIy",
                                  "joinedVIx", "joinedVIy"};
    for (int i = 0; i < 11; ++i) {
        const QString d = vectorDifference(where + " " + names[i], va[i], vb[i]);
        if (!d.isEmpty())
            return d;
    }
    if (!a.scanRecord)
        return where + ": no scan record";
    return recordDifference(where, a.recordWithCurve(), b.record);
}

QString entryDifference(const QString& where, const PositionWrapper& position, int index, const Entry& b)
{
    const AveragedEntry& a = position.averages[index];
    const QVector<double> va[] = {a.low.VR, a.low.Vi, a.low.Ir, a.low.Ii, a.high.VR, a.high.Vi, a.high.Ir,
                                  a.high.Ii, a.low.waveFormV(), a.low.waveFormI(), a.high.waveFormV(),
                                  a.high.waveFormI(), a.low.VIx(), a.low.VIy(), a.high.VIx(), a.high.VIy(),
                                  a.low.joinedVIx(), a.low.joinedVIy()};
    const QVector<double> vb[] = {b.lowVR, b.lowVi, b.lowIr, b.lowIi, b.highVR, b.highVi, b.highIr, b.highIi,
                                  b.lowWaveV, b.lowWaveI, b.highWaveV, b.highWaveI, b.lowIvV, b.lowIvI,
                                  b.highIvV, b.highIvI, b.joinedV, b.joinedI};
    for (int i = 0; i < 18; ++i) {
        const QString d = vectorDifference(QString("%1 vector %2").arg(where).arg(i), va[i], vb[i]);
        if (!d.isEmpty())
            return d;
    }
    if (!a.scanRecord())
        return where + ": no scan record";
    // The record as the analysis gets it.
    ScanRecord record = a.low.recordWithCurve();
    position.applyScatter(index, record);
    return recordDifference(where, record, b.record);
}

} // namespace

QString difference(const measuredData& model, const Model& ref)
{
    if (model.positions.size() != ref.positions.size())
        return QString("%1 positions, expected %2").arg(model.positions.size()).arg(ref.positions.size());
    for (int p = 0; p < ref.positions.size(); ++p) {
        const PositionWrapper& a = model.positions[p];
        const Position& b = ref.positions[p];
        const QString at = QString("position %1").arg(p);
        if (a.position != b.position || a.mode != b.mode || a.harmonics != b.harmonics)
            return at + ": position, mode or harmonics differ";
        if (a.scans.size() != b.scans.size())
            return at + ": scan group count differs";
        for (int g = 0; g < b.scans.size(); ++g) {
            const ScanGroup& ga = a.scans[g];
            const Group& gb = b.scans[g];
            if (ga.scan != gb.scan || ga.Delays200.size() != gb.d200.size() || ga.Delays400.size() != gb.d400.size())
                return QString("%1 group %2: scan number or frame count differs").arg(at).arg(g);
            for (int d = 0; d < gb.d200.size(); ++d) {
                const QString diff = wrapperDifference(QString("%1 group %2 low %3").arg(at).arg(g).arg(d),
                                                       ga.Delays200[d], gb.d200[d]);
                if (!diff.isEmpty())
                    return diff;
            }
            for (int d = 0; d < gb.d400.size(); ++d) {
                const QString diff = wrapperDifference(QString("%1 group %2 high %3").arg(at).arg(g).arg(d),
                                                       ga.Delays400[d], gb.d400[d]);
                if (!diff.isEmpty())
                    return diff;
            }
        }
        if (a.averages.size() != b.averages.size())
            return QString("%1: %2 averaged entries, expected %3").arg(at).arg(a.averages.size()).arg(b.averages.size());
        for (int d = 0; d < b.averages.size(); ++d) {
            const QString diff = entryDifference(QString("%1 average %2").arg(at).arg(d), a, d, b.averages[d]);
            if (!diff.isEmpty())
                return diff;
        }
    }
    return {};
}

} // namespace reference
