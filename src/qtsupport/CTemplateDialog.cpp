#include "qtsupport/CTemplateDialog.h"

#include "qtsupport/CTextLimitValidator.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

namespace palaverly {

CTemplateDialog::CTemplateDialog(const CDialogUnits& units, const QString& title, int width,
                                 int height, NoticeFn notice)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_layout(*this, units), m_templateSize(units.ToPixels(width, height)),
      m_notice(std::move(notice)) {
    if (!m_notice)
        m_notice = [](QWidget* owner, const QString& caption, const QString& text) {
            QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        };
    setWindowTitle(title);
    setFont(units.Font());
    setFixedSize(m_templateSize);
}

QLineEdit* CTemplateDialog::AddEdit(int id, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(this);
    CTextLimitValidator::Install(edit, kTextLimit);
    return m_layout.AddEdit(id, edit, x, y, w, h);
}

void CTemplateDialog::FinishLayout() {
    const int wider = m_layout.FitFrames();
    // The template's right margin stays what it was beside the widest column.
    const QRect extent = m_layout.Extent();
    const int margin = m_layout.ToPixels(0, 0, 4, 0).width();
    setFixedSize(std::max(m_templateSize.width() + std::max(0, wider), extent.right() + 1 + margin),
                 std::max(m_templateSize.height(), extent.bottom() + 1 + margin));
}

void CTemplateDialog::Notice(const QString& text) {
    m_notice(this, windowTitle(), text);
}

void CTemplateDialog::keyPressEvent(QKeyEvent* event) {
    if (!CTemplateLayout::TakeEnter(event, focusWidget(), [this] { OnOk(); }))
        QDialog::keyPressEvent(event);
}

} // namespace palaverly
