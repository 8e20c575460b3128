// The options dialog: slider labels and clamping, what a save writes and in which order, Cancel,
// the hidden and disabled values, every check box's value, the pickers and their path limit.

#include "DialogTestSupport.h"
#include "dialogs/COptionDlg.h"
#include "qtsupport/QtText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

struct COptionsFixture {
    CDialogSettings settings;
    COptionValues values;
    COptionDlg::Pickers pickers;
    std::optional<QString> folder, sound;
    std::optional<QColor> colour;
    std::unique_ptr<COptionDlg> dialog;

    explicit COptionsFixture(const std::vector<std::string>& lines = {}) : settings(lines) {
        pickers.folder = [this](QWidget*, const QString&) { return folder; };
        pickers.soundFile = [this](QWidget*) { return sound; };
        pickers.colour = [this](QWidget*, const QColor&) { return colour; };
        values.LoadSettings(settings.store); // as at start-up
        Open();
    }
    void Open() {
        dialog = std::make_unique<COptionDlg>(values, settings.store,
                                              CDialogUnits(CDialogUnits::DialogFont()), pickers,
                                              settings.Notice());
        dialog->show();
    }
    QString Label(int id) const { return dialog->ControlAs<QLabel>(id)->text(); }
    QSlider* Slider(int id) const { return dialog->ControlAs<QSlider>(id); }
    QCheckBox* Check(int id) const { return dialog->ControlAs<QCheckBox>(id); }
    QLineEdit* Edit(int id) const { return dialog->ControlAs<QLineEdit>(id); }
    void Click(int id) const {
        QTest::mouseClick(dialog->ControlAs<QPushButton>(id), Qt::LeftButton);
    }
};

// Every flag with its check box, as the dialog binds them.
const std::vector<std::pair<int, const char*>> kFlagNames = {
    {COptionDlg::kPopupAllMsg, "Flg Popup(AllMsg)"},
    {COptionDlg::kPopupToYouMsg, "Flg Popup(ToYouMsg)"},
    {COptionDlg::kLocalEcho, "Flg LocalEcho"},
    {COptionDlg::kClearAfterInput, "Flg ClearAfterInput"},
    {COptionDlg::kTransmissionWithEnter, "Flg Transmission with Enter"},
    {COptionDlg::kLogOutput, "Flg LogOutput"},
    {COptionDlg::kLogAutoLoad, "Flg LogAutoLoad"},
    {COptionDlg::kLoginLogoutCheck, "Flg LoginLogoutCheck"},
    {COptionDlg::kLogClickToUserMark, "Flg LogClickToUserMarkON"},
    {COptionDlg::kChatServer, "Flg ChatServer"},
    {COptionDlg::kChatServerMsgRecv, "Flg ChatServerMsgRecv"},
    {COptionDlg::kUseBeepSound, "Flg UseBeepSound"},
    {COptionDlg::kCloseToUnload, "Flg CloseToUnload"},
    {COptionDlg::kCloseAndHide, "Flg ChatWindowCloseAndHide"},
    {COptionDlg::kWindowReady, "Flg ChatWindowReady"},
};

} // namespace

class DialogOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_data.path().toUtf8()); }

    void defaultsShowTheirLabels();
    void storedTimingsAreClampedAndSavedClamped_data();
    void storedTimingsAreClampedAndSavedClamped();
    void sliderMovesRewriteTheirLabels();
    void saveWithDefaultsWritesEveryValueInOrder();
    void cancelStoresNothing_data();
    void cancelStoresNothing();
    void hiddenAndDisabledValuesPassThrough();
    void eachCheckBoxSavesItsOwnFlag_data();
    void eachCheckBoxSavesItsOwnFlag();
    void templateStatesAndTabOrder();
    void pickedPathMustFitTheFile_data();
    void pickedPathMustFitTheFile();
    void typedPathStopsAtTheLimit();
    void colourPickerSavesColorRef();
    void soundDialogFindsWaveFilesInAnyCase();

private:
    QTemporaryDir m_data;
};

