// The dialog commands: one dialog per command however often it is asked for, the others still
// open meanwhile; what follows a save; the information dialog's texts; the about box.

#include "CStationHubTestPeer.h"
#include "DesktopFixture.h"
#include "DialogTestSupport.h"
#include "desktop/DesktopResources.h"
#include "dialogs/CDialogCommands.h"
#include "wire/Datagram.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <filesystem>

using namespace palaverly;
using namespace palaverly::test;

namespace {

using Kind = CDialogCommands::Kind;

struct CCommandsFixture {
    CDesktopLan lan;
    CDesktopStation& station;
    int optionsSaved = 0;
    std::vector<std::pair<QString, QString>> notices;
    std::unique_ptr<CDialogCommands> commands;

    CCommandsFixture() : station(lan.Add("PCA", "Alice")) {
        CDialogCommands::Hooks hooks;
        hooks.optionsSaved = [this] { ++optionsSaved; };
        hooks.infoSaved = [this] { Peer(Window()).Station().PostFetchBulletin(); };
        hooks.notice = [this](QWidget*, const QString& caption, const QString& text) {
            notices.emplace_back(caption, text);
        };
        commands = std::make_unique<CDialogCommands>(Peer(Window()).Station().Settings(),
                                                     CDialogUnits::DialogFont(), hooks);
        lan.Pump();
        lan.TakeSent();
    }
    CChatWindow& Window() { return *station.window; }
    void Open(Kind kind) {
        switch (kind) {
        case Kind::Options:
            commands->OpenOptions();
            break;
        case Kind::Phrases:
            commands->OpenPhrases();
            break;
        case Kind::Info:
            commands->OpenInfo();
            break;
        case Kind::About:
            commands->OpenAbout();
            break;
        }
    }
    QStringList SentWords() {
        QStringList words;
        for (const auto& d : lan.TakeSent())
            words << QString::fromStdString(CDesktopLan::Word(d));
        return words;
    }
};

int VisibleDialogs() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) && w->isVisible())
            ++count;
    return count;
}

void Click(QDialog* dialog, int id) {
    QTest::mouseClick(static_cast<CTemplateDialog*>(dialog)->ControlAs<QPushButton>(id),
                      Qt::LeftButton);
}

} // namespace

class DialogCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }

    void secondRequestOpensNoSecondDialog_data();
    void secondRequestOpensNoSecondDialog();
    void allFourOpenAtOnceWithoutBlocking();
    void afterSave_data();
    void afterSave();
    void infoFirstStartAndTheBuiltInText();
    void infoRefusesWhatWouldNotComeBack();
    void aboutBoxText();
    void trayCommandsOfTheChatWindow();
    void optionsSaveRestartsTickerAndBulletinTimersOnly();
    void failedWriteStillClosesWithTheNewValuesLive();
};

void DialogCommandsTest::secondRequestOpensNoSecondDialog_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("options") << Kind::Options << "ｵﾌﾟｼｮﾝ設定";
    QTest::newRow("phrases") << Kind::Phrases << "定型ﾌｫｰﾑ設定";
    QTest::newRow("info") << Kind::Info << "ｲﾝﾌｫﾒｰｼｮﾝ設定";
    QTest::newRow("about") << Kind::About << "About Palaverly";
}

void DialogCommandsTest::secondRequestOpensNoSecondDialog() {
    QFETCH(Kind, kind);
    QFETCH(QString, title);
    CCommandsFixture f;
    QSignalSpy opened(f.commands.get(), &CDialogCommands::Opened);
    f.Open(kind);
    QPointer<QDialog> first = f.commands->OpenDialog(kind);
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), title);
    first->hide(); // behind or hidden: the second request brings it back
    f.Open(kind);
    QCOMPARE(f.commands->OpenDialog(kind), first.data());
    QVERIFY(first->isVisible());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(VisibleDialogs(), 1);
    // Once it is closed, the command opens a new one; the old one is gone.
    first->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QVERIFY(!f.commands->OpenDialog(kind));
    f.Open(kind);
    QVERIFY(f.commands->OpenDialog(kind));
    QCOMPARE(opened.count(), 2);
}

