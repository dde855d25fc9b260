// The dispatch-table copies, and hooked calls reaching the driver's own entry of their own table.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dispatch_tables.h"
#include "identification_strings.h"

namespace qelt {
namespace {

std::atomic<int> g_calls[2];
const char kFromTable0[] = "table 0";
const char kFromTable1[] = "table 1";

const GLubyte* QELT_GLAPI get_string_0(GLenum) {
  ++g_calls[0];
  return reinterpret_cast<const GLubyte*>(kFromTable0);
}
const GLubyte* QELT_GLAPI get_string_1(GLenum) {
  ++g_calls[1];
  return reinterpret_cast<const GLubyte*>(kFromTable1);
}
void QELT_GLAPI tex_image_0(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                            const GLvoid*) {}
void QELT_GLAPI tex_image_1(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                            const GLvoid*) {}

// Two driver tables as the recognised build lays them out: the entry count in word 0.
struct FakeTables {
  DispatchWord table[2][kDispatchWords + 1] = {};
  FakeTables() {
    for (unsigned t = 0; t < 2; ++t) {
      table[t][0] = 336;
      for (unsigned w = 1; w <= kDispatchWords; ++w) table[t][w] = 0x1000 * (t + 1) + w;
    }
    table[0][kGetStringWord] = reinterpret_cast<DispatchWord>(&get_string_0);
    table[1][kGetStringWord] = reinterpret_cast<DispatchWord>(&get_string_1);
    table[0][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&tex_image_0);
    table[1][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&tex_image_1);
  }
};

TEST(DispatchTables, FillCopies407WordsOfEachTable) {
  FakeTables fake;
  fill_dispatch_copies(fake.table[0], fake.table[1]);
  for (unsigned t = 0; t < 2; ++t) {
    EXPECT_EQ(dispatch_copy_word(t, 0), 336u);
    EXPECT_EQ(dispatch_copy_word(t, 406), 0x1000u * (t + 1) + 406);
  }
  EXPECT_EQ(driver_get_string(0), &get_string_0);
  EXPECT_EQ(driver_get_string(1), &get_string_1);
  EXPECT_EQ(driver_tex_image_2d(0), &tex_image_0);
  EXPECT_EQ(driver_tex_image_2d(1), &tex_image_1);

  // Hooks written into the driver's tables afterwards never reach the copies.
  fake.table[0][kGetStringWord] = 0xDEAD;
  EXPECT_EQ(driver_get_string(0), &get_string_0);
}

TEST(DispatchTables, SelectorKeepsTheLastTable) {
  select_table(1);
  EXPECT_EQ(selected_table(), 1u);
  select_table(0);
  EXPECT_EQ(selected_table(), 0u);
}

// Calls through table 0 and table 1 at once, as two threads with contexts of either kind make
// them: each must reach its own table's glGetString, whatever the other thread selected.
TEST(DispatchTables, ConcurrentCallsReachTheirOwnTable) {
  FakeTables fake;
  fill_dispatch_copies(fake.table[0], fake.table[1]);
  g_calls[0] = g_calls[1] = 0;
  std::atomic<int> crossed{0};
  auto hammer = [&crossed](unsigned table, const char* expected) {
    for (int i = 0; i < 20000; ++i) {
      select_table(table);
      const GLubyte* text = identification_string(table, 0x1F10);  // passed through unchanged
      if (reinterpret_cast<const char*>(text) != expected) ++crossed;
    }
  };
  std::thread a(hammer, 0u, kFromTable0), b(hammer, 1u, kFromTable1);
  a.join();
  b.join();
  EXPECT_EQ(crossed, 0);
  EXPECT_EQ(g_calls[0], 20000);
  EXPECT_EQ(g_calls[1], 20000);
}

}  // namespace
}  // namespace qelt
