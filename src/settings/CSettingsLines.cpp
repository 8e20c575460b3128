#include "settings/CSettingsLines.h"

namespace palaverly {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

} // namespace

CSettingsLines CSettingsLines::Parse(std::string_view fileText) {
    CSettingsLines lines;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find('\n', start);
        if (end == std::string_view::npos)
            end = fileText.size();
        lines.m_lines.emplace_back(fileText.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<CSettingsLines::Entry> CSettingsLines::EntryAt(std::size_t index) const {
    std::string_view line = m_lines[index];
    if (index == 0 && line.starts_with(kBom))
        line.remove_prefix(kBom.size());
    if (line.empty() || line.front() == '#')
        return std::nullopt;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    std::string_view value = line.substr(eq + 1);
    // A raw CR can only be a Windows line end: ours are written escaped.
    if (value.ends_with('\r'))
        value.remove_suffix(1);
    return Entry{line.substr(0, eq), value};
}

std::optional<std::size_t> CSettingsLines::IndexOf(std::string_view name) const {
    for (std::size_t i = m_lines.size(); i-- > 0;) {
        auto entry = EntryAt(i);
        if (entry && entry->name == name)
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> CSettingsLines::Find(std::string_view name) const {
    auto index = IndexOf(name);
    if (!index)
        return std::nullopt;
    return Unescape(EntryAt(*index)->value);
}

void CSettingsLines::Set(std::string_view name, std::string_view value) {
    std::string line(name);
    line += '=';
    line += Escape(value);
    auto index = IndexOf(name);
    if (!index) {
        m_lines.push_back(std::move(line));
        return;
    }
    if (*index == 0 && m_lines[0].starts_with(kBom))
        line.insert(0, kBom);
    m_lines[*index] = std::move(line);
}

std::string CSettingsLines::Text() const {
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CSettingsLines::IsValidName(std::string_view name) {
    return !name.empty() && name.front() != '#' &&
           name.find_first_of("=\r\n") == std::string_view::npos;
}

std::string CSettingsLines::Escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string CSettingsLines::Unescape(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        char c = stored[i];
        if (c != '\\' || i + 1 == stored.size()) {
            out += c;
            continue;
        }
        char next = stored[i + 1];
        if (next == '\\')
            out += '\\';
        else if (next == 'n')
            out += '\n';
        else if (next == 'r')
            out += '\r';
        else {
            // Hand-edited paths such as C:\temp keep their backslash.
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

} // namespace palaverly
