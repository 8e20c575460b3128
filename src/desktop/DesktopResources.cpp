#include "desktop/DesktopResources.h"

#include <QImageReader>
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
    for (int size : {16, 32, 64}) {
        // Read as what they are: where the format may be guessed, every image plugin is
        // loaded to be asked, and stays loaded.
        QImageReader reader(QStringLiteral(":/icons/135-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace palaverly
