#pragma once
// The options dialog on template 104: the option flags, the four timing sliders, the colour of
// the user's own messages, the log folder and the BEEP sound file.

#include "dialogs/CSettingsBinding.h"
#include "qtsupport/CTemplateDialog.h"
#include "settings/COptionValues.h"

#include <QColor>
#include <cstdint>
#include <memory>
#include <optional>

class QFileDialog;

namespace palaverly {

class CSettingsStore;

class COptionDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum ControlId {
        kSave = 1,
        kCancel = 2,
        kPopupAllMsg = 1001,
        kPopupToYouMsg = 1002,
        kLocalEcho = 1003,
        kClearAfterInput = 1004,
        kLogSavePath = 1005,
        kLogOutput = 1006,
        kChatServer = 1007,
        kTransmissionWithEnter = 1008,
        kLogAutoLoad = 1009,
        kFolderButton = 1010,
        kSoundFilePath = 1011,
        kSoundButton = 1012,
        kUseBeepSound = 1013,
        kCloseToUnload = 1014,
        kLoginLogoutCheck = 1015,
        kScrollSlider = 1016,
        kRecvSlider = 1017,
        kBufferLines = 1018,
        kCloseAndHide = 1019,
        kRecvLabel = 1020,
        kScrollLabel = 1021,
        kChatServerMsgRecv = 1022,
        kDownloadSlider = 1023,
        kDownloadLabel = 1024,
        kWindowReady = 1025,
        kLogClickToUserMark = 1026,
        kColourButton = 1028,
        kAutoCloseSlider = 1029,
        kAutoCloseLabel = 1030
    };

    /// The three pickers; each gives nothing when the user cancels. Tests replace them.
    struct Pickers {
        std::function<std::optional<QString>(QWidget* owner, const QString& start)> folder;
        std::function<std::optional<QString>(QWidget* owner)> soundFile;
        std::function<std::optional<QColor>(QWidget* owner, const QColor& initial)> colour;
    };

    /// Opens on what the settings file holds: the live options are reloaded through
    /// `binding` first. A save hands them back; Cancel leaves them as reloaded.
    COptionDlg(CSettingsBinding<COptionValues> binding, const CDialogUnits& units,
               Pickers pickers = {}, NoticeFn notice = {});
    /// The same, bound to `values` and `store` themselves.
    COptionDlg(COptionValues& values, CSettingsStore& store, const CDialogUnits& units,
               Pickers pickers = {}, NoticeFn notice = {})
        : COptionDlg(CSettingsBinding<COptionValues>::Direct(values, store), units,
                     std::move(pickers), std::move(notice)) {}

    static QString Title() { return QStringLiteral("ｵﾌﾟｼｮﾝ設定"); }

    /// Rewrites the label of slider `sliderId` from its position; other ids change nothing.
    void UpdateTimingLabel(int sliderId);
    /// The log folder picker (button 1010): 0 when a folder was taken into edit 1005, -1 when
    /// cancelled or refused.
    int PickFolder();
    /// The sound file picker (button 1012): 0 or -1, as PickFolder.
    int PickSoundFile();
    /// The colour picker (button 1028): 0 when a colour was chosen, -1 otherwise.
    int PickColour();
    /// The colour the next save stores (COLORREF 0x00BBGGRR).
    std::int32_t Colour() const { return m_colour; }

    /// The sound file dialog as button 1012 opens it: "WAVE FILE(*.WAV)", any case of .wav.
    static std::unique_ptr<QFileDialog> MakeSoundFileDialog(QWidget* owner);

protected:
    void OnOk() override;

private:
    void CreateControls();
    void FillControls();
    bool TakePath(const QString& path, int editId);

    CSettingsBinding<COptionValues> m_binding;
    COptionValues m_values;
    Pickers m_pickers;
    std::int32_t m_colour = 0;
};

} // namespace palaverly