void DialogCommandsTest::allFourOpenAtOnceWithoutBlocking() {
    CCommandsFixture f;
    // The chat window stays hidden; the dialogs open all the same.
    QVERIFY(!f.Window().isVisible());
    for (Kind kind : {Kind::About, Kind::Options, Kind::Phrases, Kind::Info})
        f.Open(kind);
    QCOMPARE(VisibleDialogs(), 4);
    QVERIFY(!f.Window().isVisible());
    // Nothing is modal: the tray menu and the chat window still take their commands.
    QVERIFY(!QApplication::activeModalWidget());
    Peer(f.Window()).OnCommand(CChatWindow::kCmdToggle);
    QVERIFY(f.Window().isVisible());
    // Closing the commands closes what is open.
    f.commands.reset();
    QCOMPARE(VisibleDialogs(), 0);
}

void DialogCommandsTest::afterSave_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("timerRestarts");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("options saved: timers restart") << Kind::Options << true << 1 << QStringList{};
    QTest::newRow("options cancelled") << Kind::Options << false << 0 << QStringList{};
    QTest::newRow("info saved: GETM") << Kind::Info << true << 0 << QStringList{"GETM"};
    QTest::newRow("info cancelled: nothing") << Kind::Info << false << 0 << QStringList{};
    QTest::newRow("phrases saved: nothing else") << Kind::Phrases << true << 0 << QStringList{};
}

void DialogCommandsTest::afterSave() {
    QFETCH(Kind, kind);
    QFETCH(bool, save);
    QFETCH(int, timerRestarts);
    QFETCH(QStringList, sent);
    CCommandsFixture f;
    f.Open(kind);
    QDialog* dialog = f.commands->OpenDialog(kind);
    if (save)
        Click(dialog, 1);
    else
        dialog->close();
    f.lan.Pump();
    QCOMPARE(f.optionsSaved, timerRestarts);
    QCOMPARE(f.SentWords(), sent);
    QVERIFY(!f.commands->OpenDialog(kind));
}

void DialogCommandsTest::infoFirstStartAndTheBuiltInText() {
    CCommandsFixture f;
    const QString builtIn =
        QString::fromStdString(cp932::ToUtf8(CInfoValues::DefaultLocalMessage()));
    f.commands->OpenInfo();
    auto* dialog = static_cast<CInfoDlg*>(f.commands->OpenDialog(Kind::Info));
    auto* local = dialog->ControlAs<QLineEdit>(CInfoDlg::kLocalMessage);
    auto* bulletin = dialog->ControlAs<QLineEdit>(CInfoDlg::kBulletinMessage);
    QCOMPARE(local->text(), builtIn);
    QCOMPARE(bulletin->text(), QString());
    bulletin->setText(QStringLiteral("本日は定時退社日です"));
    Click(dialog, CInfoDlg::kSave);
    f.lan.Pump();
    QCOMPARE(f.SentWords(), QStringList{"GETM"});
    // The built-in text goes to the file whole and comes back as itself, from the program.
    const CSettingsStore& store = Peer(f.Window()).Station().Settings().Store();
    QVERIFY(!store.ReadText("Info Msg01", 128));
    QCOMPARE(store.ReadText("Info Msg01", 1024), CInfoValues::DefaultLocalMessage());
    CInfoValues restarted;
    restarted.LoadSettings(store);
    QCOMPARE(restarted.m_localMessage, CInfoValues::DefaultLocalMessage());
    QCOMPARE(QString::fromStdString(cp932::ToUtf8(restarted.m_bulletinMessage)),
             QStringLiteral("本日は定時退社日です"));
    QVERIFY(f.notices.empty());
}

void DialogCommandsTest::infoRefusesWhatWouldNotComeBack() {
    CCommandsFixture f;
    f.commands->OpenInfo();
    auto* dialog = static_cast<CInfoDlg*>(f.commands->OpenDialog(Kind::Info));
    auto* local = dialog->ControlAs<QLineEdit>(CInfoDlg::kLocalMessage);
    const QString builtIn = local->text();
    local->setFocus();
    local->end(false);
    // The over-long built-in text may shrink, but nothing can be added to it.
    Type(local, QStringLiteral("追"));
    QCOMPARE(local->text(), builtIn);
    QTest::keyClick(local, Qt::Key_Backspace);
    QCOMPARE(local->text(), builtIn.chopped(1));
    // Still too long to come back: the save is refused and the dialog stays.
    Click(dialog, CInfoDlg::kSave);
    QCOMPARE(f.notices.size(), std::size_t{1});
    QCOMPARE(f.notices[0].first, QStringLiteral("ｲﾝﾌｫﾒｰｼｮﾝ設定"));
    QVERIFY(dialog->isVisible());
    QVERIFY(!Peer(f.Window()).Station().Settings().Store().ReadText("Info Msg01", 1024));
    f.lan.Pump();
    QVERIFY(f.SentWords().isEmpty());
    // Shortened to what fits, it saves and comes back as typed.
    local->setText(builtIn.left(60)); // 60 double-byte characters
    Type(local, QStringLiteral("ab!"));
    QCOMPARE(Cp932Bytes(local->text()), 123);
    Click(dialog, CInfoDlg::kSave);
    QVERIFY(!f.commands->OpenDialog(Kind::Info));
    CInfoValues restarted;
    restarted.LoadSettings(Peer(f.Window()).Station().Settings().Store());
    QCOMPARE(QString::fromStdString(cp932::ToUtf8(restarted.m_localMessage)),
             builtIn.left(60) + "ab!");
}

