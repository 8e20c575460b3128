#include "dialogs/COptionDlg.h"

#include "qtsupport/CTextLimitValidator.h"
#include "qtsupport/QtText.h"
#include "settings/CSettingsStore.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace palaverly {
namespace {

struct FlagBinding {
    int id;
    int COptionValues::*member;
};

// The check boxes and the flags they show, in the order the dialog exchanges them.
constexpr FlagBinding kFlags[] = {
    {COptionDlg::kPopupAllMsg, &COptionValues::m_flgPopupAllMsg},
    {COptionDlg::kPopupToYouMsg, &COptionValues::m_flgPopupToYouMsg},
    {COptionDlg::kLocalEcho, &COptionValues::m_flgLocalEcho},
    {COptionDlg::kClearAfterInput, &COptionValues::m_flgClearAfterInput},
    {COptionDlg::kTransmissionWithEnter, &COptionValues::m_flgTransmissionWithEnter},
    {COptionDlg::kLogOutput, &COptionValues::m_flgLogOutput},
    {COptionDlg::kUseBeepSound, &COptionValues::m_flgUseBeepSound},
    {COptionDlg::kLogAutoLoad, &COptionValues::m_flgLogAutoLoad},
    {COptionDlg::kChatServer, &COptionValues::m_flgChatServer},
    {COptionDlg::kCloseToUnload, &COptionValues::m_flgCloseToUnload},
    {COptionDlg::kLoginLogoutCheck, &COptionValues::m_flgLoginLogoutCheck},
    {COptionDlg::kChatServerMsgRecv, &COptionValues::m_flgChatServerMsgRecv},
    {COptionDlg::kCloseAndHide, &COptionValues::m_flgChatWindowCloseAndHide},
    {COptionDlg::kWindowReady, &COptionValues::m_flgChatWindowReady},
    {COptionDlg::kLogClickToUserMark, &COptionValues::m_flgLogClickToUserMarkOn},
};

struct SliderBinding {
    int id;
    int COptionValues::*member;
    int minimum;
    int maximum;
    int label;
    int scale;       // label value per slider step
    const char* fmt; // "%1" is the scaled value
};

constexpr SliderBinding kSliders[] = {
    {COptionDlg::kScrollSlider, &COptionValues::m_scrollTimming, 1, 50, COptionDlg::kScrollLabel,
     10, "%1ﾐﾘ秒"},
    {COptionDlg::kRecvSlider, &COptionValues::m_recvTimming, 0, 150, COptionDlg::kRecvLabel, 1,
     "%1ﾐﾘ秒"},
    {COptionDlg::kDownloadSlider, &COptionValues::m_msgDownloadTimming, 1, 180,
     COptionDlg::kDownloadLabel, 10, "%1秒"},
    {COptionDlg::kAutoCloseSlider, &COptionValues::m_autoCloseTimming, 1, 30,
     COptionDlg::kAutoCloseLabel, 10, "%1秒"},
};

COptionDlg::Pickers WithDefaults(COptionDlg::Pickers pickers) {
    if (!pickers.folder)
        pickers.folder = [](QWidget* owner, const QString& start) -> std::optional<QString> {
            QString path = QFileDialog::getExistingDirectory(
                owner, QStringLiteral("フォルダを選択してください。"), start,
                QFileDialog::ShowDirsOnly);
            if (path.isEmpty())
                return std::nullopt;
            return QDir::toNativeSeparators(path);
        };
    if (!pickers.soundFile)
        pickers.soundFile = [](QWidget* owner) -> std::optional<QString> {
            auto dialog = COptionDlg::MakeSoundFileDialog(owner);
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
                return std::nullopt;
            return dialog->selectedFiles().first();
        };
    if (!pickers.colour)
        pickers.colour = [](QWidget* owner, const QColor& initial) -> std::optional<QColor> {
            QColor chosen = QColorDialog::getColor(initial, owner);
            if (!chosen.isValid())
                return std::nullopt;
            return chosen;
        };
    return pickers;
}

} // namespace

