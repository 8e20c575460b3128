#include "qtsupport/CTextLimitValidator.h"

#include <QLineEdit>
#include <QPointer>
#include <QToolTip>

namespace palaverly {

CTextLimitValidator::CTextLimitValidator(int byteLimit, HintFn hint, QObject* parent)
    : CCp932Validator(byteLimit, std::move(hint), parent), m_ceiling(byteLimit) {}

QValidator::State CTextLimitValidator::validate(QString& input, int& pos) const {
    const int length = Cp932Length(input);
    if (length > ByteLimit() && length <= m_ceiling) {
        // Shortening an over-long text: allowed, and it may not grow back.
        m_ceiling = length;
        return Intermediate;
    }
    const State state = CCp932Validator::validate(input, pos);
    if (state == Acceptable)
        m_ceiling = ByteLimit();
    return state;
}

CTextLimitValidator* CTextLimitValidator::Install(QLineEdit* edit, int byteLimit) {
    QPointer<QLineEdit> guard(edit);
    auto* validator = new CTextLimitValidator(
        byteLimit,
        [guard, byteLimit](Refusal refusal) {
            if (guard)
                QToolTip::showText(guard->mapToGlobal(QPoint(0, guard->height())),
                                   HintText(refusal, byteLimit), guard);
        },
        edit);
    edit->setValidator(validator);
    return validator;
}

void CTextLimitValidator::SetText(QLineEdit* edit, const QString& text) {
    if (auto* validator = qobject_cast<const CTextLimitValidator*>(edit->validator()))
        validator->m_ceiling = std::max(validator->ByteLimit(), Cp932Length(text));
    edit->setText(text);
    edit->setCursorPosition(0); // a long path shows its beginning
}

bool CTextLimitValidator::Fits(const QLineEdit* edit) {
    auto* validator = qobject_cast<const CTextLimitValidator*>(edit->validator());
    const int length = Cp932Length(edit->text());
    return length >= 0 && (!validator || length <= validator->ByteLimit());
}

} // namespace palaverly