void DialogOptionsTest::defaultsShowTheirLabels() {
    COptionsFixture f;
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("ｵﾌﾟｼｮﾝ設定"));
    QCOMPARE(f.Label(COptionDlg::kScrollLabel), QStringLiteral("250ﾐﾘ秒"));
    QCOMPARE(f.Label(COptionDlg::kRecvLabel), QStringLiteral("30ﾐﾘ秒"));
    QCOMPARE(f.Label(COptionDlg::kDownloadLabel), QStringLiteral("180秒"));
    QCOMPARE(f.Label(COptionDlg::kAutoCloseLabel), QStringLiteral("30秒"));
}

void DialogOptionsTest::storedTimingsAreClampedAndSavedClamped_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("text");
    QTest::newRow("scroll 80 → 50") << "Scroll Timming" << int(COptionDlg::kScrollSlider)
                                    << int(COptionDlg::kScrollLabel) << 80 << 50 << "500ﾐﾘ秒";
    QTest::newRow("scroll 0 → 1") << "Scroll Timming" << int(COptionDlg::kScrollSlider)
                                  << int(COptionDlg::kScrollLabel) << 0 << 1 << "10ﾐﾘ秒";
    QTest::newRow("recv 151 → 150") << "Recv Timming" << int(COptionDlg::kRecvSlider)
                                    << int(COptionDlg::kRecvLabel) << 151 << 150 << "150ﾐﾘ秒";
    QTest::newRow("download 999 → 180")
        << "MsgDownload Timming" << int(COptionDlg::kDownloadSlider)
        << int(COptionDlg::kDownloadLabel) << 999 << 180 << "1800秒";
    QTest::newRow("auto-close -5 → 1") << "AutoClose Timming" << int(COptionDlg::kAutoCloseSlider)
                                       << int(COptionDlg::kAutoCloseLabel) << -5 << 1 << "10秒";
}

void DialogOptionsTest::storedTimingsAreClampedAndSavedClamped() {
    QFETCH(QString, name);
    QFETCH(int, slider);
    QFETCH(int, label);
    QFETCH(int, stored);
    QFETCH(int, shown);
    QFETCH(QString, text);
    COptionsFixture f({name.toStdString() + "=" + std::to_string(stored)});
    QCOMPARE(f.Slider(slider)->value(), shown);
    QCOMPARE(f.Label(label), text);
    f.Click(COptionDlg::kSave);
    QCOMPARE(f.dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.settings.Value(name.toStdString()), QString::number(shown));
}

void DialogOptionsTest::sliderMovesRewriteTheirLabels() {
    COptionsFixture f;
    f.Slider(COptionDlg::kScrollSlider)->setValue(7);
    f.Slider(COptionDlg::kDownloadSlider)->setValue(6);
    f.Slider(COptionDlg::kAutoCloseSlider)->setValue(30);
    QCOMPARE(f.Label(COptionDlg::kScrollLabel), QStringLiteral("70ﾐﾘ秒"));
    QCOMPARE(f.Label(COptionDlg::kDownloadLabel), QStringLiteral("60秒"));
    QCOMPARE(f.Label(COptionDlg::kAutoCloseLabel), QStringLiteral("300秒"));
    QCOMPARE(f.Label(COptionDlg::kRecvLabel), QStringLiteral("30ﾐﾘ秒"));
    // The keyboard moves a slider as well as the mouse does.
    f.Slider(COptionDlg::kScrollSlider)->setFocus();
    QTest::keyClick(f.Slider(COptionDlg::kScrollSlider), Qt::Key_Right);
    QCOMPARE(f.Label(COptionDlg::kScrollLabel), QStringLiteral("80ﾐﾘ秒"));
}

