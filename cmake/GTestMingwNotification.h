// GoogleTest's Notification is written with std::mutex, which the win32
// thread model of Debian's mingw-w64 compilers does not provide. This stands
// in for it with a Win32 event; it is force-included ahead of GoogleTest.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

} // namespace internal
} // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
