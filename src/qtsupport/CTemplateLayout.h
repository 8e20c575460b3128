#pragma once
// The controls of a dialog template on a widget: placed in dialog units and created in template
// order (which is the tab order), found by their ids, captions grown to what the fonts found
// here need, group frames drawn through their captions and grown around what they hold, and
// Enter taken as a dialog takes it. The dialogs and the chat window each own one.

#include "qtsupport/CDialogUnits.h"

#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;

namespace palaverly {

class CGroupRestyler;

class CTemplateLayout {
public:
    /// Which way a label grows when its caption is wider than the template made it.
    enum class Grow { Right, Left };

    /// Controls are created as children of `owner`, which outlives the layout.
    CTemplateLayout(QWidget& owner, const CDialogUnits& units);
    CTemplateLayout(const CTemplateLayout&) = delete;
    CTemplateLayout& operator=(const CTemplateLayout&) = delete;

    const CDialogUnits& Units() const { return m_units; }
    QRect ToPixels(int x, int y, int w, int h) const { return m_units.ToPixels(x, y, w, h); }

    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }

    /// Puts `widget` at the template rectangle; an id of -1 leaves it out of the id map.
    void Place(int id, QWidget* widget, int x, int y, int w, int h);
    QPushButton* AddButton(int id, const QString& caption, int x, int y, int w, int h);
    QCheckBox* AddCheck(int id, const QString& caption, int x, int y, int w, int h);
    QLabel* AddLabel(int id, const QString& caption, int x, int y, int w, int h,
                     Grow grow = Grow::Right);
    QGroupBox* AddGroup(int id, const QString& caption, int x, int y, int w, int h);
    /// Places an edit made by the caller (who chooses its class and validator).
    QLineEdit* AddEdit(int id, QLineEdit* edit, int x, int y, int w, int h);
    QSlider* AddSlider(int id, int x, int y, int w, int h);

    /// Grows a caption's control to what its text needs in this font, around the template
    /// rectangle: the templates were drawn for a Gothic whose lines and full-width digits are
    /// narrower than those of the fonts found here.
    static void FitCaption(QWidget* widget, QSize need, Grow grow);
    /// What a push button needs for its caption: the text plus the style's margins.
    static QSize ButtonNeed(const QPushButton* button);

    /// After the last control: every group frame grows to hold the controls that the template
    /// puts in it, with the margin the template gives; what lies to the right of a grown frame
    /// moves right by as much. Returns how much wider the whole layout became, in pixels.
    /// Then every control gets its accessible name (NameControls).
    int FitFrames();
    /// Accessible names for assistive technology: a button or check box is named by its
    /// caption without the mnemonic; an edit, slider or list by the label just left of it or
    /// just above it, else by the innermost group that frames it, else by the window title.
    /// Labels and groups keep Qt's own name, their (changing) text. A name set beforehand
    /// stays.
    void NameControls();
    /// A caption as a name: "送信(&S)" is "送信", "&Open" is "Open", "&&" is "&".
    static QString NameOfCaption(const QString& caption);
    /// The rectangle that holds every control (origin included).
    QRect Extent() const;
    /// Where the template put `widget`, in pixels, before any caption or frame grew; an
    /// empty rectangle for a widget the layout did not place.
    QRect TemplateRect(const QWidget* widget) const;

    /// Enter as in a dialog: a focused push button takes it as its click, anywhere else it is
    /// `ok`. True when the key was Enter (and has been taken).
    static bool TakeEnter(QKeyEvent* event, QWidget* focus, const std::function<void()>& ok);

private:
    struct Group {
        QGroupBox* box;
        QRect templateRect; // in pixels, as placed before any fitting
    };

    QWidget& m_owner;
    CDialogUnits m_units;
    std::map<int, QWidget*> m_controls;
    std::vector<QWidget*> m_order;            // every placed widget, in template order
    std::map<const QWidget*, QRect> m_placed; // the template rectangle of each, in pixels
    std::vector<Group> m_groups;
    CGroupRestyler* m_restyler = nullptr; // a child of the owner, made with the first group
};

} // namespace palaverly
