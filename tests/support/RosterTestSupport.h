#pragma once
// Helpers shared by the roster tests: a private temporary folder, a fixed-width font, a clock.

#include "sys/Clock.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace palaverly::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class CTempDir {
public:
    CTempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "roster-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = templ;
    }
    ~CTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// One pixel per byte: widths are easy to reason about.
inline int ByteWidth(std::string_view text) {
    return static_cast<int>(text.size());
}

/// A clock that stands still at `time` until the test moves it.
struct CFixedClock {
    LocalTime now{2026, 12, 8, 9, 5, 7, 0};
    Clock AsClock() {
        return [this] { return now; };
    }
};

inline std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace palaverly::test
