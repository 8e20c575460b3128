#include "dialogs/CDialogCommands.h"

#include "wire/Datagram.h"

namespace palaverly {

CDialogCommands::CDialogCommands(CLiveSettings& settings, const QFont& font, Hooks hooks,
                                 QObject* parent)
    : QObject(parent), m_settings(settings), m_units(font), m_hooks(std::move(hooks)) {}

CDialogCommands::~CDialogCommands() {
    for (auto& dialog : m_open)
        delete dialog.data();
}

bool CDialogCommands::BringToFront(Kind kind) {
    QDialog* open = m_open[Index(kind)];
    if (!open)
        return false;
    open->show();
    open->raise();
    open->activateWindow();
    return true;
}

void CDialogCommands::Run(Kind kind, QDialog* dialog, std::function<void()> afterSave) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_open[Index(kind)] = dialog;
    connect(dialog, &QDialog::finished, this, [this, kind, afterSave](int result) {
        m_open[Index(kind)] = nullptr;
        if (result == QDialog::Accepted && afterSave)
            afterSave();
    });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    emit Opened(kind, dialog);
}

void CDialogCommands::OpenOptions() {
    if (BringToFront(Kind::Options))
        return;
    Run(Kind::Options,
        new COptionDlg(CSettingsBinding<COptionValues>::Live(
                           m_settings, &CLiveSettings::ReloadOptions, &CLiveSettings::SaveOptions),
                       m_units, m_hooks.pickers, m_hooks.notice),
        m_hooks.optionsSaved);
}

void CDialogCommands::OpenPhrases() {
    if (BringToFront(Kind::Phrases))
        return;
    // The phrase menu reads the phrases each time it opens: nothing follows a save.
    Run(Kind::Phrases,
        new CPhraseDlg(CSettingsBinding<CPhraseValues>::Live(
                           m_settings, &CLiveSettings::ReloadPhrases, &CLiveSettings::SavePhrases),
                       m_units, m_hooks.notice),
        {});
}

void CDialogCommands::OpenInfo() {
    if (BringToFront(Kind::Info))
        return;
    Run(Kind::Info,
        new CInfoDlg(CSettingsBinding<CInfoValues>::Live(m_settings, &CLiveSettings::ReloadInfo,
                                                         &CLiveSettings::SaveInfo),
                     m_units, m_hooks.notice),
        m_hooks.infoSaved);
}

void CDialogCommands::OpenAbout() {
    if (BringToFront(Kind::About))
        return;
    Run(Kind::About, new CAboutDlg(kVersionString, m_units), {});
}

} // namespace palaverly
