#include "desktop/LockRefusal.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace palaverly {

int RefuseStart(const CInstanceLock& lock, char* programName) {
    constexpr int kRefused = 255;
    if (lock.Problem().empty())
        return kRefused;
    std::fprintf(stderr, "msg: %s\n", lock.Problem().c_str());
    std::fflush(stderr);
    // Qt aborts when it finds no display; the line above is then all the user gets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return kRefused;
    int argc = 1;
    char* argv[] = {programName, nullptr};
    QApplication app(argc, argv);
    QMessageBox::critical(nullptr, QStringLiteral("msg"), QString::fromLocal8Bit(lock.Problem()));
    return kRefused;
}

} // namespace palaverly
