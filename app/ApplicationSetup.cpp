#include "ApplicationSetup.h"

#include "BuildInfo.h"
#include "resources/Resources.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

namespace {

// The scan worker notes every poll of the sensor and the analysis every step
// of every curve it analyses: hundreds of lines a second while a scan runs,
// which would bury anything worth reading on the terminal. The GUI shows
// warnings and worse; QT_LOGGING_RULES (which takes precedence over these
// rules), e.g. "*.debug=true" or "orvel.analysis.debug=true", brings the
// diagnostics back.
void quietDiagnostics()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

} // namespace

void setUpOrvelApplication()
{
    BuildInfo::registerApplication();
    QCoreApplication::setOrganizationDomain(QStringLiteral("brisvane.example"));
    // The desktop entry installed as orvel.desktop (packaging/desktop/).
    QGuiApplication::setDesktopFileName(QStringLiteral("orvel"));
    quietDiagnostics();
    loadOrvelResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/Zund.png")));
}
