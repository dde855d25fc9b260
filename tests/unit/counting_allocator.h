// Counts the surface module's allocations and frees while alive, and refuses allocations on
// request. One at a time: it replaces the module's allocator and puts the old one back.
#pragma once

#include <cstdlib>
#include <vector>

#include "memory_surface.h"

namespace qelt {

class CountingAllocator {
 public:
  CountingAllocator() : saved_(surface_allocator()) {
    current_ = this;
    surface_allocator() = {&allocate, &release};
  }
  ~CountingAllocator() { surface_allocator() = saved_; }

  std::vector<std::size_t> allocated;
  std::vector<void*> released;
  int refuse_from = 1 << 30;  // the first refused allocation, counting from 1

 private:
  static void* allocate(std::size_t bytes) {
    if (static_cast<int>(current_->allocated.size()) + 1 >= current_->refuse_from) return nullptr;
    current_->allocated.push_back(bytes);
    return std::malloc(bytes);
  }
  static void release(void* block) {
    current_->released.push_back(block);
    std::free(block);
  }
  static inline CountingAllocator* current_ = nullptr;
  SurfaceAllocator saved_;
};

}  // namespace qelt
