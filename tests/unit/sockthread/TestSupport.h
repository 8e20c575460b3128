#pragma once
// Helpers for tests of classes derived from the socket-thread family.

#include <atomic>
#include <string>
#include <sys/socket.h>

namespace palaverly::test {

/// A writable copy of a text, for the operations of the family that take `char *`.
class Writable {
public:
    explicit Writable(std::string text) : m_text(std::move(text)) {}
    operator char*() { return m_text.data(); }

private:
    std::string m_text;
};

/// Ends the body before the members of the class that supplies it go, as every module deriving
/// from the family must: the body runs as Body(), and EndBody(), called first in the
/// destructor, wakes a body blocked on the socket, lifts its suspension and waits until it has
/// returned. A body that has not been entered yet is not waited for.
template <class Base> class EndsBodyFirst : public Base {
public:
    using Base::Base;
    EndsBodyFirst(const EndsBodyFirst& other) : Base(other) {}
    EndsBodyFirst& operator=(const EndsBodyFirst& other) {
        Base::operator=(other);
        return *this;
    }

protected:
    virtual int Body() = 0;

    int ThreadBody() final {
        m_entered = true;
        const int result = Body();
        m_returned = true;
        m_returned.notify_all();
        return result;
    }

    void EndBody() {
        if (!m_entered || m_returned)
            return;
        ::shutdown(static_cast<int>(this->CurrentSocket()), SHUT_RDWR);
        while (Base::Resume() > 1) {
        }
        m_returned.wait(false);
    }

private:
    std::atomic<bool> m_entered{false};
    std::atomic<bool> m_returned{false};
};

} // namespace palaverly::test
