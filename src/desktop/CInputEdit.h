#pragma once
// The message edit: every character typed counts as user activity for the auto-hide.

#include <QLineEdit>

namespace palaverly {

class CInputEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CInputEdit(QWidget* parent = nullptr);

signals:
    /// A character was typed (after the edit has taken it).
    void Activity();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
};

} // namespace palaverly
