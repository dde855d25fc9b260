#include "dispatch_tables.h"

#include <atomic>
#include <cstring>

namespace qelt {
namespace {

DispatchWord g_copies[kDispatchTables][kDispatchWords];
std::atomic<unsigned> g_selected{0};

}  // namespace

void fill_dispatch_copies(const DispatchWord* table0, const DispatchWord* table1) {
  std::memcpy(g_copies[0], table0, sizeof g_copies[0]);
  std::memcpy(g_copies[1], table1, sizeof g_copies[1]);
}

DispatchWord dispatch_copy_word(unsigned table, unsigned word) {
  return g_copies[table & 1][word];
}

void select_table(unsigned table) { g_selected.store(table & 1, std::memory_order_relaxed); }

unsigned selected_table() { return g_selected.load(std::memory_order_relaxed); }

GetStringFunction driver_get_string(unsigned table) {
  return reinterpret_cast<GetStringFunction>(dispatch_copy_word(table, kGetStringWord));
}

TexImage2DFunction driver_tex_image_2d(unsigned table) {
  return reinterpret_cast<TexImage2DFunction>(dispatch_copy_word(table, kTexImage2DWord));
}

}  // namespace qelt
