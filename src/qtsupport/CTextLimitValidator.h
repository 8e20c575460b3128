#pragma once
// The byte limit of the dialogs' edits: what is typed must come back from the settings file,
// so no edit takes more than the read limit allows. A longer text that the program itself puts
// in (the built-in local message) may stand and be shortened, but never grow.

#include "qtsupport/CCp932Validator.h"

class QLineEdit;

namespace palaverly {

class CTextLimitValidator : public CCp932Validator {
    Q_OBJECT
public:
    CTextLimitValidator(int byteLimit, HintFn hint, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;

    /// Installs a validator of `byteLimit` bytes on `edit`; a refusal shows its hint below it.
    static CTextLimitValidator* Install(QLineEdit* edit, int byteLimit);
    /// Sets `text` into an edit limited by Install, even when it is longer than the limit.
    static void SetText(QLineEdit* edit, const QString& text);
    /// Whether the text of such an edit fits its limit.
    static bool Fits(const QLineEdit* edit);

private:
    mutable int m_ceiling; // the longest text allowed now: the limit, or a longer one set
};

} // namespace palaverly
