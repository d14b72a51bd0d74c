#pragma once

// Helpers shared by the fuzz targets of the program's Qt code: quiet Qt
// diagnostics, and a scratch file for readers that take a path.

#include "FuzzCheck.h"

#include "analysis/results.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace fuzz {

// Drops Qt's debug, warning and critical messages (a parser may warn about
// every input, which would only slow the fuzzer down); fatal ones still abort.
inline void quietQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtFatalMsg)
            return;
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    });
}

// The input bytes as a file, for readers that open a path. One file of a
// private folder, rewritten for every input.
inline QString inputFile(const std::uint8_t* data, std::size_t size, const char* name)
{
    static QTemporaryDir folder;
    require(folder.isValid(), "a scratch folder can be created");
    const QString path = folder.filePath(QString::fromLatin1(name));
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch file can be written");
    require(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size), "the input is written whole");
    return path;
}

// An analysis reports a result only with finite values: one that is not
// finite comes with an error text.
inline void requireHonestAnalysis(const QString& errorText, const results& r)
{
    if (!errorText.isEmpty())
        return;
    for (double value : {r.kTe, r.Jp, r.Ni, r.Ldebye})
        require(std::isfinite(value), "an analysis without an error text gives finite kTe, Jp, Ni and Debye length");
}

} // namespace fuzz