void DialogOptionsTest::saveWithDefaultsWritesEveryValueInOrder() {
    COptionsFixture f;
    QVERIFY(f.settings.Names().isEmpty()); // opening reads, it writes nothing
    f.Click(COptionDlg::kSave);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.dialog->result(), int(QDialog::Accepted));
    QStringList expected;
    for (const char* name :
         {"Flg Popup(AllMsg)", "Flg Popup(ToYouMsg)", "Flg LocalEcho", "Flg ClearAfterInput",
          "Flg Transmission with Enter", "Flg LogOutput", "Flg LogAutoLoad", "Flg LoginLogoutCheck",
          "Flg LogClickToUserMarkON", "Flg ChatServer", "Flg ChatServerMsgRecv", "Flg UseBeepSound",
          "Flg CloseToUnload", "Flg ChatWindowCloseAndHide", "Flg ChatWindowReady"}) {
        expected << name;
        QCOMPARE(f.settings.Value(name), QStringLiteral("0"));
    }
    expected << "AutoClose Timming"
             << "Recv Timming"
             << "Scroll Timming"
             << "MsgDownload Timming"
             << "Color MyMessage"
             << "LogSavePath"
             << "SoundFilePath";
    QCOMPARE(f.settings.Names(), expected);
    QCOMPARE(f.settings.Value("AutoClose Timming"), QStringLiteral("3"));
    QCOMPARE(f.settings.Value("Recv Timming"), QStringLiteral("30"));
    QCOMPARE(f.settings.Value("Scroll Timming"), QStringLiteral("25"));
    QCOMPARE(f.settings.Value("MsgDownload Timming"), QStringLiteral("18"));
    QCOMPARE(f.settings.Value("Color MyMessage"), QStringLiteral("16711680"));
    QCOMPARE(f.settings.Value("LogSavePath"),
             QString::fromStdString(cp932::ToUtf8(COptionValues::DefaultLogSavePath())));
    QCOMPARE(f.settings.Value("SoundFilePath"), QString());
}

void DialogOptionsTest::cancelStoresNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close box") << "close";
}

void DialogOptionsTest::cancelStoresNothing() {
    QFETCH(QString, how);
    COptionsFixture f({"Flg ChatServer=1", "Scroll Timming=12", "SoundFilePath=/s/old.wav"});
    const QByteArray before = f.settings.Bytes();
    f.Check(COptionDlg::kChatServer)->setChecked(false);
    f.Check(COptionDlg::kPopupAllMsg)->setChecked(true);
    f.Slider(COptionDlg::kScrollSlider)->setValue(40);
    // Picked values are kept by the dialog until it is saved.
    f.sound = QStringLiteral("/s/new.wav");
    f.colour = QColor(1, 2, 3);
    QCOMPARE(f.dialog->PickSoundFile(), 0);
    QCOMPARE(f.dialog->PickColour(), 0);
    if (how == "button")
        f.Click(COptionDlg::kCancel);
    else if (how == "esc")
        QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
    else
        f.dialog->close();
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.dialog->result(), int(QDialog::Rejected));
    QCOMPARE(f.settings.Bytes(), before);
    QCOMPARE(f.values.m_flgChatServer, 1);
    QCOMPARE(f.values.m_flgPopupAllMsg, 0);
    QCOMPARE(f.values.m_scrollTimming, 12);
    QCOMPARE(f.values.m_soundFilePath, std::string("/s/old.wav"));
    QCOMPARE(f.values.m_colorMyMessage, 16711680);
}

void DialogOptionsTest::hiddenAndDisabledValuesPassThrough() {
    COptionsFixture f({"Flg LocalEcho=1", "Flg LoginLogoutCheck=1", "Recv Timming=77"});
    QVERIFY(!f.Check(COptionDlg::kLocalEcho)->isVisible());
    QVERIFY(!f.Check(COptionDlg::kLoginLogoutCheck)->isVisible());
    QVERIFY(!f.Check(COptionDlg::kLoginLogoutCheck)->isEnabled());
    QVERIFY(!f.Slider(COptionDlg::kRecvSlider)->isEnabled());
    QCOMPARE(f.Label(COptionDlg::kRecvLabel), QStringLiteral("77ﾐﾘ秒"));
    f.Click(COptionDlg::kSave);
    QCOMPARE(f.settings.Value("Flg LocalEcho"), QStringLiteral("1"));
    QCOMPARE(f.settings.Value("Flg LoginLogoutCheck"), QStringLiteral("1"));
    QCOMPARE(f.settings.Value("Recv Timming"), QStringLiteral("77"));
}

