#include "CTemplateDialog.h"

#include "CTextLimitValidator.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

namespace palaverly {

CTemplateDialog::CTemplateDialog(const CDialogUnits& units, const QString& title, int width,
                                 int height, NoticeFn notice)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_units(units), m_notice(std::move(notice)) {
    if (!m_notice)
        m_notice = [](QWidget* owner, const QString& caption, const QString& text) {
            QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        };
    setWindowTitle(title);
    setFont(m_units.Font());
    setFixedSize(m_units.ToPixels(width, height));
}

QWidget* CTemplateDialog::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CTemplateDialog::Place(int id, QWidget* widget, int x, int y, int w, int h) {
    widget->setGeometry(m_units.ToPixels(x, y, w, h));
    if (id >= 0)
        m_controls[id] = widget;
}

QPushButton* CTemplateDialog::AddButton(int id, const QString& caption, int x, int y, int w,
                                        int h) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    Place(id, button, x, y, w, h);
    return button;
}

QCheckBox* CTemplateDialog::AddCheck(int id, const QString& caption, int x, int y, int w, int h) {
    auto* check = new QCheckBox(caption, this);
    Place(id, check, x, y, w, h);
    return check;
}

QLabel* CTemplateDialog::AddLabel(int id, const QString& caption, int x, int y, int w, int h) {
    auto* label = new QLabel(caption, this);
    label->setTextFormat(Qt::PlainText);
    // A static text wraps at its right edge, as the templates' labels do.
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(id, label, x, y, w, h);
    return label;
}

QGroupBox* CTemplateDialog::AddGroup(const QString& caption, int x, int y, int w, int h) {
    auto* group = new QGroupBox(caption, this);
    Place(-1, group, x, y, w, h);
    // A group box only frames: it lies under the controls and takes no clicks or focus.
    group->lower();
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    group->setFocusPolicy(Qt::NoFocus);
    return group;
}

QLineEdit* CTemplateDialog::AddEdit(int id, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(this);
    CTextLimitValidator::Install(edit, kTextLimit);
    Place(id, edit, x, y, w, h);
    return edit;
}

QSlider* CTemplateDialog::AddSlider(int id, int x, int y, int w, int h) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setTickPosition(QSlider::NoTicks);
    Place(id, slider, x, y, w, h);
    return slider;
}

void CTemplateDialog::Notice(const QString& text) {
    m_notice(this, windowTitle(), text);
}

void CTemplateDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // A focused push button takes Enter as its click; anywhere else Enter is OK.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        else
            OnOk();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace palaverly