COptionDlg::COptionDlg(CSettingsBinding<COptionValues> binding, const CDialogUnits& units,
                       Pickers pickers, NoticeFn notice)
    : CTemplateDialog(units, Title(), 369, 235, std::move(notice)), m_binding(std::move(binding)),
      m_pickers(WithDefaults(std::move(pickers))) {
    CreateControls();
    FinishLayout();
    for (const auto& s : kSliders)
        ControlAs<QSlider>(s.id)->setRange(s.minimum, s.maximum);
    // Opens on what is stored, not on what memory holds.
    m_values = m_binding.reload();
    for (const auto& s : kSliders) {
        // The slider clamps a stored value outside its range; a save stores the clamped one.
        ControlAs<QSlider>(s.id)->setValue(m_values.*s.member);
        UpdateTimingLabel(s.id);
    }
    FillControls();
}

void COptionDlg::CreateControls() {
    // Template order, which is the tab order.
    connect(AddButton(kSave, QStringLiteral("保存(&S)"), 300, 190, 60, 15), &QPushButton::clicked,
            this, [this] { OnOk(); });
    connect(AddButton(kCancel, QStringLiteral("ｷｬﾝｾﾙ(&C)"), 300, 206, 60, 15),
            &QPushButton::clicked, this, [this] { reject(); });
    AddCheck(kPopupAllMsg, QStringLiteral("ﾒｯｾｰｼﾞ到着時ﾎﾟｯﾌﾟｱｯﾌﾟ（同報）"), 10, 15, 130, 10);
    AddCheck(kPopupToYouMsg, QStringLiteral("ﾒｯｾｰｼﾞ到着時ﾎﾟｯﾌﾟｱｯﾌﾟ（自分宛）"), 10, 25, 130, 10);
    AddCheck(kLocalEcho, QStringLiteral("自分の発言をﾛｸﾞに表示（ﾛｰｶﾙｴｺｰ）"), 10, 35, 135, 10)
        ->setVisible(false);
    AddCheck(kClearAfterInput, QStringLiteral("送信後ﾒｯｾｰｼﾞ入力ｴﾘｱをｸﾘｱ"), 10, 45, 130, 10);
    AddEdit(kLogSavePath, 10, 131, 120, 12);
    AddLabel(-1, QStringLiteral("保存先ﾊﾟｽ"), 10, 121, 40, 10);
    AddGroup(QStringLiteral("ﾒｯｾｰｼﾞ"), 5, 5, 160, 75);
    AddGroup(QStringLiteral("ﾛｸﾞ"), 5, 80, 160, 85);
    AddLabel(-1, QStringLiteral("ﾊﾞｯﾌｧ行数"), 10, 150, 35, 8)->setEnabled(false);
    AddCheck(kLogOutput, QStringLiteral("ﾌｧｲﾙに保存"), 10, 100, 145, 10);
    AddGroup(QStringLiteral("BEEP攻撃"), 5, 170, 160, 55);
    AddEdit(kSoundFilePath, 10, 205, 120, 14);
    AddLabel(-1, QStringLiteral("ｻｳﾝﾄﾞﾌｧｲﾙ"), 10, 193, 40, 10);
    AddCheck(kChatServer, QStringLiteral("配信ﾒｯｾｰｼﾞｻｰﾊﾞｰになる"), 175, 50, 140, 10);
    AddGroup(QStringLiteral("その他"), 170, 100, 195, 70);
    AddCheck(kTransmissionWithEnter, QStringLiteral("Enterでﾒｯｾｰｼﾞを送信"), 10, 55, 140, 8);
    AddCheck(kLogAutoLoad, QStringLiteral("再起動時に本日ﾛｸﾞを自動で読み込む"), 10, 110, 145, 10);
    connect(AddButton(kFolderButton, QStringLiteral("..."), 130, 130, 10, 14),
            &QPushButton::clicked, this, [this] { PickFolder(); });
    connect(AddButton(kSoundButton, QStringLiteral("..."), 130, 205, 10, 14), &QPushButton::clicked,
            this, [this] { PickSoundFile(); });
    AddCheck(kUseBeepSound, QStringLiteral("WAVｻｳﾝﾄﾞを有効にする"), 10, 180, 145, 10);
    AddCheck(kCloseToUnload, QStringLiteral("ｸﾛｰｽﾞﾎﾞﾀﾝを押した時に常駐終了"), 175, 110, 155, 10);
    QCheckBox* loginLogout = AddCheck(
        kLoginLogoutCheck, QStringLiteral("全員のﾛｸﾞｲﾝﾛｸﾞｱｳﾄを検知(ﾃﾞﾊﾞｯｸﾞ用)"), 175, 155, 155, 10);
    loginLogout->setVisible(false);
    loginLogout->setEnabled(false);
    AddGroup(QStringLiteral("ﾒｯｾｰｼﾞ"), 170, 5, 195, 90);
    AddLabel(-1, QStringLiteral("ｽｸﾛｰﾙ間隔"), 175, 15, 60, 8);
    AddSlider(kScrollSlider, 235, 15, 95, 10);
    AddLabel(kScrollLabel, QStringLiteral("999ﾐﾘ秒"), 330, 15, 25, 10);
    AddLabel(-1, QStringLiteral("RECV間隔"), 175, 25, 60, 8)->setEnabled(false);
    AddSlider(kRecvSlider, 235, 25, 95, 10)->setEnabled(false);
    AddLabel(kRecvLabel, QStringLiteral("999ﾐﾘ秒"), 330, 25, 25, 10);
    AddEdit(kBufferLines, 60, 148, 20, 12)->setEnabled(false);
    AddLabel(-1, QStringLiteral("行以降はｽｸﾛｰﾙｱｳﾄ"), 80, 150, 75, 10)->setEnabled(false);
    AddCheck(kCloseAndHide, QStringLiteral("ﾁｬｯﾄｳｨﾝﾄﾞｳをﾀｽｸﾊﾞｰから消さない"), 175, 120, 155, 10);
    AddLabel(-1,
             QStringLiteral("※この設定に関しては詳しくない場合や意味がわからない場合は値を変更し"
                            "ないでください。"),
             175, 73, 180, 15);
    AddCheck(kChatServerMsgRecv, QStringLiteral("配信ﾒｯｾｰｼﾞを受信しない"), 175, 60, 140, 10);
    AddLabel(-1, QStringLiteral("配信MSG更新間隔"), 175, 35, 60, 8);
    AddSlider(kDownloadSlider, 235, 35, 95, 10);
    AddLabel(kDownloadLabel, QStringLiteral("999秒"), 330, 35, 25, 10);
    AddCheck(kWindowReady, QStringLiteral("起動時にﾁｬｯﾄｳｨﾝﾄﾞｳを表示"), 175, 130, 155, 10);
    AddCheck(kLogClickToUserMark, QStringLiteral("ﾛｸﾞｳｨﾝﾄﾞｳを右ｸﾘｯｸした時その送信者を自動ﾏｰｸ"), 10,
             90, 150, 10);
    AddLabel(-1, QStringLiteral("自動ｸﾛｰｽﾞ待ち時間"), 175, 142, 65, 8);
    connect(AddButton(kColourButton, QStringLiteral("自分のﾒｯｾｰｼﾞの色 ..."), 10, 65, 70, 12),
            &QPushButton::clicked, this, [this] { PickColour(); });
    AddSlider(kAutoCloseSlider, 240, 142, 95, 10);
    AddLabel(kAutoCloseLabel, QStringLiteral("999秒"), 335, 142, 25, 10);

    for (const auto& s : kSliders)
        connect(ControlAs<QSlider>(s.id), &QSlider::valueChanged, this,
                [this, id = s.id] { UpdateTimingLabel(id); });
}