void DialogOptionsTest::eachCheckBoxSavesItsOwnFlag_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    for (const auto& [id, name] : kFlagNames)
        QTest::newRow(name) << id << QString::fromUtf8(name);
}

void DialogOptionsTest::eachCheckBoxSavesItsOwnFlag() {
    QFETCH(int, id);
    QFETCH(QString, name);
    // Stored on: the box shows it ticked. Untick it and tick every other: exactly it turns 0.
    COptionsFixture f({name.toStdString() + "=1"});
    QVERIFY(f.Check(id)->isChecked());
    for (const auto& [other, otherName] : kFlagNames)
        f.Check(other)->setChecked(other != id);
    f.Click(COptionDlg::kSave);
    for (const auto& [other, otherName] : kFlagNames)
        QCOMPARE(f.settings.Value(otherName), QString(other == id ? "0" : "1"));
}

void DialogOptionsTest::templateStatesAndTabOrder() {
    COptionsFixture f;
    const CDialogUnits& units = f.dialog->Units();
    QCOMPARE(f.dialog->size(), units.ToPixels(369, 235));
    QCOMPARE(f.dialog->Control(COptionDlg::kLogSavePath)->geometry(),
             units.ToPixels(10, 131, 120, 12));
    QCOMPARE(f.dialog->Control(COptionDlg::kAutoCloseSlider)->geometry(),
             units.ToPixels(240, 142, 95, 10));
    QCOMPARE(f.Check(COptionDlg::kLogClickToUserMark)->text(),
             QStringLiteral("ﾛｸﾞｳｨﾝﾄﾞｳを右ｸﾘｯｸした時その送信者を自動ﾏｰｸ"));
    QVERIFY(!f.dialog->Control(COptionDlg::kBufferLines)->isEnabled());
    QVERIFY(!f.dialog->ControlAs<QPushButton>(COptionDlg::kSave)->isDefault());
    QVERIFY(!f.dialog->ControlAs<QPushButton>(COptionDlg::kCancel)->isDefault());
    // Tab walks the enabled, visible controls in template order.
    const QList<int> expected = {COptionDlg::kSave,
                                 COptionDlg::kCancel,
                                 COptionDlg::kPopupAllMsg,
                                 COptionDlg::kPopupToYouMsg,
                                 COptionDlg::kClearAfterInput,
                                 COptionDlg::kLogSavePath,
                                 COptionDlg::kLogOutput,
                                 COptionDlg::kSoundFilePath,
                                 COptionDlg::kChatServer,
                                 COptionDlg::kTransmissionWithEnter,
                                 COptionDlg::kLogAutoLoad,
                                 COptionDlg::kFolderButton,
                                 COptionDlg::kSoundButton,
                                 COptionDlg::kUseBeepSound,
                                 COptionDlg::kCloseToUnload,
                                 COptionDlg::kScrollSlider,
                                 COptionDlg::kCloseAndHide,
                                 COptionDlg::kChatServerMsgRecv,
                                 COptionDlg::kDownloadSlider,
                                 COptionDlg::kWindowReady,
                                 COptionDlg::kLogClickToUserMark,
                                 COptionDlg::kColourButton,
                                 COptionDlg::kAutoCloseSlider};
    auto idOf = [&f](QWidget* w) {
        for (int id = 1; id <= 1030; ++id)
            if (f.dialog->Control(id) == w)
                return id;
        return -1;
    };
    QList<int> walked;
    QWidget* start = f.dialog->Control(COptionDlg::kSave);
    QWidget* w = start;
    do {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
            walked << idOf(w);
        w = w->nextInFocusChain();
    } while (w != start && walked.size() < 100);
    walked.removeAll(-1);
    QCOMPARE(walked, expected);
}

