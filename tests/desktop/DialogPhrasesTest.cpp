// The canned-phrase dialog and the phrase menu of the chat window's "..." button: what the menu
// offers after each save, the insertion of a chosen phrase, Cancel, restarts and the limits.

#include "CStationHubTestPeer.h"
#include "DesktopFixture.h"
#include "DialogTestSupport.h"
#include "desktop/CInputEdit.h"
#include "desktop/DesktopResources.h"
#include "dialogs/CPhraseDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

struct CMenuItem {
    QString text;
    int id;
    bool operator==(const CMenuItem&) const = default;
};

QList<CMenuItem> MenuOf(CChatWindow& w) {
    QList<CMenuItem> items;
    auto menu = Peer(w).BuildPhraseMenu();
    for (QAction* action : menu->actions())
        items.append({action->text(), action->data().toInt()});
    return items;
}

std::unique_ptr<CPhraseDlg> OpenOn(CChatWindow& w) {
    auto dialog = std::make_unique<CPhraseDlg>(
        CSettingsBinding<CPhraseValues>::Live(Peer(w).Station().Settings(),
                                              &CLiveSettings::ReloadPhrases,
                                              &CLiveSettings::SavePhrases),
        CDialogUnits(CDialogUnits::DialogFont()));
    dialog->show();
    return dialog;
}

const QString kMorning = QStringLiteral("おはようございます！！");
const QString kThanks = QStringLiteral("お疲れ様です");

} // namespace

namespace QTest {
template <> char* toString(const CMenuItem& item) {
    return QTest::toString(item.text + " #" + QString::number(item.id));
}
} // namespace QTest

class DialogPhrasesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }

    void firstStartOffersTwoPhrases();
    void savedPhrasesShapeTheMenu();
    void emptiedPhraseOneStaysEmptyAfterRestart();
    void cancelKeepsThePhrases();
    void dialogShowsTheTemplate();
    void phraseEditsStopAtTheLimit();
    void chosenPhraseReplacesSelectionWithinTheMessageLimit();
};

void DialogPhrasesTest::firstStartOffersTwoPhrases() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    QCOMPARE(MenuOf(*a.window), (QList<CMenuItem>{{kMorning, 60000}, {kThanks, 60001}}));
}

void DialogPhrasesTest::savedPhrasesShapeTheMenu() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    auto dialog = OpenOn(w);
    QCOMPARE(dialog->PhraseEdit(2)->text(), kThanks);
    dialog->PhraseEdit(2)->clear();
    dialog->PhraseEdit(5)->setText(QStringLiteral("会議中 & 移動中"));
    QTest::mouseClick(dialog->ControlAs<QPushButton>(CPhraseDlg::kSave), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    // The ampersand is shown as text, not taken as a shortcut.
    QCOMPARE(MenuOf(w), (QList<CMenuItem>{{kMorning, 60000}, {"会議中 && 移動中", 60004}}));
    Peer(w).OnCommand(60004);
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("会議中 & 移動中"));
    // Ten values, empty ones included.
    const CSettingsStore& store = Peer(w).Station().Settings().Store();
    for (int n = 1; n <= 10; ++n)
        QVERIFY(store.ReadText(CPhraseValues::ValueName(n), 128).has_value());
    QCOMPARE(*store.ReadText(CPhraseValues::ValueName(2), 128), std::string());
}

void DialogPhrasesTest::emptiedPhraseOneStaysEmptyAfterRestart() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    auto dialog = OpenOn(w);
    dialog->PhraseEdit(1)->clear();
    QTest::keyClick(dialog->PhraseEdit(3), Qt::Key_Return); // Enter saves
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(MenuOf(w), (QList<CMenuItem>{{kThanks, 60001}}));
    // A restart reads the stored empty text, not the default.
    CPhraseValues restarted;
    restarted.LoadSettings(Peer(w).Station().Settings().Store());
    QCOMPARE(restarted.m_phrases[0], std::string());
    QCOMPARE(QString::fromStdString(cp932::ToUtf8(restarted.m_phrases[1])), kThanks);
    auto reopened = OpenOn(w);
    QCOMPARE(reopened->PhraseEdit(1)->text(), QString());
}

void DialogPhrasesTest::cancelKeepsThePhrases() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    const QList<CMenuItem> before = MenuOf(w);
    auto dialog = OpenOn(w);
    dialog->PhraseEdit(1)->clear();
    dialog->PhraseEdit(7)->setText("x");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(MenuOf(w), before);
    QVERIFY(!Peer(w).Station().Settings().Store().ReadText(CPhraseValues::ValueName(1), 128));
}

void DialogPhrasesTest::dialogShowsTheTemplate() {
    CDialogSettings settings;
    CPhraseValues phrases;
    CDialogUnits units(CDialogUnits::DialogFont());
    CPhraseDlg dialog(phrases, settings.store, units);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("定型ﾌｫｰﾑ設定"));
    QCOMPARE(dialog.size(), units.ToPixels(263, 210));
    // Edit n sits on row n, its label "０n．" beside it; phrase 2 is edit 1012.
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    QCOMPARE(labels, (QStringList{"０１．", "０２．", "０３．", "０４．", "０５．", "０６．",
                                  "０７．", "０８．", "０９．", "１０．"}));
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(dialog.PhraseEdit(n)->geometry(), units.ToPixels(25, 5 + 20 * (n - 1), 170, 12));
    QCOMPARE(dialog.PhraseEdit(2), dialog.Control(1012));
    QCOMPARE(dialog.PhraseEdit(10), dialog.Control(1011));
    QCOMPARE(dialog.PhraseEdit(2)->text(), kThanks);
    QVERIFY(dialog.ControlAs<QPushButton>(CPhraseDlg::kSave)->isDefault());
}

void DialogPhrasesTest::phraseEditsStopAtTheLimit() {
    CDialogSettings settings;
    CPhraseValues phrases;
    CPhraseDlg dialog(phrases, settings.store, CDialogUnits(CDialogUnits::DialogFont()));
    dialog.show();
    QLineEdit* edit = dialog.PhraseEdit(4);
    edit->setFocus();
    Type(edit, QString(60, 'a') + QString(40, QChar(0x6F22))); // 60 + 2 × 33 = 126 bytes
    QCOMPARE(Cp932Bytes(edit->text()), 126);
    Type(edit, QStringLiteral("漢z!"));
    QCOMPARE(Cp932Bytes(edit->text()), 127);
    QTest::mouseClick(dialog.ControlAs<QPushButton>(CPhraseDlg::kSave), Qt::LeftButton);
    // Read back whole at the next start.
    CPhraseValues restarted;
    restarted.LoadSettings(settings.store);
    QCOMPARE(QString::fromStdString(cp932::ToUtf8(restarted.m_phrases[3])), edit->text());
}

void DialogPhrasesTest::chosenPhraseReplacesSelectionWithinTheMessageLimit() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    CInputEdit* edit = Peer(w).MessageEdit();
    const QString start = QString(120, 'x') + "12345";
    edit->setText(start);
    edit->setSelection(120, 5); // "12345" selected: 10 bytes of room once it is gone
    Peer(w).OnCommand(60000);
    QCOMPARE(edit->text(), QString(120, 'x') + QStringLiteral("おはようご"));
    QCOMPARE(Cp932Bytes(edit->text()), 130);
    edit->undo();
    QCOMPARE(edit->text(), start);
}

QTEST_MAIN(DialogPhrasesTest)
#include "DialogPhrasesTest.moc"