void COptionDlg::FillControls() {
    for (const auto& flag : kFlags)
        ControlAs<QCheckBox>(flag.id)->setChecked(m_values.*flag.member != 0);
    CTextLimitValidator::SetText(ControlAs<QLineEdit>(kLogSavePath),
                                 FromCp932(m_values.m_logSavePath));
    CTextLimitValidator::SetText(ControlAs<QLineEdit>(kSoundFilePath),
                                 FromCp932(m_values.m_soundFilePath));
    m_colour = m_values.m_colorMyMessage;
}

void COptionDlg::UpdateTimingLabel(int sliderId) {
    for (const auto& s : kSliders) {
        if (s.id != sliderId)
            continue;
        const int position = ControlAs<QSlider>(s.id)->value();
        ControlAs<QLabel>(s.label)->setText(QString::fromUtf8(s.fmt).arg(position * s.scale));
    }
}

bool COptionDlg::TakePath(const QString& path, int editId) {
    auto sjis = ToCp932(path);
    if (!sjis) {
        Notice(QStringLiteral("選んだパスには Shift_JIS で表せない文字が含まれているため、"
                              "保存できません。\n別の場所を選んでください。\n\n%1")
                   .arg(path));
        return false;
    }
    // The settings file gives back no more than this; a longer path would silently fall
    // back to its default at the next start.
    if (static_cast<int>(sjis->size()) > kTextLimit) {
        Notice(QStringLiteral("選んだパスが長すぎるため、保存できません。\n"
                              "%1 バイト（全角%2文字・半角%1文字）までのパスを選んでください。"
                              "\n\n%3")
                   .arg(kTextLimit)
                   .arg(kTextLimit / 2)
                   .arg(path));
        return false;
    }
    CTextLimitValidator::SetText(ControlAs<QLineEdit>(editId), path);
    return true;
}

