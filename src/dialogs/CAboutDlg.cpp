#include "dialogs/CAboutDlg.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace palaverly {

CAboutDlg::CAboutDlg(std::string_view version, const CDialogUnits& units)
    : CTemplateDialog(units, Title(), 254, 135, {}) {
    QPushButton* ok = AddButton(kOk, QStringLiteral("了解(&O)"), 90, 115, 50, 15);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    auto* text = new QPlainTextEdit(this);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The edit shows lines, not CR LF pairs: each pair is one line break.
    text->setPlainText(BoxText(version).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Place(kText, text, 5, 5, 245, 105);
    FinishLayout();
    ok->setFocus();
}

QPlainTextEdit* CAboutDlg::TextEdit() const {
    return ControlAs<QPlainTextEdit>(kText);
}

QString CAboutDlg::BoxText(std::string_view version) {
    static const char* const kDescription[] = {
        "　　　　　　　　　　",
        "　LAN の中だけで手軽にチャットを楽しむためのツールです。",
        "　サーバーは要りません。同じネットワークにいる人どうしで",
        "　メッセージを送り合えます。",
        "　使う人数は 10 人くらいがちょうどよいでしょう。",
        "　どうぞご自由にお使いください。",
        "",
        "　※ BEEP攻撃はほどほどに。仕事も忘れずに。",
        "",
        "",
    };
    QString text = QStringLiteral("Version：") +
                   QString::fromUtf8(version.data(), static_cast<qsizetype>(version.size())) +
                   QStringLiteral("\r\n");
    for (const char* line : kDescription)
        text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    return text;
}

} // namespace palaverly
