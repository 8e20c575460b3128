#include "dialogs/CInfoDlg.h"

#include "qtsupport/CTextLimitValidator.h"
#include "qtsupport/QtText.h"

#include <QLineEdit>
#include <QPushButton>

namespace palaverly {

CInfoDlg::CInfoDlg(CSettingsBinding<CInfoValues> binding, const CDialogUnits& units,
                   NoticeFn notice)
    : CTemplateDialog(units, Title(), 363, 95, std::move(notice)), m_binding(std::move(binding)) {
    connect(AddButton(kSave, QStringLiteral("保存(&S)"), 295, 55, 50, 15), &QPushButton::clicked,
            this, [this] { OnOk(); });
    connect(AddButton(kCancel, QStringLiteral("ｷｬﾝｾﾙ(&C)"), 295, 71, 50, 15), &QPushButton::clicked,
            this, [this] { reject(); });
    AddEdit(kLocalMessage, 50, 5, 300, 12);
    AddLabel(-1, QStringLiteral("ﾛｰｶﾙﾒｯｾｰｼﾞ"), 5, 5, 40, 10);
    AddEdit(kBulletinMessage, 50, 20, 300, 12);
    AddLabel(-1, QStringLiteral("配信ﾒｯｾｰｼﾞ"), 5, 20, 40, 10);
    FinishLayout();

    m_info = m_binding.reload();
    // The built-in local message is longer than the edit takes; it stands until changed.
    CTextLimitValidator::SetText(ControlAs<QLineEdit>(kLocalMessage),
                                 FromCp932(m_info.m_localMessage));
    CTextLimitValidator::SetText(ControlAs<QLineEdit>(kBulletinMessage),
                                 FromCp932(m_info.m_bulletinMessage));
}

void CInfoDlg::OnOk() {
    auto* local = ControlAs<QLineEdit>(kLocalMessage);
    auto* bulletin = ControlAs<QLineEdit>(kBulletinMessage);
    const std::string localText = ToCp932Lossy(local->text());
    // Only the built-in text may stay longer than the file reads back: it is what comes back
    // in its place. A shortened copy of it would not be.
    if ((!CTextLimitValidator::Fits(local) && localText != CInfoValues::DefaultLocalMessage()) ||
        !CTextLimitValidator::Fits(bulletin)) {
        Notice(QStringLiteral("ﾒｯｾｰｼﾞが長すぎます。%1 バイト（全角%2文字・半角%1文字）までに"
                              "してください。")
                   .arg(kTextLimit)
                   .arg(kTextLimit / 2));
        (CTextLimitValidator::Fits(bulletin) ? local : bulletin)->setFocus();
        return;
    }
    hide();
    m_info.m_localMessage = localText;
    m_info.m_bulletinMessage = ToCp932Lossy(bulletin->text());
    m_binding.save(m_info);
    accept();
}

} // namespace palaverly
