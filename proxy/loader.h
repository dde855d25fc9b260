// Process attach and detach: finding the underlying driver, binding every entry point, and the
// references that keep both libraries loaded for the rest of the process.
#pragma once

#include "platform.h"

namespace qelt {

struct LoaderState {
  Module own = nullptr;                 // recorded on every call of the attach/detach entry
  Module underlying = nullptr;          // non-null once a candidate was loaded
  const char* own_name = nullptr;       // "qeltogl.dll", "opengl32.dll" or none
  const char* candidate_name = nullptr; // name or path the underlying driver was loaded under
  char system_path[512] = {};           // the third candidate, kept so candidate_name stays valid
};

enum AttachReason : unsigned {
  kProcessDetach = 0,
  kProcessAttach = 1,
  kThreadAttach = 2,
  kThreadDetach = 3,
};

// Finds and binds the underlying driver, filling `table` in resolution order.
bool load_underlying_driver(const Platform& platform, LoaderState& state, void** table);

// The library's attach/detach entry: true unless a process attach failed.
bool process_entry(const Platform& platform, LoaderState& state, void** table, Module self,
                   unsigned reason);

}  // namespace qelt
