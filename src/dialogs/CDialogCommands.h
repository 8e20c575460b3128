#pragma once
// The four dialog commands of the tray menu (options, canned phrases, information messages,
// about box). Each has its re-entrancy guard: a second request while its dialog is open brings
// that dialog to the front. The dialogs are not modal to the chat window or the tray menu,
// which stay usable while one is open.

#include "dialogs/CAboutDlg.h"
#include "dialogs/CInfoDlg.h"
#include "dialogs/COptionDlg.h"
#include "dialogs/CPhraseDlg.h"
#include "qtsupport/CDialogUnits.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

namespace palaverly {

class CLiveSettings;

class CDialogCommands : public QObject {
    Q_OBJECT
public:
    enum class Kind { Options, Phrases, Info, About };
    Q_ENUM(Kind)

    struct Hooks {
        std::function<void()> optionsSaved; // restarts the ticker and bulletin timers
        std::function<void()> infoSaved;    // asks for bulletins again
        COptionDlg::Pickers pickers;
        CTemplateDialog::NoticeFn notice;
    };

    CDialogCommands(CLiveSettings& settings, const QFont& font, Hooks hooks,
                    QObject* parent = nullptr);
    /// Closes any dialog still open, as Cancel.
    ~CDialogCommands() override;

    /// The open dialog of a command, or null.
    QDialog* OpenDialog(Kind kind) const { return m_open[Index(kind)]; }

public slots:
    void OpenOptions();
    void OpenPhrases();
    void OpenInfo();
    void OpenAbout();

signals:
    /// A dialog was opened (not when a request only brought the open one to the front).
    void Opened(palaverly::CDialogCommands::Kind kind, QDialog* dialog);

private:
    static std::size_t Index(Kind kind) { return static_cast<std::size_t>(kind); }
    bool BringToFront(Kind kind);
    void Run(Kind kind, QDialog* dialog, std::function<void()> afterSave);

    CLiveSettings& m_settings;
    CDialogUnits m_units;
    Hooks m_hooks;
    std::array<QPointer<QDialog>, 4> m_open;
};

} // namespace palaverly
