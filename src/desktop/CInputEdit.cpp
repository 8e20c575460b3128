#include "desktop/CInputEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace palaverly {

CInputEdit::CInputEdit(QWidget* parent) : QLineEdit(parent) {}

void CInputEdit::keyPressEvent(QKeyEvent* event) {
    QLineEdit::keyPressEvent(event);
    // Only keys that produce a character, as a WM_CHAR would; arrows and the like do not.
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        emit Activity();
    else if (event->key() == Qt::Key_Backspace)
        emit Activity();
}

void CInputEdit::inputMethodEvent(QInputMethodEvent* event) {
    QLineEdit::inputMethodEvent(event);
    if (!event->commitString().isEmpty())
        emit Activity();
}

} // namespace palaverly
