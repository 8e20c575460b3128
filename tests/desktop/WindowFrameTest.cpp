// The chat window under a real window manager (openbox on Xvfb): the minimum size is that of
// the whole window, frame included, whether the program or the user makes it smaller.

#include "DesktopFixture.h"
#include "LayoutCheck.h"
#include "desktop/DesktopResources.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

bool Xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

QSize FrameOf(const QWidget& w) {
    return w.frameGeometry().size() - w.geometry().size();
}

} // namespace

class WindowFrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }
    void minimumIsTheOuterSize();
};

void WindowFrameTest::minimumIsTheOuterSize() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server with a window manager");
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // The window manager has put its frame (caption and borders) around the client area.
    QTRY_VERIFY_WITH_TIMEOUT(FrameOf(w).height() > 0, 10000);
    const QSize frame = FrameOf(w);
    qInfo("frame adds %dx%d", frame.width(), frame.height());
    QTRY_COMPARE_WITH_TIMEOUT(
        w.minimumSize(), QSize(CChatWindow::kMinimumWidth, CChatWindow::kMinimumHeight) - frame,
        5000);

    // The program asks for less: the whole window stops at 640 x 480.
    w.resize(300, 200);
    QTRY_COMPARE_WITH_TIMEOUT(w.frameGeometry().size(), QSize(640, 480), 5000);

    // Larger first, then the user (here xdotool, through the window manager) asks for less:
    // the window manager holds it at the minimum the window announced.
    w.resize(900, 650);
    QTRY_COMPARE_WITH_TIMEOUT(w.geometry().size(), QSize(900, 650), 5000);
    const QString id = QString::number(w.winId());
    QVERIFY(Xdotool({"windowsize", id, "200", "150"}));
    QTRY_COMPARE_WITH_TIMEOUT(w.frameGeometry().size(), QSize(640, 480), 5000);
    QCOMPARE(w.geometry().size(), QSize(640, 480) - frame);
    // At that smallest client area every caption still shows whole inside its frame.
    const QStringList defects = LayoutDefects(w, &Peer(w).Layout());
    for (const QString& d : defects)
        qInfo("%s", qPrintable(d));
    QCOMPARE(defects, QStringList());
}

QTEST_MAIN(WindowFrameTest)
#include "WindowFrameTest.moc"
