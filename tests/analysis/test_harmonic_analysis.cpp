// The floating-harmonic analysis: the Bessel functions it rests on, kTe, the
// ion current and its slope read back from harmonics of sampled probe
// waveforms, the error of an averaged time step, and the reasons given
// instead of numbers.

#include "analysis/Bessel.h"
#include "analysis/HarmonicAnalysis.h"
#include "analysis/LangmuirSettings.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int harmonicCount = 16;
constexpr int samplesPerPeriod = 2048;

// A probe below the plasma potential driven with V0·cos(phase - drivePhase):
// electron current Ies·exp((V - Vp)/kTe), ion current Iis + S·(Vp - V), and a
// displacement current in quadrature with the drive.
struct Probe
{
    double kTe = 3.0;
    double amplitude = 40.0;      // V0
    double drivePhase = 0.0;      // rad
    double ionSlope = 0.0;        // S, A/V
    double displacement = 0.0;    // A, peak
    double plasmaPotential = 10.0;
    double ionSaturation = 1e-3;
    double electronSaturation = 0.05;

    double bias() const { return plasmaPotential - amplitude - 3 * kTe; } // the crest stays below Vp

    double electronCurrent(double psi) const
    {
        return electronSaturation * std::exp((bias() + amplitude * std::cos(psi) - plasmaPotential) / kTe);
    }

    // Harmonics of one sampled period, as root-mean-square amplitudes.
    HarmonicSpectrum spectrum(int count = harmonicCount) const
    {
        HarmonicSpectrum s;
        for (QVector<double>* v : {&s.VR, &s.Vi, &s.Ir, &s.Ii})
            v->fill(0.0, count);
        for (int j = 0; j < samplesPerPeriod; ++j) {
            const double phase = 2 * M_PI * j / samplesPerPeriod;
            const double psi = phase - drivePhase;
            const double v = bias() + amplitude * std::cos(psi);
            const double i = -(ionSaturation + ionSlope * (plasmaPotential - v)) + electronCurrent(psi)
                             - displacement * std::sin(psi);
            for (int h = 1; h <= count; ++h) {
                const double c = std::cos(h * phase) * std::sqrt(2.0) / samplesPerPeriod;
                const double si = std::sin(h * phase) * std::sqrt(2.0) / samplesPerPeriod;
                s.VR[h - 1] += v * c;
                s.Vi[h - 1] += v * si;
                s.Ir[h - 1] += i * c;
                s.Ii[h - 1] += i * si;
            }
        }
        return s;
    }

    // The mean electron current over a period, which the ions balance at a floating bias.
    double meanElectronCurrent() const
    {
        double sum = 0;
        for (int j = 0; j < samplesPerPeriod; ++j)
            sum += electronCurrent(2 * M_PI * j / samplesPerPeriod);
        return sum / samplesPerPeriod;
    }
};

bool allNaN(const HarmonicResults& r)
{
    for (double v : {r.kTe, r.kTeError, r.ionCurrent, r.ionSlope, r.ionDensity, r.residual})
        if (!std::isnan(v))
            return false;
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Probe)
Q_DECLARE_METATYPE(HarmonicSpectrum)

