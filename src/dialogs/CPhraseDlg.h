#pragma once
// The canned-phrase dialog on template 132: ten edits for the phrases "定型Msg01" to
// "定型Msg10".

#include "dialogs/CSettingsBinding.h"
#include "qtsupport/CTemplateDialog.h"
#include "settings/CPhraseValues.h"

#include <array>

namespace palaverly {

class CSettingsStore;

class CPhraseDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum ControlId { kSave = 1, kCancel = 2 };
    /// The edit of phrase n (1..10) is kEditIds[n - 1].
    static constexpr std::array<int, CPhraseValues::kCount> kEditIds = {
        1003, 1012, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011};

    /// Reloads the live phrases through `binding`, then shows them.
    CPhraseDlg(CSettingsBinding<CPhraseValues> binding, const CDialogUnits& units,
               NoticeFn notice = {});
    /// The same, bound to `phrases` and `store` themselves.
    CPhraseDlg(CPhraseValues& phrases, CSettingsStore& store, const CDialogUnits& units,
               NoticeFn notice = {})
        : CPhraseDlg(CSettingsBinding<CPhraseValues>::Direct(phrases, store), units,
                     std::move(notice)) {}

    static QString Title() { return QStringLiteral("定型ﾌｫｰﾑ設定"); }
    QLineEdit* PhraseEdit(int number) const;

protected:
    void OnOk() override;

private:
    CSettingsBinding<CPhraseValues> m_binding;
    CPhraseValues m_phrases;
};

} // namespace palaverly
