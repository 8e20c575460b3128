#pragma once
// A dialog laid out from its template (CTemplateLayout): controls found by their ids, Enter
// taken as the OK action, the dialog as large as its template, or larger where the captions
// in the fonts found here need it.

#include "qtsupport/CTemplateLayout.h"

#include <QDialog>
#include <functional>

namespace palaverly {

class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    /// Shows a message the user must read (caption, text); tests record it instead.
    using NoticeFn = std::function<void(QWidget* owner, const QString& caption, const QString&)>;
    using Grow = CTemplateLayout::Grow;

    /// Longest text an edit takes, in CP932 bytes: the settings file reads back no more.
    static constexpr int kTextLimit = 127;

    QWidget* Control(int id) const { return m_layout.Control(id); }
    template <class T> T* ControlAs(int id) const { return m_layout.ControlAs<T>(id); }
    const CDialogUnits& Units() const { return m_layout.Units(); }
    const CTemplateLayout& Layout() const { return m_layout; }

protected:
    CTemplateDialog(const CDialogUnits& units, const QString& title, int width, int height,
                    NoticeFn notice);

    QPushButton* AddButton(int id, const QString& caption, int x, int y, int w, int h) {
        return m_layout.AddButton(id, caption, x, y, w, h);
    }
    QCheckBox* AddCheck(int id, const QString& caption, int x, int y, int w, int h) {
        return m_layout.AddCheck(id, caption, x, y, w, h);
    }
    QLabel* AddLabel(int id, const QString& caption, int x, int y, int w, int h,
                     Grow grow = Grow::Right) {
        return m_layout.AddLabel(id, caption, x, y, w, h, grow);
    }
    QGroupBox* AddGroup(const QString& caption, int x, int y, int w, int h) {
        return m_layout.AddGroup(-1, caption, x, y, w, h);
    }
    /// An edit limited to kTextLimit bytes.
    QLineEdit* AddEdit(int id, int x, int y, int w, int h);
    QSlider* AddSlider(int id, int x, int y, int w, int h) {
        return m_layout.AddSlider(id, x, y, w, h);
    }
    void Place(int id, QWidget* widget, int x, int y, int w, int h) {
        m_layout.Place(id, widget, x, y, w, h);
    }
    /// After the last control: frames grow around what they hold and the dialog around them.
    void FinishLayout();
    void Notice(const QString& text);

    /// Button 1 and Enter.
    virtual void OnOk() = 0;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CTemplateLayout m_layout;
    QSize m_templateSize;
    NoticeFn m_notice;
};

} // namespace palaverly
