#pragma once
// A dialog laid out from its template: controls placed in dialog units and created in template
// order (which is the tab order), found by their ids, Enter taken as the OK action.

#include "qtsupport/CDialogUnits.h"

#include <QDialog>
#include <functional>
#include <map>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace palaverly {

class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    /// Shows a message the user must read (caption, text); tests record it instead.
    using NoticeFn = std::function<void(QWidget* owner, const QString& caption, const QString&)>;

    /// Longest text an edit takes, in CP932 bytes: the settings file reads back no more.
    static constexpr int kTextLimit = 127;

    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    const CDialogUnits& Units() const { return m_units; }

protected:
    CTemplateDialog(const CDialogUnits& units, const QString& title, int width, int height,
                    NoticeFn notice);

    QPushButton* AddButton(int id, const QString& caption, int x, int y, int w, int h);
    QCheckBox* AddCheck(int id, const QString& caption, int x, int y, int w, int h);
    /// Which way a label grows when its caption is wider than the template made it.
    enum class Grow { Right, Left };
    QLabel* AddLabel(int id, const QString& caption, int x, int y, int w, int h,
                     Grow grow = Grow::Right);
    QGroupBox* AddGroup(const QString& caption, int x, int y, int w, int h);
    QLineEdit* AddEdit(int id, int x, int y, int w, int h);
    QSlider* AddSlider(int id, int x, int y, int w, int h);
    void Place(int id, QWidget* widget, int x, int y, int w, int h);
    void Notice(const QString& text);
    /// Grows a caption's control to what its text needs in this font, around the template
    /// rectangle: the templates were drawn for a Gothic whose lines and full-width digits are
    /// narrower than those of the fonts found here.
    void FitCaption(QWidget* widget, QSize need, Grow grow);

    /// Button 1 and Enter.
    virtual void OnOk() = 0;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CDialogUnits m_units;
    NoticeFn m_notice;
    std::map<int, QWidget*> m_controls;
};

} // namespace palaverly
