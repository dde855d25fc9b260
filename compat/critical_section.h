// A lock for the process-wide state of the hooks. On Windows it is a critical section: MinGW's
// std::mutex sits on a threading library that imports functions of Windows XP and later, which
// the DLL must not. The host builds use std::mutex. Either way it knows its owner, so that a
// call re-entering on the thread that holds it can be told apart from a wait for another thread.
#pragma once

#include <atomic>
#include <mutex>  // std::lock_guard holds it

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace qelt {

class CriticalSection {
 public:
#ifdef _WIN32
  using ThreadId = DWORD;
  static ThreadId current_thread() { return GetCurrentThreadId(); }
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  void lock() {
    EnterCriticalSection(&section_);
    owner_.store(current_thread(), std::memory_order_relaxed);
  }
  void unlock() {
    owner_.store(ThreadId(), std::memory_order_relaxed);
    LeaveCriticalSection(&section_);
  }
#else
  using ThreadId = std::thread::id;
  static ThreadId current_thread() { return std::this_thread::get_id(); }
  CriticalSection() = default;
  void lock() {
    mutex_.lock();
    owner_.store(current_thread(), std::memory_order_relaxed);
  }
  void unlock() {
    owner_.store(ThreadId(), std::memory_order_relaxed);
    mutex_.unlock();
  }
#endif
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // True only on the thread inside lock()..unlock(); any other thread reads someone else's id or
  // none, never its own.
  bool held_by_caller() const { return owner_.load(std::memory_order_relaxed) == current_thread(); }

 private:
#ifdef _WIN32
  CRITICAL_SECTION section_;
#else
  std::mutex mutex_;
#endif
  std::atomic<ThreadId> owner_{ThreadId()};
};

}  // namespace qelt
