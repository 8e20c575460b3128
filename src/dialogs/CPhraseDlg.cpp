#include "dialogs/CPhraseDlg.h"

#include "qtsupport/CTextLimitValidator.h"
#include "qtsupport/QtText.h"

#include <QLineEdit>
#include <QPushButton>

namespace palaverly {

CPhraseDlg::CPhraseDlg(CSettingsBinding<CPhraseValues> binding, const CDialogUnits& units,
                       NoticeFn notice)
    : CTemplateDialog(units, Title(), 263, 210, std::move(notice)), m_binding(std::move(binding)) {
    static const QString kLabels[] = {QStringLiteral("０１．"), QStringLiteral("０２．"),
                                      QStringLiteral("０３．"), QStringLiteral("０４．"),
                                      QStringLiteral("０５．"), QStringLiteral("０６．"),
                                      QStringLiteral("０７．"), QStringLiteral("０８．"),
                                      QStringLiteral("０９．"), QStringLiteral("１０．")};
    for (int n = 1; n <= CPhraseValues::kCount; ++n) {
        const int y = 5 + 20 * (n - 1);
        AddEdit(kEditIds[static_cast<std::size_t>(n - 1)], 25, y, 170, 12);
        AddLabel(-1, kLabels[n - 1], 7, y + 2, 15, 10, Grow::Left);
    }
    QPushButton* save = AddButton(kSave, QStringLiteral("保存"), 205, 7, 50, 15);
    save->setDefault(true);
    connect(save, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(AddButton(kCancel, QStringLiteral("ｷｬﾝｾﾙ"), 205, 23, 50, 15), &QPushButton::clicked,
            this, [this] { reject(); });
    FinishLayout();

    m_phrases = m_binding.reload();
    for (int n = 1; n <= CPhraseValues::kCount; ++n)
        CTextLimitValidator::SetText(
            PhraseEdit(n), FromCp932(m_phrases.m_phrases[static_cast<std::size_t>(n - 1)]));
}

QLineEdit* CPhraseDlg::PhraseEdit(int number) const {
    if (number < 1 || number > CPhraseValues::kCount)
        return nullptr;
    return ControlAs<QLineEdit>(kEditIds[static_cast<std::size_t>(number - 1)]);
}

void CPhraseDlg::OnOk() {
    hide();
    for (int n = 1; n <= CPhraseValues::kCount; ++n)
        m_phrases.m_phrases[static_cast<std::size_t>(n - 1)] = ToCp932Lossy(PhraseEdit(n)->text());
    // Empty phrases are written too: an emptied phrase 1 must not come back as its default.
    m_binding.save(m_phrases);
    accept();
}

} // namespace palaverly
