#include "qtsupport/CTemplateDialog.h"

#include "qtsupport/CTextLimitValidator.h"

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
    FitCaption(check, QSize(check->sizeHint().width(), check->fontMetrics().height()), Grow::Right);
    return check;
}

QLabel* CTemplateDialog::AddLabel(int id, const QString& caption, int x, int y, int w, int h,
                                  Grow grow) {
    auto* label = new QLabel(caption, this);
    label->setTextFormat(Qt::PlainText);
    Place(id, label, x, y, w, h);
    const QFontMetrics metrics = label->fontMetrics();
    // Only a label the template made two lines high wraps; the others keep one line.
    const bool wraps = h >= 15;
    label->setWordWrap(wraps);
    label->setAlignment((grow == Grow::Left ? Qt::AlignRight : Qt::AlignLeft) |
                        (wraps ? Qt::AlignTop : Qt::AlignVCenter));
    const QRect lines = metrics.boundingRect(QRect(0, 0, wraps ? label->width() : 100000, 100000),
                                             Qt::TextWordWrap, caption);
    FitCaption(label, QSize(lines.width() + 1, lines.height()), grow);
    return label;
}

void CTemplateDialog::FitCaption(QWidget* widget, QSize need, Grow grow) {
    QRect r = widget->geometry();
    if (need.height() > r.height()) {
        // Centred on the template's row, so that the text stays where the row is.
        r.setTop(std::max(0, r.center().y() + 1 - (need.height() + 1) / 2));
        r.setHeight(need.height());
    }
    if (need.width() > r.width()) {
        if (grow == Grow::Left)
            r.setLeft(std::max(0, r.right() + 1 - need.width()));
        else
            r.setWidth(need.width());
    }
    widget->setGeometry(r);
}

QGroupBox* CTemplateDialog::AddGroup(const QString& caption, int x, int y, int w, int h) {
    auto* group = new QGroupBox(caption, this);
    // The frame runs through the middle of the caption, as the template was drawn: a frame
    // under the caption would cross the first row of controls.
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 5px; padding: 0 2px; }"));
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
