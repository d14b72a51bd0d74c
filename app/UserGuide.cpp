#include "UserGuide.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString kUserGuideName = QStringLiteral("Orvel User Guide.pdf");

// Set by the build from the install folders: the guide's folder relative to
// the program's, e.g. "../share/orvel".
const QString kInstalledGuideFolder = QStringLiteral(ORVEL_GUIDE_FROM_PROGRAM);

} // namespace

QString userGuideFile()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString& folder : {programFolder, programFolder + QLatin1Char('/') + kInstalledGuideFolder}) {
        const QFileInfo guide(folder + QLatin1Char('/') + kUserGuideName);
        if (guide.isFile())
            return guide.absoluteFilePath();
    }
    return QString();
}
