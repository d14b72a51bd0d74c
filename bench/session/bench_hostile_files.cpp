// The memory a session file can make the reader spend, measured for files
// built to make it spend much: thousands of empty frames (each costs hundreds
// of bytes once read, from fifteen characters of text) and one vector text of
// nothing but separators. Each file is read in a child process of its own, so
// that its peak resident memory is its own; the figures are that peak less
// the peak of reading an empty session, per megabyte of file.
//
//   bench_hostile_files [megabytes per file, default 20]

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/SessionFile.h"

#include "InChild.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

namespace {

QByteArray emptySession()
{
    measuredData data;
    data.deviceID = QStringLiteral("SIM0001");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeSession(buffer, data, ConfigParam(), LangmuirSettings());
    return buffer.data();
}

// A session whose one frame list holds `before`, then `unit` repeated to
// about `bytes`, then `after`.
QByteArray sessionAround(const QByteArray& before, const QByteArray& unit, qint64 bytes, const QByteArray& after)
{
    QByteArray document = emptySession();
    document.replace("</measuredData>", "<PositionWrapper><Scan><Delays200>" + before
                                            + unit.repeated(int(bytes / unit.size())) + after
                                            + "</Delays200></Scan></PositionWrapper></measuredData>");
    return document;
}

struct Reading
{
    bool ok = false;
    double peakMegabytes = 0;
};

// Reads the file in a child process; its peak resident memory and whether the
// file was taken.
Reading readInChild(const QString& path)
{
    return inChild([&path] {
        QFile file(path);
        measuredData data;
        ConfigParam config;
        LangmuirSettings settings;
        Reading r;
        r.ok = file.open(QIODevice::ReadOnly) && readSession(file, data, config, settings);
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        r.peakMegabytes = usage.ru_maxrss / 1024.0;
        return r;
    });
}

QString written(QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::exit(1);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 20;
    if (megabytes < 1 || megabytes > 2000) {
        std::fprintf(stderr, "usage: bench_hostile_files [megabytes per file, 1 to 2000]\n");
        return 2;
    }
    const qint64 bytes = megabytes * 1000 * 1000;
    QTemporaryDir dir;
    // Written first and let go of: a child inherits what the parent holds.
    const QString emptyFrames =
        written(dir, "empty_frames", sessionAround(QByteArray(), "<DelayWrapper/>", bytes, QByteArray()));
    const QString separatorVector = written(
        dir, "separator_vector", sessionAround("<DelayWrapper><vec label=\"Vr\">", ";", bytes, "</vec></DelayWrapper>"));
    const Reading baseline = readInChild(written(dir, "empty.ldf", emptySession()));
    for (const QString& path : {emptyFrames, separatorVector}) {
        const Reading r = readInChild(path);
        const QByteArray name = QFileInfo(path).fileName().toLatin1();
        const double fileMegabytes = QFileInfo(path).size() / 1e6;
        std::printf("%s_file_mb: %.1f MB\n", name.constData(), fileMegabytes);
        std::printf("%s_read: %s\n", name.constData(), r.ok ? "taken" : "refused");
        std::printf("%s_peak_mb_per_file_mb: %.2f MB/MB\n", name.constData(),
                    (r.peakMegabytes - baseline.peakMegabytes) / fileMegabytes);
    }
    return 0;
}
