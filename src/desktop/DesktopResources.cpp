#include "desktop/DesktopResources.h"

#include <QtGlobal>

static void InitResourcesOutsideNamespace() {
    Q_INIT_RESOURCE(palaverly);
}

namespace palaverly {

void InitDesktopResources() {
    InitResourcesOutsideNamespace();
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addFile(QStringLiteral(":/icons/135-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace palaverly