void DialogOptionsTest::pickedPathMustFitTheFile_data() {
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("taken");
    const QString wide63 = QString(63, QChar(0x3042)); // あ: 2 bytes each
    for (bool folder : {true, false}) {
        const char* which = folder ? "folder" : "sound";
        QTest::addRow("%s: 127 bytes", which) << folder << "/" + wide63 << true;
        QTest::addRow("%s: 128 bytes in 65 characters", which)
            << folder << "/" + wide63 + "a" << false;
        QTest::addRow("%s: 300 bytes", which) << folder << "/" + QString(299, 'x') << false;
        QTest::addRow("%s: not in Shift_JIS", which)
            << folder << QStringLiteral("/home/\U0001F600") << false;
    }
}

void DialogOptionsTest::pickedPathMustFitTheFile() {
    QFETCH(bool, folder);
    QFETCH(QString, path);
    QFETCH(bool, taken);
    COptionsFixture f({"LogSavePath=/old/log", "SoundFilePath=/old.wav"});
    const int editId = folder ? COptionDlg::kLogSavePath : COptionDlg::kSoundFilePath;
    const QString before = f.Edit(editId)->text();
    (folder ? f.folder : f.sound) = path;
    f.Click(folder ? COptionDlg::kFolderButton : COptionDlg::kSoundButton);
    QCOMPARE(f.Edit(editId)->text(), taken ? path : before);
    QCOMPARE(f.settings.notices.size(), taken ? std::size_t{0} : std::size_t{1});
    f.Click(COptionDlg::kSave);
    // What is saved is what the next start reads.
    const char* name = folder ? "LogSavePath" : "SoundFilePath";
    QCOMPARE(f.settings.Value(name), taken ? path : before);
    COptionValues restarted;
    restarted.LoadSettings(f.settings.store);
    QCOMPARE(QString::fromStdString(
                 cp932::ToUtf8(folder ? restarted.m_logSavePath : restarted.m_soundFilePath)),
             taken ? path : before);
}

void DialogOptionsTest::typedPathStopsAtTheLimit() {
    COptionsFixture f({"LogSavePath="});
    QLineEdit* edit = f.Edit(COptionDlg::kLogSavePath);
    edit->setFocus();
    Type(edit, QString(70, QChar(0x30ED))); // ロ, 2 bytes each
    QCOMPARE(Cp932Bytes(edit->text()), 126);
    Type(edit, QStringLiteral("ab"));
    QCOMPARE(Cp932Bytes(edit->text()), 127);
    f.Click(COptionDlg::kSave);
    QCOMPARE(f.settings.Value("LogSavePath"), edit->text());
}

void DialogOptionsTest::colourPickerSavesColorRef() {
    COptionsFixture f;
    f.colour = QColor(0x12, 0x34, 0x56);
    f.Click(COptionDlg::kColourButton);
    QCOMPARE(f.dialog->Colour(), 0x563412);
    f.colour.reset(); // a cancelled pick keeps the colour
    QCOMPARE(f.dialog->PickColour(), -1);
    f.Click(COptionDlg::kSave);
    QCOMPARE(f.settings.Value("Color MyMessage"), QString::number(0x563412));
    QCOMPARE(f.values.m_colorMyMessage, 0x563412);
    QCOMPARE(FromColorRef(16711680), QColor(0, 0, 255));
}

void DialogOptionsTest::soundDialogFindsWaveFilesInAnyCase() {
    QTemporaryDir dir;
    for (const char* name : {"a.wav", "B.WAV", "c.Wav", "d.txt", "e.wave"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    auto dialog = COptionDlg::MakeSoundFileDialog(nullptr);
    QCOMPARE(dialog->nameFilters(), QStringList{"WAVE FILE(*.WAV)"});
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->setDirectory(dir.path());
    auto* model = dialog->findChild<QFileSystemModel*>();
    QVERIFY(model);
    auto listed = [&] {
        QStringList names;
        const QModelIndex root = model->index(dir.path());
        for (int r = 0; r < model->rowCount(root); ++r)
            names << model->index(r, 0, root).data().toString();
        names.sort(Qt::CaseInsensitive);
        return names;
    };
    // The model lists the folder on a thread of its own.
    QTRY_COMPARE(listed(), (QStringList{"a.wav", "B.WAV", "c.Wav"}));
}

QTEST_MAIN(DialogOptionsTest)
#include "DialogOptionsTest.moc"