void DialogCommandsTest::aboutBoxText() {
    const QString text = CAboutDlg::BoxText(kVersionString);
    QVERIFY(text.startsWith(QStringLiteral("Version：060R-003\r\n")));
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count('\n'), text.count(QStringLiteral("\r\n")));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() > 4);
    QVERIFY(!lines[1].isEmpty() && lines[1].trimmed().isEmpty()); // a line of spaces
    CCommandsFixture f;
    f.commands->OpenAbout();
    auto* about = static_cast<CAboutDlg*>(f.commands->OpenDialog(Kind::About));
    QCOMPARE(about->TextEdit()->document()->firstBlock().text(),
             QStringLiteral("Version：060R-003"));
    QCOMPARE(about->TextEdit()->document()->blockCount(), lines.size());
    QVERIFY(about->TextEdit()->isReadOnly());
    auto* ok = about->ControlAs<QPushButton>(CAboutDlg::kOk);
    QCOMPARE(ok->text(), QStringLiteral("了解(&O)"));
    QVERIFY(ok->isDefault());
    QTest::keyClick(about, Qt::Key_Return);
    QVERIFY(!f.commands->OpenDialog(Kind::About));
}

void DialogCommandsTest::trayCommandsOfTheChatWindow() {
    CDesktopLan lan;
    CChatWindow& w = *lan.Add("PCA", "Alice").window;
    lan.Pump();
    Peer(w).ShowAction();
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kTickerTimer), 250);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kBulletinTimer), 180000);
    CDialogCommands& dialogs = Peer(w).Dialogs();
    // Each tray command opens its dialog once.
    for (int id : {CChatWindow::kCmdOptions, CChatWindow::kCmdPhrases, CChatWindow::kCmdInfo,
                   CChatWindow::kCmdAbout}) {
        Peer(w).OnCommand(id);
        Peer(w).OnCommand(id);
    }
    QCOMPARE(VisibleDialogs(), 4);
    auto* options = static_cast<COptionDlg*>(dialogs.OpenDialog(Kind::Options));
    options->ControlAs<QSlider>(COptionDlg::kScrollSlider)->setValue(10);
    options->ControlAs<QSlider>(COptionDlg::kDownloadSlider)->setValue(6);
    Click(options, COptionDlg::kSave);
    // The new periods at once, the timers still running.
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kTickerTimer), 100);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kBulletinTimer), 60000);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kAutoHideTimer), 1000);
    QVERIFY(Peer(w).TimersRunning());
    lan.TakeSent();
    Click(dialogs.OpenDialog(Kind::Info), CInfoDlg::kSave);
    lan.Pump();
    QStringList words;
    for (const auto& d : lan.TakeSent())
        words << QString::fromStdString(CDesktopLan::Word(d));
    QVERIFY(words.contains("GETM"));
    Click(dialogs.OpenDialog(Kind::Phrases), CPhraseDlg::kCancel);
    Click(dialogs.OpenDialog(Kind::About), CAboutDlg::kOk);
    QCOMPARE(VisibleDialogs(), 0);
}

