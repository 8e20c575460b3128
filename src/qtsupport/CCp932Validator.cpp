#include "qtsupport/CCp932Validator.h"

#include "qtsupport/QtText.h"
#include "text/Cp932.h"

namespace palaverly {

CCp932Validator::CCp932Validator(int byteLimit, HintFn hint, QObject* parent)
    : QValidator(parent), m_byteLimit(byteLimit), m_hint(std::move(hint)) {}

int CCp932Validator::Cp932Length(const QString& text) {
    auto sjis = ToCp932(text);
    return sjis ? static_cast<int>(sjis->size()) : -1;
}

QString CCp932Validator::CutToBytes(const QString& text, int bytes) {
    auto sjis = ToCp932(text);
    if (!sjis)
        return {};
    return FromCp932(cp932::CutToBytes(*sjis, bytes));
}

QValidator::State CCp932Validator::validate(QString& input, int& /*pos*/) const {
    const int length = Cp932Length(input);
    Refusal refusal;
    if (length < 0)
        refusal = Refusal::Unrepresentable;
    else if (length > m_byteLimit)
        refusal = Refusal::TooLong;
    else
        return Acceptable;
    if (m_hint)
        m_hint(refusal);
    return Invalid;
}

QString CCp932Validator::HintText(Refusal refusal, int byteLimit) {
    if (refusal == Refusal::Unrepresentable)
        return QStringLiteral("この文字は送れません (Shift_JIS にない文字です)");
    return QStringLiteral("これ以上入力できません (全角%1文字・半角%2文字まで)")
        .arg(byteLimit / 2)
        .arg(byteLimit);
}

} // namespace palaverly
