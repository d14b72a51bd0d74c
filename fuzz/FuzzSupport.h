#pragma once

// Helpers shared by the fuzz targets of the program's Qt code: quiet Qt
// diagnostics, and a scratch file for readers that take a path.

#include "FuzzCheck.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

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

} // namespace fuzz