void DialogCommandsTest::optionsSaveRestartsTickerAndBulletinTimersOnly() {
    CDesktopLan lan;
    CChatWindow& w = *lan.Add("PCA", "Alice").window; // timers set at 0 ms
    lan.Pump();
    Peer(w).ShowAction();
    CWindowTimers& timers = Peer(w).Timers();
    lan.monotonicMs = 10500;
    QCOMPARE(timers.UntilNextTick(CChatWindow::kTickerTimer), 250);
    QCOMPARE(timers.UntilNextTick(CChatWindow::kBulletinTimer), 169500);
    QCOMPARE(timers.UntilNextTick(CChatWindow::kAutoHideTimer), 500);
    Peer(w).OnCommand(CChatWindow::kCmdOptions);
    auto* options = static_cast<COptionDlg*>(Peer(w).Dialogs().OpenDialog(Kind::Options));
    options->ControlAs<QSlider>(COptionDlg::kScrollSlider)->setValue(10);
    options->ControlAs<QSlider>(COptionDlg::kDownloadSlider)->setValue(6);
    Click(options, COptionDlg::kSave);
    // Ticker and bulletin timers start over with the new periods; auto-hide keeps its phase.
    QCOMPARE(timers.UntilNextTick(CChatWindow::kTickerTimer), 100);
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kTickerTimer), 100);
    QCOMPARE(timers.UntilNextTick(CChatWindow::kBulletinTimer), 60000);
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kBulletinTimer), 60000);
    QCOMPARE(timers.UntilNextTick(CChatWindow::kAutoHideTimer), 500);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kAutoHideTimer), 1000);
    // A save while hidden resets the phase too, without waking the hidden window.
    Peer(w).HideAction();
    lan.monotonicMs = 20000;
    Peer(w).OnCommand(CChatWindow::kCmdOptions);
    Click(Peer(w).Dialogs().OpenDialog(Kind::Options), COptionDlg::kSave);
    QVERIFY(!timers.WakeUpPlanned(CChatWindow::kBulletinTimer));
    lan.monotonicMs = 50000;
    Peer(w).ShowAction();
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kBulletinTimer), 30000);
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kAutoHideTimer), 1000);
}

void DialogCommandsTest::failedWriteStillClosesWithTheNewValuesLive() {
    CCommandsFixture f;
    CStationHub& station = Peer(f.Window()).Station();
    const std::string tickerBefore = station.TickerText();
    // A folder in the file's place: every write of the settings fails, for root too.
    const std::filesystem::path file = station.Settings().Store().Path();
    std::filesystem::remove(file);
    std::filesystem::create_directories(file / "taken");

    f.commands->OpenOptions();
    auto* options = static_cast<CTemplateDialog*>(f.commands->OpenDialog(Kind::Options));
    auto* server = options->ControlAs<QCheckBox>(COptionDlg::kChatServer);
    server->setChecked(!server->isChecked());
    const int wanted = server->isChecked() ? 1 : 0;
    Click(options, COptionDlg::kSave);
    QVERIFY(!station.Settings().Store().LastError().empty());
    QVERIFY(!f.commands->OpenDialog(Kind::Options));
    QCOMPARE(station.Settings().Options().m_flgChatServer, wanted);

    f.commands->OpenPhrases();
    auto* phrases = static_cast<CTemplateDialog*>(f.commands->OpenDialog(Kind::Phrases));
    phrases->ControlAs<QLineEdit>(CPhraseDlg::kEditIds[0])->setText(QStringLiteral("了解です"));
    Click(phrases, CPhraseDlg::kSave);
    QVERIFY(!f.commands->OpenDialog(Kind::Phrases));
    QCOMPARE(station.Settings().Phrases().m_phrases[0], cp932::Sjis("了解です"));

    f.commands->OpenInfo();
    auto* info = static_cast<CTemplateDialog*>(f.commands->OpenDialog(Kind::Info));
    info->ControlAs<QLineEdit>(CInfoDlg::kLocalMessage)->setText(QStringLiteral("新しいお知らせ"));
    Click(info, CInfoDlg::kSave);
    QVERIFY(!f.commands->OpenDialog(Kind::Info));
    QCOMPARE(station.Settings().Info().m_localMessage, cp932::Sjis("新しいお知らせ"));
    // The ticker takes the new text with the next bulletin, not at the save.
    QCOMPARE(station.TickerText(), tickerBefore);
    const Payload setm = MakeSetmPayload("010000000002", "PCB", "bulletin");
    station.Dispatch(BuildDatagram(7, f.lan.now, "SETM", setm.data()), " 9:05");
    QVERIFY(station.TickerText().find(cp932::Sjis("新しいお知らせ")) != std::string::npos);
    QVERIFY(f.notices.empty());
}

QTEST_MAIN(DialogCommandsTest)
#include "DialogCommandsTest.moc"
