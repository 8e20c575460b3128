// The floor for the desktop benchmark: the least a plain Qt program needs to do the desktop
// program's visible job. A tray icon with a menu, a hidden window of line edits and two lists
// of Japanese text in the same font, and a connection to the session bus. Anything the desktop
// program holds above this is its own.

#include <QApplication>
#include <QDBusConnection>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStandardItemModel>
#include <QSystemTrayIcon>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QTreeView* List(const QStringList& header, const QList<QStringList>& rows, QWidget* parent) {
    auto* model = new QStandardItemModel(0, static_cast<int>(header.size()), parent);
    model->setHorizontalHeaderLabels(header);
    for (const QStringList& row : rows) {
        QList<QStandardItem*> items;
        for (const QString& text : row)
            items.append(new QStandardItem(text));
        model->appendRow(items);
    }
    auto* view = new QTreeView(parent);
    view->setRootIsDecorated(false);
    view->setModel(model);
    return view;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QDBusConnection bus = QDBusConnection::sessionBus();

    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Sans Serif")});
    font.setPointSize(9);
    QWidget window;
    window.setFont(font);
    auto* column = new QVBoxLayout(&window);
    column->addWidget(new QLineEdit(QStringLiteral("ようこそ、本日の連絡です"), &window));
    column->addWidget(new QLineEdit(QStringLiteral("山田"), &window));
    column->addWidget(new QLineEdit(QStringLiteral("在席"), &window));
    column->addWidget(
        List({QStringLiteral("受信者"), QStringLiteral("送信者"), QStringLiteral("時刻"),
              QStringLiteral("種別"), QStringLiteral("内容")},
             {{QStringLiteral("山田"), QStringLiteral("佐藤"), QStringLiteral("09:12'03"),
               QStringLiteral("個人"), QStringLiteral("会議は十時からです")},
              {QStringLiteral("全員"), QStringLiteral("ｼｽﾃﾑ"), QStringLiteral("09:13'40"),
               QStringLiteral("ｼｽﾃﾑ"), QStringLiteral("鈴木さんがログインしました")}},
             &window));
    column->addWidget(List({QStringLiteral("ハンドル"), QStringLiteral("状態"),
                            QStringLiteral("コンピュータ名"), QStringLiteral("IPアドレス")},
                           {{QStringLiteral("山田"), QStringLiteral("在席"),
                             QStringLiteral("YAMADA-PC"), QStringLiteral("10.0.0.2")}},
                           &window));
    window.resize(640, 480);

    QMenu menu;
    for (const char* caption : {"ｳｨﾝﾄﾞｳ表示切替(&D)", "ｵﾌﾟｼｮﾝ設定(&O)", "定型ﾌｫｰﾑ設定",
                                "ｲﾝﾌｫﾒｰｼｮﾝ設定", "ﾊﾞｰｼﾞｮﾝ情報(&V)", "常駐終了(&Q)"})
        menu.addAction(QString::fromUtf8(caption));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setContextMenu(&menu);
    tray.setToolTip(QStringLiteral("Palaverly"));
    QObject::connect(&tray, &QSystemTrayIcon::activated, &window,
                     [&window] { window.setVisible(!window.isVisible()); });
    tray.show();
    return app.exec();
}
