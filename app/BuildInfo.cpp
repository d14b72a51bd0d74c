#include "BuildInfo.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace BuildInfo {

QString versionNumber()
{
    return QStringLiteral("%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionPatch);
}

QString versionText()
{
    return QStringLiteral("%1 (Build %2)").arg(versionNumber()).arg(buildNumber);
}

void registerApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
    QCoreApplication::setApplicationVersion(versionNumber());
}

QString description()
{
#if defined(__clang__)
    const char* compiler = "Clang " __clang_version__;
#elif defined(__GNUC__)
    const char* compiler = "GCC " __VERSION__;
#else
    const char* compiler = "unknown compiler";
#endif
    return QStringLiteral("Qt %1, %2, built %3 %4")
        .arg(QStringLiteral(QT_VERSION_STR), QString::fromLatin1(compiler), QStringLiteral(__DATE__), QStringLiteral(__TIME__));
}

} // namespace BuildInfo
