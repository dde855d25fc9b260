// Collects the lines a process writes with OutputDebugStringA. Wine (like Windows) raises
// DBG_PRINTEXCEPTION_C for each line; a vectored handler sees it first, even during a DLL attach.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DebugChannel {
 public:
  DebugChannel() { handler_ = AddVectoredExceptionHandler(1, &DebugChannel::collect); }
  ~DebugChannel() { RemoveVectoredExceptionHandler(handler_); }
  DebugChannel(const DebugChannel&) = delete;
  DebugChannel& operator=(const DebugChannel&) = delete;

  static std::vector<std::string>& lines() {
    static std::vector<std::string> collected;
    return collected;
  }

 private:
  static LONG CALLBACK collect(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
      return EXCEPTION_CONTINUE_SEARCH;
    lines().emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_EXECUTION;
  }

  void* handler_;
};
