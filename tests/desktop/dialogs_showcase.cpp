// dialogs_showcase KIND SETTINGS_FILE: shows one dialog (options, phrases, info, about) at the
// top left of the screen with the settings in SETTINGS_FILE, prints its size and stays until
// killed; dialogs_screenshots.sh photographs it.

#include "dialogs/CAboutDlg.h"
#include "dialogs/CInfoDlg.h"
#include "dialogs/COptionDlg.h"
#include "dialogs/CPhraseDlg.h"
#include "settings/CSettingsStore.h"
#include "wire/Datagram.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    using namespace palaverly;
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialogs_showcase options|phrases|info|about SETTINGS\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString kind = QString::fromLocal8Bit(argv[1]);
    CSettingsStore store(argv[2]);
    COptionValues options;
    CPhraseValues phrases;
    CInfoValues info;
    CDialogUnits units(CDialogUnits::DialogFont());
    std::unique_ptr<QDialog> dialog;
    if (kind == "options")
        dialog = std::make_unique<COptionDlg>(options, store, units);
    else if (kind == "phrases")
        dialog = std::make_unique<CPhraseDlg>(phrases, store, units);
    else if (kind == "info")
        dialog = std::make_unique<CInfoDlg>(info, store, units);
    else if (kind == "about")
        dialog = std::make_unique<CAboutDlg>(kVersionString, units);
    else
        return 2;
    dialog->move(0, 0);
    dialog->show();
    QTimer::singleShot(0, [&] {
        std::printf("%dx%d\n", dialog->width(), dialog->height());
        std::fflush(stdout);
    });
    return app.exec();
}