int COptionDlg::PickFolder() {
    auto path = m_pickers.folder(this, ControlAs<QLineEdit>(kLogSavePath)->text());
    return path && TakePath(*path, kLogSavePath) ? 0 : -1;
}

int COptionDlg::PickSoundFile() {
    auto path = m_pickers.soundFile(this);
    return path && TakePath(*path, kSoundFilePath) ? 0 : -1;
}

int COptionDlg::PickColour() {
    auto colour = m_pickers.colour(this, FromColorRef(m_colour));
    if (!colour)
        return -1;
    m_colour = ToColorRef(*colour);
    return 0;
}

std::unique_ptr<QFileDialog> COptionDlg::MakeSoundFileDialog(QWidget* owner) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    // Qt's own dialog: its filter ignores case, so "*.WAV" also finds the usual "*.wav".
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("WAVE FILE(*.WAV)"));
    dialog->setDefaultSuffix(QStringLiteral("WAV"));
    return dialog;
}

void COptionDlg::OnOk() {
    // A path longer than the file reads back is kept only when it is the folder the program
    // would fall back to anyway.
    auto* logPath = ControlAs<QLineEdit>(kLogSavePath);
    const bool logPathIsDefault =
        ToCp932Lossy(logPath->text()) == COptionValues::DefaultLogSavePath();
    if ((!CTextLimitValidator::Fits(logPath) && !logPathIsDefault) ||
        !CTextLimitValidator::Fits(ControlAs<QLineEdit>(kSoundFilePath))) {
        Notice(QStringLiteral("パスが長すぎます。%1 バイト（全角%2文字・半角%1文字）までに"
                              "してください。")
                   .arg(kTextLimit)
                   .arg(kTextLimit / 2));
        return;
    }
    hide();
    for (const auto& flag : kFlags)
        m_values.*flag.member = ControlAs<QCheckBox>(flag.id)->isChecked() ? 1 : 0;
    m_values.m_logSavePath = ToCp932Lossy(logPath->text());
    m_values.m_soundFilePath = ToCp932Lossy(ControlAs<QLineEdit>(kSoundFilePath)->text());
    m_values.m_colorMyMessage = m_colour;
    for (const auto& s : kSliders)
        m_values.*s.member = ControlAs<QSlider>(s.id)->value();
    // A failed write leaves the file as it was; memory holds the new values all the same.
    m_binding.save(m_values);
    accept();
}

} // namespace palaverly
