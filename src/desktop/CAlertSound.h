#pragma once
// The alert's wave file, played without blocking through libcanberra, which is loaded only
// when the first alert sounds; the system beep when it cannot be played.

#include <string>

namespace palaverly {

class CAlertSound {
public:
    CAlertSound() = default;
    ~CAlertSound();
    CAlertSound(const CAlertSound&) = delete;
    CAlertSound& operator=(const CAlertSound&) = delete;

    /// Starts playing `pathUtf8`; false when libcanberra is missing or refuses the file.
    bool Play(const std::string& pathUtf8);

private:
    bool Load();

    void* m_library = nullptr;
    void* m_context = nullptr;
    bool m_tried = false;
    int (*m_play)(void*, unsigned, ...) = nullptr;
    int (*m_destroy)(void*) = nullptr;
};

} // namespace palaverly
