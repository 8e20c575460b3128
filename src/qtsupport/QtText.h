#pragma once
// The one crossing between the core's CP932 byte strings and colours and Qt's QString and
// QColor: every widget that shows or takes a core text or colour goes through here.

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace palaverly {

/// A CP932 byte string as a QString (bytes that do not decode become U+FFFD).
QString FromCp932(std::string_view cp932);
/// The CP932 bytes of `text`, or nothing when a character has no CP932 form.
std::optional<std::string> ToCp932(const QString& text);
/// The CP932 bytes of `text`, characters without a CP932 form replaced.
std::string ToCp932Lossy(const QString& text);

/// A COLORREF (0x00BBGGRR) as a QColor.
QColor FromColorRef(std::int32_t colorRef);
/// A QColor as a COLORREF (0x00BBGGRR); alpha is dropped.
std::int32_t ToColorRef(const QColor& colour);

} // namespace palaverly
