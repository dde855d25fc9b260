#include "fake_platform.h"

#include <cstdint>
#include <cstring>
#include <functional>

namespace qelt::testing {

FakePlatform* FakePlatform::current_ = nullptr;

FakePlatform::FakePlatform()
    : platform_{load_library, free_library,  find_symbol, system_directory,
                debug_output, guarded, pin_module} {
  current_ = this;
}

FakePlatform::~FakePlatform() { current_ = nullptr; }

Module FakePlatform::add_module(std::vector<std::string> names) {
  Module module = reinterpret_cast<Module>(std::uintptr_t{0x10000} * next_module_++);
  for (auto& name : names) files_[name] = module;
  return module;
}

void FakePlatform::remove_symbol(Module module, const std::string& symbol) {
  missing_[module].insert(symbol);
}

void FakePlatform::place_symbol(Module module, const std::string& symbol, void* address) {
  placed_[{module, symbol}] = address;
}

void* FakePlatform::symbol(Module module, const std::string& symbol) const {
  auto missing = missing_.find(module);
  if (missing != missing_.end() && missing->second.count(symbol) != 0) return nullptr;
  auto placed = placed_.find({module, symbol});
  if (placed != placed_.end()) return placed->second;
  // Distinct, recognisable per module and name; never called.
  auto offset = std::hash<std::string>{}(symbol) % 0xFFF0 + 1;
  return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(module) + offset);
}

Module FakePlatform::load_library(const char* name) {
  current_->loads.push_back(name);
  auto file = current_->files_.find(name);
  if (file == current_->files_.end()) return nullptr;
  ++current_->references[file->second];
  return file->second;
}

void FakePlatform::free_library(Module module) {
  current_->frees.push_back(module);
  --current_->references[module];
}

void* FakePlatform::find_symbol(Module module, const char* name) {
  return current_->symbol(module, name);
}

unsigned FakePlatform::system_directory(char* buffer, unsigned capacity) {
  if (current_->system_dir_fails) return 0;
  const std::string& dir = current_->system_dir;
  if (dir.size() + 1 > capacity) return static_cast<unsigned>(dir.size() + 1);
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<unsigned>(dir.size());
}

void FakePlatform::debug_output(const char* line) { current_->messages.push_back(line); }

bool FakePlatform::guarded(void (*body)(void*), void* context) {
  if (current_->guard_faults) return false;
  body(context);
  return true;
}

void FakePlatform::pin_module(Module module) { current_->pinned.push_back(module); }

}  // namespace qelt::testing
