#pragma once
// Keeps an edit's text within a CP932 byte limit and free of characters that CP932 cannot
// represent, so that what is sent is what was typed.

#include <QValidator>
#include <functional>

namespace palaverly {

class CCp932Validator : public QValidator {
    Q_OBJECT
public:
    enum class Refusal { TooLong, Unrepresentable };
    using HintFn = std::function<void(Refusal)>;

    CCp932Validator(int byteLimit, HintFn hint, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;
    int ByteLimit() const { return m_byteLimit; }

    /// The CP932 length of `text`, or -1 when a character cannot be represented.
    static int Cp932Length(const QString& text);
    /// The longest prefix of `text` that fits in `bytes` CP932 bytes (whole characters).
    static QString CutToBytes(const QString& text, int bytes);
    /// The hint shown for a refusal.
    static QString HintText(Refusal refusal, int byteLimit);

private:
    int m_byteLimit;
    HintFn m_hint;
};

} // namespace palaverly