class TestHarmonicAnalysis : public QObject
{
    Q_OBJECT

private slots:
    // exp(-x)·I_n(x), n = 0 ... 9, from mpmath's besseli at 40 digits.
    void scaledBesselFunctionsMatchAReference_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("x = 0.05") << 0.05 << QVector<double>{
            0.95182403579097663, 0.023788167866549569, 0.0002973211289938687, 2.4775470400728246e-6,
            1.5484185129750339e-8, 7.7419312770403208e-11, 3.2257566969707299e-13, 1.1520431056914942e-15,
            3.6001034546048934e-18, 1.0000217928339221e-20};
        QTest::newRow("x = 1") << 1.0 << QVector<double>{
            0.46575960759364044, 0.20791041534970845, 0.049938776894223539, 0.0081553077728142938,
            0.0010069302573377759, 9.9865714112086907e-5, 8.2731162169067919e-6, 5.8831950920540458e-7,
            3.6643088031127783e-8, 2.0301007073600479e-9};
        QTest::newRow("x = 7.5") << 7.5 << QVector<double>{
            0.1483158300773955, 0.1380412115485542, 0.11150484033111438, 0.078571963371959865,
            0.04864726963354649, 0.026681542429510276, 0.013071879727532788, 0.0057665348654578146,
            0.0023076813120115346, 0.00084348139983320742};
        QTest::newRow("x = 60") << 60.0 << QVector<double>{
            0.051611549173609841, 0.051179630189028718, 0.049905561500642217, 0.04785259275565257,
            0.04512030222507696, 0.041836552458975642, 0.038147543481914353, 0.034207043762592772,
            0.030165899937309373, 0.026162803779310272};
        QTest::newRow("x = 400") << 400.0 << QVector<double>{
            0.01995335628193999, 0.019928398958903542, 0.019853714287145472, 0.019729861816032087,
            0.019557766359904991, 0.019338706488833987, 0.019074298697684141, 0.018766477527903463,
            0.01841747198420752, 0.018029778648535162};
    }

    void scaledBesselFunctionsMatchAReference()
    {
        QFETCH(double, x);
        QFETCH(QVector<double>, expected);
        QVector<double> values(expected.size());
        scaledBesselI(x, values.size(), values.data());
        for (int n = 0; n < values.size(); ++n)
            QVERIFY2(std::abs(values[n] / expected[n] - 1) < 1e-13,
                     qPrintable(QString("I_%1: %2, expected %3").arg(n).arg(values[n], 0, 'g', 17).arg(expected[n], 0, 'g', 17)));
    }

    void harmonicsGiveThePlasmaBack_data()
    {
        QTest::addColumn<Probe>("probe");
        Probe argon;
        QTest::newRow("in phase with the drive") << argon;
        Probe turned = argon;
        turned.drivePhase = 0.7;
        turned.displacement = 2e-3;
        QTest::newRow("drive phase turned, stray current") << turned;
        Probe sheath = argon;
        sheath.ionSlope = 3e-5;
        QTest::newRow("ion current growing with the bias") << sheath;
        Probe hot = argon;
        hot.kTe = 8;
        hot.amplitude = 15;
        hot.ionSlope = 1e-5;
        QTest::newRow("hot, weakly driven") << hot;
        Probe cold = argon;
        cold.kTe = 1;
        cold.amplitude = 60;
        cold.drivePhase = -2.5;
        QTest::newRow("cold, strongly driven") << cold;
    }

    void harmonicsGiveThePlasmaBack()
    {
        QFETCH(Probe, probe);
        const LangmuirSettings settings;
        const HarmonicResults r = analyseHarmonics(probe.spectrum(), settings);
        QCOMPARE(r.errorText, QString());
        QCOMPARE(r.harmonicsFitted, 7);
        QVERIFY2(std::abs(r.kTe / probe.kTe - 1) < 1e-7, qPrintable(QString::number(r.kTe, 'g', 10)));
        QVERIFY2(std::abs(r.ionSlope - probe.ionSlope) < 1e-9, qPrintable(QString::number(r.ionSlope, 'g', 10)));
        QVERIFY(std::abs(r.ionCurrent / probe.meanElectronCurrent() - 1) < 1e-7);
        QVERIFY(r.residual < 1e-6);
        QVERIFY(r.kTeError >= 0 && r.kTeError < 1e-6 * probe.kTe);
        // Bohm flux over the probe's end area, by hand: argon of 40 proton masses.
        const double area = M_PI * 0.0035 * 0.0035;
        const double bohm = std::sqrt(r.kTe * 1.602176487e-19 / (40 * 1.6726216639163685e-27));
        QVERIFY(std::abs(r.ionDensity / (r.ionCurrent / (1.602176487e-19 * bohm * area)) - 1) < 1e-12);
    }

    void averagedErrorIsTheScatterOfTheScans()
    {
        const LangmuirSettings settings;
        Probe mean;
        QVector<HarmonicSpectrum> scans;
        for (double kTe : {2.9, 3.0, 3.1}) {
            Probe scan = mean;
            scan.kTe = kTe;
            scans.append(scan.spectrum());
        }
        scans.append(HarmonicSpectrum()); // a scan that gives no value takes no part
        const HarmonicResults r = analyseAveragedHarmonics(mean.spectrum(), scans, settings);
        QCOMPARE(r.errorText, QString());
        QVERIFY(std::abs(r.kTe - 3.0) < 1e-6);
        QVERIFY2(std::abs(r.kTeError - 0.1) < 1e-6, qPrintable(QString::number(r.kTeError, 'g', 10)));

        // With a single scan giving a value there is no scatter to report.
        const HarmonicResults single = analyseAveragedHarmonics(mean.spectrum(), scans.mid(1, 1), settings);
        QVERIFY(std::abs(single.kTe - 3.0) < 1e-6);
        QVERIFY(std::isnan(single.kTeError));
    }

    void aNoisyFrameReportsTheFitsUncertainty()
    {
        Probe probe;
        HarmonicSpectrum s = probe.spectrum();
        // A fixed pattern of errors of 0.3 % of the second harmonic on every current harmonic.
        const double size = 3e-3 * std::hypot(s.Ir[1], s.Ii[1]);
        for (int k = 0; k < s.Ir.size(); ++k) {
            s.Ir[k] += size * std::sin(1.7 * k + 0.4);
            s.Ii[k] += size * std::cos(2.3 * k + 1.1);
        }
        const HarmonicResults r = analyseHarmonics(s, LangmuirSettings());
        QCOMPARE(r.errorText, QString());
        QVERIFY2(r.kTeError > 0 && std::abs(r.kTe - probe.kTe) < 3 * r.kTeError,
                 qPrintable(QString("kTe %1 +- %2").arg(r.kTe).arg(r.kTeError)));
        QVERIFY(r.residual > 1e-4 && r.residual < 1e-2);
    }

    void reasonsInsteadOfNumbers_data()
    {
        QTest::addColumn<HarmonicSpectrum>("spectrum");
        QTest::addColumn<QString>("reason");
        const Probe argon;
        HarmonicSpectrum undriven = argon.spectrum();
        undriven.VR[0] = undriven.Vi[0] = 0;
        QTest::newRow("no drive") << undriven << "no drive voltage";
        QTest::newRow("harmonics 1 to 3 only") << argon.spectrum(3) << "fewer than three usable harmonics";
        HarmonicSpectrum inverted = argon.spectrum();
        for (int k = 0; k < harmonicCount; ++k) {
            inverted.Ir[k] = -inverted.Ir[k];
            inverted.Ii[k] = -inverted.Ii[k];
        }
        QTest::newRow("current of the wrong sign") << inverted << "non-positive harmonic ratios";
        Probe frozen = argon;
        frozen.kTe = 0.01; // V0/kTe = 4000: the harmonics barely fall off
        QTest::newRow("beyond the temperature range") << frozen.spectrum() << "no convergence";
    }

    void reasonsInsteadOfNumbers()
    {
        QFETCH(HarmonicSpectrum, spectrum);
        QFETCH(QString, reason);
        const HarmonicResults r = analyseHarmonics(spectrum, LangmuirSettings());
        QCOMPARE(r.errorText, reason);
        QVERIFY(allNaN(r));
    }
};

QTEST_GUILESS_MAIN(TestHarmonicAnalysis)
#include "test_harmonic_analysis.moc"
