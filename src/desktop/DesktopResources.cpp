#include "desktop/DesktopResources.h"

#include <QtGlobal>

static void InitResourcesOutsideNamespace() {
    Q_INIT_RESOURCE(palaverly);
}

namespace palaverly {

void InitDesktopResources() {
    InitResourcesOutsideNamespace();
}

} // namespace palaverly
