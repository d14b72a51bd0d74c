#include "BuildInfo.h"
#include "CommandLine.h"
#include "MainWin.h"
#include "resources/Resources.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QTimer>

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

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    BuildInfo::registerApplication();
    QCoreApplication::setOrganizationDomain(QStringLiteral("brisvane.example"));
    quietDiagnostics();

    const QString sessionFile = sessionFileArgument(QCoreApplication::arguments().mid(1));

    loadOrvelResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/Zund.png")));

    MainWin window;
    window.show();
    if (!sessionFile.isEmpty())
        window.openSessionFile(sessionFile);
    // Asked once the window is on screen, from the event loop.
    QTimer::singleShot(0, &window, &MainWin::offerRecoveryCopies);
    return app.exec();
}
