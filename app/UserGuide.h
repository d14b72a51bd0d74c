#pragma once

#include <QString>

// The user guide, "Orvel User Guide.pdf". Help looks for it in the program's
// folder first (the build puts it beside the program in the build tree), then
// in the package's data folder of an installed program: share/orvel beside the
// bin/ folder that holds the program (/usr/share/orvel for /usr/bin/Orvel).
// Only a regular file counts. Empty when neither place holds it.
QString userGuideFile();
