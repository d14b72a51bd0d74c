#pragma once

// The recovery copies in the per-user folder, whoever owns them.

#include "session/RecoveryCopy.h"

#include <QDir>
#include <QStringList>

inline QStringList recoveryCopies()
{
    const QDir folder(RecoveryCopy::defaultFolder());
    QStringList copies;
    for (const QString& name : folder.entryList({QStringLiteral("*.ldf")}, QDir::Files))
        copies.append(folder.filePath(name));
    return copies;
}
