// The few system services the loader needs, as plain function pointers so that the loader runs
// unchanged against Windows or against a recording stand-in in the host tests. The forwarding
// stubs and every hot path bypass this entirely.
#pragma once

namespace qelt {

using Module = void*;

struct Platform {
  // Loads a library by name or path; null when it cannot be loaded.
  Module (*load_library)(const char* name);
  void (*free_library)(Module module);
  void* (*find_symbol)(Module module, const char* name);
  // Writes the system directory into `buffer` (at most `capacity` bytes, terminator included).
  // Returns its length, or a value of at least `capacity` when it does not fit, or 0 on failure.
  unsigned (*system_directory)(char* buffer, unsigned capacity);
  // One line for the debugger output channel.
  void (*debug_output)(const char* line);
  // Runs body(context) under a structured-exception guard: false when a processor exception
  // (an access violation, say) stopped it, true when it ran to its end.
  bool (*guarded)(void (*body)(void* context), void* context);
  // Keeps `module` loaded for the rest of the process.
  void (*pin_module)(Module module);
};

#ifdef _WIN32
// The binding to the running Windows system.
const Platform& system_platform();
#endif

}  // namespace qelt
