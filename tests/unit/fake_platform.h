// A recording stand-in for the system services of the loader: files that load under given names,
// modules with reference counts and symbols, a system directory, and the debugger channel.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace qelt::testing {

class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // A module whose file answers to `names` (plain names or full paths).
  Module add_module(std::vector<std::string> names);
  void remove_symbol(Module module, const std::string& symbol);

  // Gives `symbol` of `module` exactly this address.
  void place_symbol(Module module, const std::string& symbol, void* address);

  // The address `module` gives for `symbol`, or null if it has none.
  void* symbol(Module module, const std::string& symbol) const;

  const Platform& platform() const { return platform_; }

  std::string system_dir = "C:\\WINDOWS\\SYSTEM";
  bool system_dir_fails = false;

  std::vector<std::string> loads;      // every load request, in order
  std::vector<Module> frees;           // every release, in order
  std::vector<std::string> messages;   // debugger channel lines
  std::map<Module, int> references;    // loads minus frees, per module
  bool guard_faults = false;           // the guarded body stops at once, as on a fault
  std::vector<Module> pinned;          // every module pinned, in order

 private:
  static Module load_library(const char* name);
  static void free_library(Module module);
  static void* find_symbol(Module module, const char* name);
  static unsigned system_directory(char* buffer, unsigned capacity);
  static void debug_output(const char* line);
  static bool guarded(void (*body)(void*), void* context);
  static void pin_module(Module module);

  static FakePlatform* current_;
  Platform platform_;
  std::map<std::string, Module> files_;
  std::map<Module, std::set<std::string>> missing_;
  std::map<std::pair<Module, std::string>, void*> placed_;
  unsigned next_module_ = 1;
};

}  // namespace qelt::testing
