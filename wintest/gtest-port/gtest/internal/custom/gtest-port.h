// GoogleTest's hook for local configuration, found before its own empty one.
//
// The win32-threads MinGW compiler has no std::mutex or std::condition_variable, which
// GoogleTest's Notification is made of; everything else of its Windows threading support
// uses the Win32 API. Notification only starts threads of GoogleTest's own tests, so a
// spinning flag serves.
#ifndef BEATCLONE_WINTEST_GTEST_PORT_H
#define BEATCLONE_WINTEST_GTEST_PORT_H

#include <atomic>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) std::this_thread::yield();
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace internal
} // namespace testing

#endif
