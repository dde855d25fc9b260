#include "loader.h"

#include <cstring>

#include "dispatch_hooks.h"
#include "entry_table.h"

namespace qelt {
namespace {

constexpr char kProxyName[] = "qeltogl.dll";
constexpr char kSystemOpenGLName[] = "opengl32.dll";
constexpr char kVendorName[] = "qelticd.dll";
constexpr char kSystemSuffix[] = "\\qeltogl.dll";
constexpr unsigned kPathLimit = 511;

// Loads `name` and tells whether it is this very library; the probe's reference is dropped.
bool is_own_name(const Platform& platform, const LoaderState& state, const char* name) {
  Module probe = platform.load_library(name);
  if (probe == nullptr) return false;
  bool own = probe == state.own;
  platform.free_library(probe);
  return own;
}

// Builds "<system directory>\qeltogl.dll" in the state's buffer; false when the directory is
// unavailable or the path would not fit in 511 characters.
bool build_system_candidate(const Platform& platform, LoaderState& state) {
  unsigned length = platform.system_directory(state.system_path, kPathLimit);
  if (length == 0 || length >= kPathLimit) return false;
  std::size_t suffix = sizeof kSystemSuffix - 1;
  if (length + suffix > kPathLimit) return false;
  std::memcpy(state.system_path + length, kSystemSuffix, suffix + 1);
  return true;
}

// Loads one candidate; a handle that turns out to be the proxy itself is reported and dropped.
bool try_candidate(const Platform& platform, LoaderState& state, const char* name,
                   const char* self_message) {
  state.candidate_name = name;
  state.underlying = platform.load_library(name);
  if (state.underlying != nullptr && state.underlying == state.own) {
    platform.debug_output(self_message);
    platform.free_library(state.underlying);
    state.underlying = nullptr;
    state.candidate_name = nullptr;
  }
  if (state.underlying == nullptr) state.candidate_name = nullptr;
  return state.underlying != nullptr;
}

}  // namespace

bool load_underlying_driver(const Platform& platform, LoaderState& state, void** table) {
  if (state.underlying != nullptr) return true;

  if (is_own_name(platform, state, kProxyName)) {
    state.own_name = kProxyName;
  } else if (is_own_name(platform, state, kSystemOpenGLName)) {
    state.own_name = kSystemOpenGLName;
  }

  bool found = try_candidate(platform, state, kVendorName, "hThis == hImported -> qelticd.dll\n") ||
               try_candidate(platform, state, kProxyName, "hThis == hImported -> qeltogl.dll\n") ||
               (build_system_candidate(platform, state) &&
                try_candidate(platform, state, state.system_path,
                              "hThis == hImported -> %SYSTEM_DIR%\\qeltogl.dll\n"));
  if (!found) {
    platform.debug_output("qelticd/qeltogl not found.\n");
    return false;
  }

  for (unsigned i = 0; i < kEntryCount; ++i) {
    table[i] = platform.find_symbol(state.underlying, kEntryNames[i]);
    if (table[i] == nullptr) return false;
  }

  // Extra references, never released: the driver must outlive every context, and the proxy must
  // stay loaded as long as the driver may call its hooks.
  platform.load_library(state.candidate_name);
  if (state.own_name != nullptr) platform.load_library(state.own_name);

  install_dispatch_hooks(platform, state, table);
  return true;
}

bool process_entry(const Platform& platform, LoaderState& state, void** table, Module self,
                   unsigned reason) {
  state.own = self;
  switch (reason) {
    case kProcessAttach:
      return load_underlying_driver(platform, state, table);
    case kProcessDetach:
      if (state.underlying != nullptr) platform.free_library(state.underlying);
      return true;
    default:
      return true;
  }
}

}  // namespace qelt
