#pragma once
// The information-message dialog on template 105: the local message that heads the ticker
// ("Info Msg01") and the bulletin message a bulletin server sends ("Info Msg99").

#include "qtsupport/CTemplateDialog.h"
#include "settings/CInfoValues.h"

namespace palaverly {

class CSettingsStore;

class CInfoDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum ControlId { kSave = 1, kCancel = 2, kLocalMessage = 1008, kBulletinMessage = 1009 };

    /// Reloads `info` (the live texts) from `store`, then shows them.
    CInfoDlg(CInfoValues& info, CSettingsStore& store, const CDialogUnits& units,
             NoticeFn notice = {});

    static QString Title() { return QStringLiteral("ｲﾝﾌｫﾒｰｼｮﾝ設定"); }

protected:
    void OnOk() override;

private:
    CInfoValues& m_info;
    CSettingsStore& m_store;
};

} // namespace palaverly
