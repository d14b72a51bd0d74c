#include "ApplicationSetup.h"
#include "BuildInfo.h"
#include "CommandLine.h"
#include "MainWin.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// "--version" is answered before the toolkit looks for a display, so that any
// installed copy can be asked from a terminal or a script without one.
bool printedVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Orvel %s\n", qPrintable(BuildInfo::versionNumber()));
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (printedVersion(argc, argv))
        return 0;
    QApplication app(argc, argv);
    setUpOrvelApplication();

    const QString sessionFile = sessionFileArgument(QCoreApplication::arguments().mid(1));

    MainWin window;
    window.show();
    if (!sessionFile.isEmpty())
        window.openSessionFile(sessionFile);
    // Asked once the window is on screen, from the event loop.
    QTimer::singleShot(0, &window, &MainWin::offerRecoveryCopies);
    return app.exec();
}
