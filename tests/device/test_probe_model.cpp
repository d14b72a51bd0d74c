// The probe model behind the simulated plasma sensor: its harmonics must be
// what the program's waveform synthesis turns back into the model's waveforms,
// the blocking capacitor must leave no mean current, and the two bands must
// describe the same IV curve.

#include "sim/ProbeModel.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace orvel::device;

namespace {

constexpr int harmonicCount = 16;
constexpr int synthesisSamples = 1000;

// The program's synthesis, written out again: harmonics 1 ... n-1 of the n
// given, the constant 3.141592 for pi, and a factor sqrt(2).
std::vector<double> synthesise(const std::vector<double>& real, const std::vector<double>& imag, int samples)
{
    const int n = static_cast<int>(real.size());
    std::vector<double> out;
    for (int j = 0; j < samples; ++j) {
        double x = 0;
        for (int h = 1; h <= n - 1; ++h) {
            const double theta = 2.0 * j * h * 3.141592 / samples;
            x += real[h - 1] * std::cos(theta) + imag[h - 1] * std::sin(theta);
        }
        out.push_back(x * 1.4142135623730951);
    }
    return out;
}

double mean(const std::vector<double>& x)
{
    double sum = 0;
    for (double v : x)
        sum += v;
    return sum / static_cast<double>(x.size());
}

double rms(const std::vector<double>& x)
{
    double sum = 0;
    for (double v : x)
        sum += v * v;
    return std::sqrt(sum / static_cast<double>(x.size()));
}

std::vector<double> minus(const std::vector<double>& a, const std::vector<double>& b, double offset = 0)
{
    std::vector<double> d;
    for (std::size_t i = 0; i < a.size(); ++i)
        d.push_back(a[i] - (b[i] - offset));
    return d;
}

// The program's IV construction: each sample of the first half-period paired
// with the first later sample where the voltage rises through its level.
struct Curve
{
    std::vector<double> V, I;
};

Curve ivCurve(const std::vector<double>& V, const std::vector<double>& I)
{
    Curve curve;
    const std::size_t m = V.size();
    for (std::size_t i = 0; i < m / 2; ++i)
        for (std::size_t k = i + 1; k + 1 < m; ++k)
            if (V[k] <= V[i] && V[i] <= V[k + 1]) {
                curve.V.push_back(V[i]);
                curve.I.push_back((I[i] + I[k]) * 0.5);
                break;
            }
    return curve;
}

// The voltage at which a curve of falling voltage and current first falls to `level`.
double voltageAt(const Curve& curve, double level)
{
    for (std::size_t i = 1; i < curve.I.size(); ++i)
        if (curve.I[i] <= level && curve.I[i - 1] > level) {
            const double t = (level - curve.I[i - 1]) / (curve.I[i] - curve.I[i - 1]);
            return curve.V[i - 1] + t * (curve.V[i] - curve.V[i - 1]);
        }
    return NAN;
}

Curve bandCurve(const PlasmaState& plasma, ProbeDrive drive, double frequency)
{
    drive.frequency = frequency;
    const HarmonicSeries series = probeHarmonics(plasma, drive, harmonicCount);
    return ivCurve(synthesise(series.VR, series.Vi, synthesisSamples), synthesise(series.Ir, series.Ii, synthesisSamples));
}

} // namespace

class TestProbeModel : public QObject
{
    Q_OBJECT

private slots:
    void harmonicsResynthesiseTheWaveforms_data()
    {
        QTest::addColumn<double>("kTe");
        QTest::addColumn<double>("electronSaturation");
        QTest::addColumn<double>("strayCapacitance");
        QTest::addColumn<double>("frequency");
        QTest::addColumn<double>("worstError"); // of the current, relative to its swing
        // The crest stays below Vp: a smooth pulse that 15 harmonics hold almost exactly.
        QTest::newRow("argon defaults") << 3.0 << 50e-3 << 5e-12 << 100e3 << 1e-3;
        QTest::newRow("cold, high band, large stray current") << 1.0 << 50e-3 << 20e-12 << 400e3 << 0.03;
        // The crest passes Vp: the kink of saturation needs more harmonics than a frame holds.
        QTest::newRow("saturating") << 3.0 << 5e-3 << 5e-12 << 100e3 << 0.15;
    }

    void harmonicsResynthesiseTheWaveforms()
    {
        QFETCH(double, kTe);
        QFETCH(double, electronSaturation);
        QFETCH(double, strayCapacitance);
        QFETCH(double, frequency);
        QFETCH(double, worstError);
        PlasmaState plasma;
        plasma.kTe = kTe;
        plasma.electronSaturation = electronSaturation;
        ProbeDrive drive;
        drive.strayCapacitance = strayCapacitance;
        drive.frequency = frequency;

        const HarmonicSeries series = probeHarmonics(plasma, drive, harmonicCount);
        const ProbeWaveforms model = probeWaveforms(plasma, drive, synthesisSamples);
        const std::vector<double> V = synthesise(series.VR, series.Vi, synthesisSamples);
        const std::vector<double> I = synthesise(series.Ir, series.Ii, synthesisSamples);

        // The voltage is a pure sine around the bias, which the harmonics leave out;
        // what remains is the synthesis' approximate pi.
        const std::vector<double> voltageError = minus(V, model.V, mean(model.V));
        QVERIFY(rms(voltageError) < 1e-6 * drive.amplitude);

        // A truncated Fourier series misses exactly the power of the harmonics it
        // leaves out, and any other coefficients would miss more.
        const std::vector<double> currentError = minus(I, model.I, mean(model.I));
        std::vector<double> acCurrent = minus(model.I, std::vector<double>(model.I.size(), mean(model.I)));
        double keptPower = 0;
        for (int h = 0; h < harmonicCount - 1; ++h)
            keptPower += series.Ir[h] * series.Ir[h] + series.Ii[h] * series.Ii[h];
        const double truncation = std::sqrt(std::max(0.0, rms(acCurrent) * rms(acCurrent) - keptPower));
        const auto [low, high] = std::minmax_element(model.I.begin(), model.I.end());
        const double swing = *high - *low;
        QVERIFY2(rms(currentError) <= 1.02 * truncation + 1e-6 * swing,
                 qPrintable(QString("rms error %1, truncation %2").arg(rms(currentError)).arg(truncation)));

        double worst = 0;
        for (double e : currentError)
            worst = std::max(worst, std::abs(e));
        QVERIFY2(worst < worstError * swing, qPrintable(QString("worst error %1 of a swing of %2").arg(worst).arg(swing)));
    }

