#include "qtsupport/QtText.h"

#include "text/Cp932.h"

namespace palaverly {

QString FromCp932(std::string_view cp932) {
    return QString::fromStdString(cp932::ToUtf8(cp932));
}

std::optional<std::string> ToCp932(const QString& text) {
    return cp932::FromUtf8(text.toStdString());
}

std::string ToCp932Lossy(const QString& text) {
    return cp932::FromUtf8Lossy(text.toStdString());
}

QColor FromColorRef(std::int32_t colorRef) {
    const auto c = static_cast<std::uint32_t>(colorRef);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

std::int32_t ToColorRef(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

} // namespace palaverly
