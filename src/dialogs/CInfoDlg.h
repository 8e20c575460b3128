#pragma once
// The information-message dialog on template 105: the local message that heads the ticker
// ("Info Msg01") and the bulletin message a bulletin server sends ("Info Msg99").

#include "dialogs/CSettingsBinding.h"
#include "qtsupport/CTemplateDialog.h"
#include "settings/CInfoValues.h"

namespace palaverly {

class CSettingsStore;

class CInfoDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum ControlId { kSave = 1, kCancel = 2, kLocalMessage = 1008, kBulletinMessage = 1009 };

    /// Reloads the live texts through `binding`, then shows them.
    CInfoDlg(CSettingsBinding<CInfoValues> binding, const CDialogUnits& units,
             NoticeFn notice = {});
    /// The same, bound to `info` and `store` themselves.
    CInfoDlg(CInfoValues& info, CSettingsStore& store, const CDialogUnits& units,
             NoticeFn notice = {})
        : CInfoDlg(CSettingsBinding<CInfoValues>::Direct(info, store), units, std::move(notice)) {}

    static QString Title() { return QStringLiteral("ｲﾝﾌｫﾒｰｼｮﾝ設定"); }

protected:
    void OnOk() override;

private:
    CSettingsBinding<CInfoValues> m_binding;
    CInfoValues m_info;
};

} // namespace palaverly
