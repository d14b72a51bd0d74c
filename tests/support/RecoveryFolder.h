#pragma once

// The recovery journals (and copies of earlier versions) in the per-user
// folder, whoever owns them.

#include "session/RecoveryCopy.h"

#include <QDir>
#include <QStringList>

inline QStringList recoveryCopies()
{
    const QDir folder(RecoveryCopy::defaultFolder());
    QStringList copies;
    for (const QString& name : folder.entryList({QStringLiteral("*") + QLatin1String(RecoveryCopy::suffix),
                                                      QStringLiteral("*") + QLatin1String(RecoveryCopy::legacySuffix)},
                                                     QDir::Files))
        copies.append(folder.filePath(name));
    return copies;
}
