// The floor for the desktop benchmark: a bare Qt program with a hidden window and a tray icon.

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QWidget window;
    window.resize(640, 480);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    return app.exec();
}