    void harmonicsCarryTheDriveAndTheStrayCurrentInPhase()
    {
        const PlasmaState plasma;
        ProbeDrive drive;
        drive.strayCapacitance = 10e-12;
        const HarmonicSeries series = probeHarmonics(plasma, drive, harmonicCount);
        // V = A·cos: all in the first cosine term, as an RMS amplitude.
        QVERIFY(std::abs(series.VR[0] - drive.amplitude / std::sqrt(2.0)) < 1e-12);
        for (int h = 0; h < harmonicCount; ++h) {
            QVERIFY(std::abs(series.Vi[h]) < 1e-12);
            if (h > 0)
                QVERIFY(std::abs(series.VR[h]) < 1e-12);
        }
        // The conducted current is even in phase; C·dV/dt = -C·A·w·sin is all the sine part.
        const double stray = -drive.strayCapacitance * drive.amplitude * 2 * M_PI * drive.frequency / std::sqrt(2.0);
        QVERIFY(std::abs(series.Ii[0] - stray) < 1e-12);
        for (int h = 1; h < harmonicCount; ++h)
            QVERIFY(std::abs(series.Ii[h]) < 1e-12);
        QVERIFY(series.Ir[0] > 0); // electrons are collected at the crest of the drive
    }

    void selfBiasLeavesNoMeanCurrent_data()
    {
        QTest::addColumn<double>("electronSaturation");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<bool>("crestPassesVp");
        QTest::addColumn<double>("ionSlope");
        QTest::newRow("argon defaults") << 50e-3 << 40.0 << false << 0.0;
        QTest::newRow("small drive") << 50e-3 << 5.0 << false << 0.0;
        QTest::newRow("saturating") << 3e-3 << 40.0 << true << 0.0;
        QTest::newRow("no drive") << 50e-3 << 0.0 << false << 0.0;
        QTest::newRow("expanding sheath") << 50e-3 << 40.0 << false << 3e-5;
    }

    void selfBiasLeavesNoMeanCurrent()
    {
        QFETCH(double, electronSaturation);
        QFETCH(double, amplitude);
        QFETCH(bool, crestPassesVp);
        QFETCH(double, ionSlope);
        PlasmaState plasma;
        plasma.electronSaturation = electronSaturation;
        plasma.ionSlope = ionSlope;
        ProbeDrive drive;
        drive.amplitude = amplitude;

        const ProbeWaveforms waves = probeWaveforms(plasma, drive, modelSamplesPerPeriod);
        QVERIFY(std::abs(mean(waves.I)) < 1e-9 * plasma.ionSaturation);
        QCOMPARE(waves.bias + amplitude > plasma.plasmaPotential, crestPassesVp);
        if (!crestPassesVp) {
            // Below Vp the mean electron current is Ies·exp((bias - Vp)/kTe)·I0(A/kTe),
            // and it must balance the ions, whose mean is Iis + S·(Vp - bias).
            const double ions = plasma.ionSaturation + ionSlope * (plasma.plasmaPotential - waves.bias);
            const double expected = plasma.plasmaPotential
                + plasma.kTe * std::log(ions / (electronSaturation * std::cyl_bessel_i(0.0, amplitude / plasma.kTe)));
            QVERIFY2(std::abs(waves.bias - expected) < 1e-6, qPrintable(QString("%1 vs %2").arg(waves.bias).arg(expected)));
        }
    }

    void bothBandsDescribeTheSameCurve()
    {
        // The program joins the bands by their offsets from the floating point:
        // at equal currents those must agree, whatever the band's stray current.
        const PlasmaState plasma;
        const ProbeDrive drive;
        const Curve low = bandCurve(plasma, drive, 100e3);
        const Curve high = bandCurve(plasma, drive, 400e3);
        QVERIFY(low.V.size() > 400 && high.V.size() > 400);
        const double lowFloating = voltageAt(low, 0.0);
        const double highFloating = voltageAt(high, 0.0);
        const double peak = std::min(low.I.front(), high.I.front());
        for (double fraction : {0.1, 0.3, 0.5, 0.7, 0.9}) {
            const double lowOffset = voltageAt(low, fraction * peak) - lowFloating;
            const double highOffset = voltageAt(high, fraction * peak) - highFloating;
            QVERIFY2(std::abs(lowOffset - highOffset) < 0.05,
                     qPrintable(QString("at %1 of the peak: %2 V and %3 V").arg(fraction).arg(lowOffset).arg(highOffset)));
        }
    }
};

QTEST_GUILESS_MAIN(TestProbeModel)
#include "test_probe_model.moc"
