// Saves and loads the session of a time-resolved acquisition (10 scans x 100
// delays x 2 bands, 16 harmonics) and compares each with the format's own
// limit: a plain snprintf("%g") + write loop, and a strtod + read loop, over
// the same numbers in the same run.

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/SessionFile.h"

#include "SimulatedAcquisition.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void collect(std::vector<double>& numbers, const QVector<double>& v)
{
    numbers.insert(numbers.end(), v.constBegin(), v.constEnd());
}

// Every floating-point number the session file holds as "%g" text.
std::vector<double> numbersOf(const measuredData& data)
{
    std::vector<double> numbers;
    for (const PositionWrapper& p : data.positions)
        for (const ScanGroup& g : p.scans)
            for (const QVector<DelayWrapper>* list : {&g.Delays200, &g.Delays400})
                for (const DelayWrapper& w : *list) {
                    numbers.push_back(w.delay);
                    numbers.push_back(w.freq);
                    for (const QVector<double>& v : {w.VR, w.Vi, w.Ir, w.Ii, w.waveFormV(), w.waveFormI(), w.time(),
                                                     w.VIx(), w.VIy()})
                        collect(numbers, v);
                    if (!w.scanRecord)
                        continue;
                    const ScanRecord r = w.recordWithCurve();
                    numbers.insert(numbers.end(), {r.dCurrentRange, r.dcCScanVoltageEnd, r.dcCScanVoltageStart,
                                                   r.gainAutoSwitchVoltage, r.offsetCurrent, r.plasmaResistance,
                                                   r.position, r.resolvedTime, r.initScanDerivativeDuration});
                    for (const QVector<double>* v : {&r.I, &r.V, &r.stdI, &r.stdV})
                        collect(numbers, *v);
                }
    return numbers;
}

double printfSeconds(const std::vector<double>& numbers, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    char text[32];
    for (double x : numbers) {
        const int length = std::snprintf(text, sizeof text, "%g;", x);
        std::fwrite(text, 1, size_t(length), out);
    }
    std::fclose(out);
    return timer.nsecsElapsed() * 1e-9;
}

double strtodSeconds(const QString& path, std::size_t expected)
{
    QElapsedTimer timer;
    timer.start();
    FILE* in = std::fopen(QFile::encodeName(path).constData(), "rb");
    std::vector<char> text;
    char block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;)
        text.insert(text.end(), block, block + n);
    std::fclose(in);
    text.push_back('\0');
    std::vector<double> numbers;
    numbers.reserve(expected);
    for (char* p = text.data(); *p;) {
        char* end;
        numbers.push_back(std::strtod(p, &end));
        p = *end ? end + 1 : end;
    }
    const double seconds = timer.nsecsElapsed() * 1e-9;
    if (numbers.size() != expected)
        std::fprintf(stderr, "baseline read %zu numbers, expected %zu\n", numbers.size(), expected);
    return seconds;
}

} // namespace

int main()
{
    AcquisitionPlan plan;
    plan.scans = 10;
    plan.delays = 100;
    plan.harmonics = 16;
    measuredData data;
    data.deviceID = QStringLiteral("SIM0001");
    for (const scanResult& frame : simulatedAcquisition(plan))
        data.add(frame);
    ConfigParam config;
    LangmuirSettings settings;

    QTemporaryDir dir;
    const QString sessionPath = dir.filePath(QStringLiteral("bench.ldf"));
    QElapsedTimer timer;

    timer.start();
    QFile out(sessionPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text) || !writeSession(out, data, config, settings))
        return 1;
    out.close();
    const double saveSeconds = timer.nsecsElapsed() * 1e-9;
    const double megabytes = QFileInfo(sessionPath).size() / 1e6;

    timer.start();
    QFile in(sessionPath);
    measuredData loaded;
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text) || !readSession(in, loaded, config, settings))
        return 1;
    const double loadSeconds = timer.nsecsElapsed() * 1e-9;

    const std::vector<double> numbers = numbersOf(data);
    const QString baselinePath = dir.filePath(QStringLiteral("baseline.txt"));
    const double printfTime = printfSeconds(numbers, baselinePath);
    const double strtodTime = strtodSeconds(baselinePath, numbers.size());

    std::printf("session_file_mb: %.1f MB\n", megabytes);
    std::printf("save_mb_per_s: %.1f MB/s\n", megabytes / saveSeconds);
    std::printf("load_mb_per_s: %.1f MB/s\n", megabytes / loadSeconds);
    std::printf("save_ratio_to_printf: %.2f x\n", saveSeconds / printfTime);
    std::printf("load_ratio_to_printf: %.2f x\n", loadSeconds / strtodTime);
    return 0;
}
