// Every caption of every dialog fits its control in the dialog font: nothing is clipped, and
// nothing leaves the dialog.

#include "DialogTestSupport.h"
#include "LayoutCheck.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CInfoDlg.h"
#include "dialogs/COptionDlg.h"
#include "dialogs/CPhraseDlg.h"
#include "wire/Datagram.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

// What a caption needs: its text on one line (or wrapped lines for a wrapping label) plus the
// control's own decoration.
QSize Needed(QWidget* w) {
    const QFontMetrics fm(w->font());
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QRect r =
            fm.boundingRect(QRect(0, 0, label->wordWrap() ? label->width() : 100000, 100000),
                            Qt::TextWordWrap, label->text());
        return r.size();
    }
    if (auto* check = qobject_cast<QCheckBox*>(w))
        return QSize(check->sizeHint().width(), fm.height());
    if (auto* button = qobject_cast<QPushButton*>(w))
        return QSize(fm.horizontalAdvance(QString(button->text()).remove('&')) + 6, fm.height());
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return QSize(fm.horizontalAdvance(group->title()) + 16, 0);
    return {};
}

QStringList Clipped(QDialog& dialog) {
    QStringList clipped;
    const QRect inside(QPoint(0, 0), dialog.size());
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisibleTo(&dialog))
            continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            text = group->title();
        if (!inside.contains(w->geometry()))
            clipped << text + " (outside)";
        const QSize need = Needed(w);
        if (need.width() > w->width() || need.height() > w->height())
            clipped << QStringLiteral("%1 needs %2x%3, has %4x%5")
                           .arg(text)
                           .arg(need.width())
                           .arg(need.height())
                           .arg(w->width())
                           .arg(w->height());
    }
    return clipped;
}

} // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void nothingIsClipped_data();
    void nothingIsClipped();
};

void DialogLayoutTest::nothingIsClipped_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"options", "phrases", "info", "about"})
        QTest::newRow(kind) << kind;
}

void DialogLayoutTest::nothingIsClipped() {
    QFETCH(QString, kind);
    CDialogUnderTest under(kind);
    const std::unique_ptr<CTemplateDialog>& dialog = under.dialog;
    dialog->show();
    const QStringList clipped = Clipped(*dialog);
    for (const QString& c : clipped)
        qInfo("%s", qPrintable(c));
    QCOMPARE(clipped, QStringList());

    // The style's own decoration counts, and no control runs past the frame that holds it.
    CTemplateDialog* templated = dialog.get();
    const QStringList defects = LayoutDefects(*dialog, &templated->Layout());
    for (const QString& d : defects)
        qInfo("%s", qPrintable(d));
    QCOMPARE(defects, QStringList());
    // What the fonts here made wider than the template, for the record.
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect placed = templated->Layout().TemplateRect(w);
        if (auto space = Space(w); space && !placed.isEmpty() && w->geometry() != placed)
            qInfo("grown: %s template %d,%d %dx%d now %d,%d %dx%d, text %d px",
                  qPrintable(space->text), placed.x(), placed.y(), placed.width(), placed.height(),
                  w->x(), w->y(), w->width(), w->height(), space->need);
    }
}

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"
