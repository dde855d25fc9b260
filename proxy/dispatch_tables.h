// Private copies of the underlying driver's two internal dispatch tables, taken before any of its
// slots is hooked, so that hooked calls can still reach the driver's own functions.
#pragma once

#include <cstdint>

#include "gl_types.h"

namespace qelt {

using DispatchWord = std::uintptr_t;

constexpr unsigned kDispatchTables = 2;
constexpr unsigned kDispatchWords = 407;  // word 0: entry count; dispatch entry n at word n + 1
constexpr unsigned kTexImage2DWord = 184;
constexpr unsigned kGetStringWord = 276;

// Copies 407 words of each table; done once, before the hooks are written.
void fill_dispatch_copies(const DispatchWord* table0, const DispatchWord* table1);

// Word `word` of copy `table` (0 or 1).
DispatchWord dispatch_copy_word(unsigned table, unsigned word);

// The table through which the latest hooked call came in. Hooks record it; every routine receives
// its table as an argument instead, so concurrent calls through both tables stay apart.
void select_table(unsigned table);
unsigned selected_table();

// The driver's own entries for a call that came in through `table`.
GetStringFunction driver_get_string(unsigned table);
TexImage2DFunction driver_tex_image_2d(unsigned table);

}  // namespace qelt
