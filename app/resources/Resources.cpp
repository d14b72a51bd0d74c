#include "resources/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerImages()
{
    Q_INIT_RESOURCE(orvel);
}

void loadOrvelResources()
{
    static const bool loaded = (registerImages(), true);
    Q_UNUSED(loaded);
}
