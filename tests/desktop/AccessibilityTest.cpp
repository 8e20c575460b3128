// What assistive technology sees: every control of the chat window and of the dialogs has a
// name, the lists are tables with named columns and their rows, and a mark is a selection.

#include "CStationHubTestPeer.h"
#include "DesktopFixture.h"
#include "DialogTestSupport.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CInfoDlg.h"
#include "dialogs/COptionDlg.h"
#include "dialogs/CPhraseDlg.h"
#include "qtsupport/CTemplateLayout.h"
#include "wire/Datagram.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

QString Name(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// Every control that the template put on `owner`, by class and geometry, without a name.
QStringList Unnamed(QWidget& owner) {
    QStringList unnamed;
    for (QWidget* w : owner.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow())
            continue;
        if (Name(w).trimmed().isEmpty())
            unnamed << QStringLiteral("%1 at %2,%3")
                           .arg(w->metaObject()->className())
                           .arg(w->x())
                           .arg(w->y());
    }
    return unnamed;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void captionsBecomeNamesWithoutTheirMnemonic() {
        QCOMPARE(CTemplateLayout::NameOfCaption("送信(&S)"), QStringLiteral("送信"));
        QCOMPARE(CTemplateLayout::NameOfCaption("ｷｬﾝｾﾙ(&C)"), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(CTemplateLayout::NameOfCaption("&Open && close"), QStringLiteral("Open & close"));
        QCOMPARE(CTemplateLayout::NameOfCaption("ﾒｯｾｰｼﾞ到着時ﾎﾟｯﾌﾟｱｯﾌﾟ（同報）"),
                 QStringLiteral("ﾒｯｾｰｼﾞ到着時ﾎﾟｯﾌﾟｱｯﾌﾟ（同報）"));
        QCOMPARE(CTemplateLayout::NameOfCaption("全ﾏｰｸON"), QStringLiteral("全ﾏｰｸON"));
    }

    void everyControlOfTheWindowIsNamed() {
        CDesktopLan lan;
        auto& a = lan.Add("PCA", "Alice");
        lan.Add("PCB", "Bob");
        lan.Pump();
        CChatWindow& w = *a.window;
        QCOMPARE(Unnamed(w), QStringList());
        CChatWindowTestPeer peer(w);
        QCOMPARE(Name(peer.Button(CChatWindow::kSendButton)), QStringLiteral("送信"));
        QCOMPARE(Name(peer.Button(CChatWindow::kBeepButton)), QStringLiteral("BEEP攻撃"));
        QCOMPARE(Name(peer.Button(CChatWindow::kPhraseButton)), QStringLiteral("定型ﾌｫｰﾑ"));
        QCOMPARE(Name(peer.MessageEdit()), QStringLiteral("ﾒｯｾｰｼﾞ"));
        QCOMPARE(Name(peer.HandleEdit()), QStringLiteral("ﾊﾝﾄﾞﾙ名")); // its label
        QCOMPARE(Name(peer.StatusEdit()), QStringLiteral("状態"));
        QCOMPARE(Name(peer.Ticker()), QStringLiteral("ﾃｨｯｶｰ"));
        QCOMPARE(Name(peer.LogView()), QStringLiteral("ﾁｬｯﾄﾛｸﾞ")); // its group
        // The roster keeps its name while its group's caption counts the members.
        QCOMPARE(peer.RosterGroup()->title(), QStringLiteral("ﾕｰｻﾞｰ情報(2)"));
        QCOMPARE(Name(peer.RosterView()), QStringLiteral("ﾕｰｻﾞｰ情報"));
        QCOMPARE(Name(peer.RosterGroup()), QStringLiteral("ﾕｰｻﾞｰ情報(2)"));
    }

    void rosterIsATableWhoseSelectionIsTheMarks() {
        CDesktopLan lan;
        auto& a = lan.Add("PCA", "Alice");
        lan.Add("PCB", "Bob");
        lan.Pump();
        CChatWindowTestPeer peer(*a.window);
        a.window->show();
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(peer.RosterView());
        QVERIFY(list);
        QAccessibleTableInterface* table = list->tableInterface();
        QVERIFY(table);
        const CMarkList& roster = peer.Station().Roster().List();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), roster.ColumnCount());
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << table->columnDescription(c);
        QCOMPARE(headers.mid(0, 3), (QStringList{"ﾊﾝﾄﾞﾙ", "状態", "ｺﾝﾋﾟｭｰﾀ名"}));
        int bob = -1;
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->cellAt(r, 0)->text(QAccessible::Name) == QStringLiteral("Bob"))
                bob = r;
        QVERIFY(bob >= 0);

        // A mark set by the station shows as a selected row, and a row selected through the
        // table (as a screen reader does it) is a mark.
        QVERIFY(peer.Station().SetMark("PCB", true));
        QVERIFY(table->isRowSelected(bob));
        QCOMPARE(table->selectedRowCount(), 1);
        QVERIFY(peer.Station().SetMark("PCB", false));
        QVERIFY(!table->isRowSelected(bob));
        QVERIFY(table->selectRow(bob));
        QVERIFY(roster.IsMarked(bob));
        QVERIFY(table->unselectRow(bob));
        QVERIFY(!roster.IsMarked(bob));

        // The chat log: its columns by name, a new row with its cells, single selection.
        QAccessibleTableInterface* log =
            QAccessible::queryAccessibleInterface(peer.LogView())->tableInterface();
        QVERIFY(log);
        QStringList logHeaders;
        for (int c = 0; c < log->columnCount(); ++c)
            logHeaders << log->columnDescription(c);
        QCOMPARE(logHeaders, (QStringList{"受信者", "送信者", "時刻", "種別", "内容"}));
        QVERIFY(peer.Station().SetMark("PCB", true));
        QCOMPARE(peer.Station().SendAction("logged"), CStationHub::SendResult::Sent);
        lan.Pump();
        QCOMPARE(log->rowCount(), 1);
        QCOMPARE(log->cellAt(0, 4)->text(QAccessible::Name), QStringLiteral("logged"));
        QCOMPARE(log->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("Bob"));
    }

    void everyControlOfEachDialogIsNamed_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"options", "phrases", "info", "about"})
            QTest::newRow(kind) << kind;
    }

    void everyControlOfEachDialogIsNamed() {
        QFETCH(QString, kind);
        CDialogUnderTest under(kind);
        const std::unique_ptr<CTemplateDialog>& dialog = under.dialog;
        QCOMPARE(Unnamed(*dialog), QStringList());
        if (kind == "options") {
            QCOMPARE(Name(dialog->Layout().Control(COptionDlg::kLogSavePath)),
                     QStringLiteral("保存先ﾊﾟｽ")); // the label above it
            QCOMPARE(Name(dialog->Layout().Control(COptionDlg::kScrollSlider)),
                     QStringLiteral("ｽｸﾛｰﾙ間隔"));
            QCOMPARE(Name(dialog->Layout().Control(COptionDlg::kSave)), QStringLiteral("保存"));
        } else if (kind == "phrases") {
            QCOMPARE(Name(dialog->Layout().Control(CPhraseDlg::kEditIds[2])),
                     QStringLiteral("０３．"));
        } else if (kind == "info") {
            QCOMPARE(Name(dialog->Layout().Control(CInfoDlg::kBulletinMessage)),
                     QStringLiteral("配信ﾒｯｾｰｼﾞ"));
        } else {
            QCOMPARE(Name(dialog->Layout().Control(CAboutDlg::kText)), dialog->windowTitle());
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
