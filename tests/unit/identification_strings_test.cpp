// The identification appended to the driver's strings, and the per-name cache of the copies.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "identification_strings.h"

namespace qelt {
namespace {

// What the fake driver returns for each name; tests swap the pointers.
const char* g_answer[4];
const char* g_other = nullptr;

const GLubyte* QELT_GLAPI fake_get_string(GLenum name) {
  const char* text =
      name >= GL_VENDOR && name <= GL_EXTENSIONS ? g_answer[name - GL_VENDOR] : g_other;
  return reinterpret_cast<const GLubyte*>(text);
}

std::atomic<int> g_allocations, g_releases;
std::vector<std::size_t> g_sizes;
bool g_fail_allocation = false;

void* counting_allocate(std::size_t size) {
  if (g_fail_allocation) return nullptr;
  ++g_allocations;
  g_sizes.push_back(size);
  return std::malloc(size);
}

void counting_release(void* block) {
  ++g_releases;
  std::free(block);
}

class IdentificationStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_allocations = g_releases = 0;
    g_sizes.clear();
    g_fail_allocation = false;
    g_other = nullptr;
    for (auto& answer : g_answer) answer = "";
  }
  std::string get(GLenum name) {
    const GLubyte* text = strings.get(fake_get_string, name);
    return text ? reinterpret_cast<const char*>(text) : "(null)";
  }

  IdentificationStrings strings{counting_allocate, counting_release};
};

TEST_F(IdentificationStringsTest, IdentificationIsAppendedDirectly) {
  g_answer[0] = "Vendor Inc.";
  g_answer[1] = "Board 3000";
  g_answer[2] = "1.1.0";
  EXPECT_EQ(get(GL_VENDOR), "Vendor Inc. and Ostrel");
  EXPECT_EQ(get(GL_RENDERER), "Board 3000/Parlox Build 0106");
  EXPECT_EQ(get(GL_VERSION), "1.1.0 Parlox");
  // The text, the appended text and the terminator, plus the same bookkeeping for each copy.
  ASSERT_EQ(g_sizes.size(), 3u);
  EXPECT_GE(g_sizes[0], 11u + 11 + 1);
  EXPECT_EQ(g_sizes[0] - (11 + 11 + 1), g_sizes[1] - (10 + 18 + 1));
  EXPECT_EQ(g_sizes[0] - (11 + 11 + 1), g_sizes[2] - (5 + 7 + 1));
}

TEST_F(IdentificationStringsTest, SameUnderlyingPointerGivesTheSameCopyWithoutAllocating) {
  g_answer[0] = "Vendor";
  const GLubyte* first = strings.get(fake_get_string, GL_VENDOR);
  const GLubyte* second = strings.get(fake_get_string, GL_VENDOR);
  EXPECT_EQ(first, second);
  EXPECT_EQ(g_allocations, 1);
}

TEST_F(IdentificationStringsTest, ChangedPointerGetsACopyOfItsOwnAndEarlierCopiesStayValid) {
  static const char p1[] = "Vendor";
  static const char p2[] = "Vendor";  // same text, another pointer: keyed by address
  g_answer[0] = p1;
  const GLubyte* first = strings.get(fake_get_string, GL_VENDOR);
  g_answer[0] = p2;
  const GLubyte* second = strings.get(fake_get_string, GL_VENDOR);
  g_answer[0] = p1;
  EXPECT_EQ(strings.get(fake_get_string, GL_VENDOR), first);
  EXPECT_NE(second, first);
  EXPECT_STREQ(reinterpret_cast<const char*>(first), "Vendor and Ostrel");
  EXPECT_EQ(g_allocations, 2);
  EXPECT_EQ(g_releases, 0);
}

TEST_F(IdentificationStringsTest, CacheEntriesBelongToOneNameEach) {
  g_answer[0] = "V";
  g_answer[2] = "1.1";
  const GLubyte* vendor = strings.get(fake_get_string, GL_VENDOR);
  EXPECT_EQ(get(GL_VERSION), "1.1 Parlox");
  EXPECT_EQ(strings.get(fake_get_string, GL_VENDOR), vendor);
  EXPECT_EQ(g_releases, 0);
}

TEST_F(IdentificationStringsTest, PaletteExtensionsAreAddedAsNamesOfTheirOwn) {
  struct Case {
    const char* list;
    const char* augmented;
  } const cases[] = {
      {"GL_A ", "GL_A GL_EXT_paletted_texture GL_EXT_shared_texture_palette "},
      {"GL_A", "GL_A GL_EXT_paletted_texture GL_EXT_shared_texture_palette "},
      {"", "GL_EXT_paletted_texture GL_EXT_shared_texture_palette "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    g_answer[3] = c.list;
    EXPECT_EQ(get(GL_EXTENSIONS), c.augmented);
  }
}

TEST_F(IdentificationStringsTest, ListNamingPalettedTextureAnywhereIsReturnedAsItIs) {
  for (const char* list : {"GL_EXT_paletted_texture", "GL_A GL_EXT_paletted_texture GL_B ",
                           "GL_EXT_paletted_texture_extended"}) {
    g_answer[3] = list;
    EXPECT_EQ(reinterpret_cast<const char*>(strings.get(fake_get_string, GL_EXTENSIONS)), list);
  }
  EXPECT_EQ(g_allocations, 0);
}

TEST_F(IdentificationStringsTest, OtherNamesAndNullComeBackUnchanged) {
  static const char other[] = "other";
  g_other = other;
  EXPECT_EQ(reinterpret_cast<const char*>(strings.get(fake_get_string, 0x1F04)), other);
  EXPECT_EQ(reinterpret_cast<const char*>(strings.get(fake_get_string, 0)), other);
  g_other = nullptr;
  EXPECT_EQ(strings.get(fake_get_string, 0x8B8C), nullptr);
  g_answer[1] = nullptr;
  EXPECT_EQ(strings.get(fake_get_string, GL_RENDERER), nullptr);
  EXPECT_EQ(g_allocations, 0);
}

TEST_F(IdentificationStringsTest, FailedAllocationReturnsTheDriversString) {
  static const char vendor[] = "Vendor";
  g_answer[0] = vendor;
  g_fail_allocation = true;
  EXPECT_EQ(reinterpret_cast<const char*>(strings.get(fake_get_string, GL_VENDOR)), vendor);
  g_fail_allocation = false;
  EXPECT_EQ(get(GL_VENDOR), "Vendor and Ostrel");
}

// The driver's answer for the calling thread, for the concurrent cases.
thread_local const char* t_renderer = nullptr;

const GLubyte* QELT_GLAPI per_thread_get_string(GLenum) {
  return reinterpret_cast<const GLubyte*>(t_renderer);
}

template <typename Body>
void on_two_threads(const char* first, const char* second, Body body) {
  auto run = [&body](const char* renderer) {
    t_renderer = renderer;
    body();
  };
  std::thread a(run, first), b(run, second);
  a.join();
  b.join();
}

TEST_F(IdentificationStringsTest, ConcurrentCallersShareOneCopy) {
  static const char renderer[] = "Renderer";
  std::atomic<const GLubyte*> seen{nullptr};
  std::atomic<int> different{0};
  on_two_threads(renderer, renderer, [&] {
    for (int i = 0; i < 5000; ++i) {
      const GLubyte* text = strings.get(per_thread_get_string, GL_RENDERER);
      const GLubyte* expected = nullptr;
      if (!seen.compare_exchange_strong(expected, text) && expected != text) ++different;
    }
  });
  EXPECT_EQ(different, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(seen.load()), "Renderer/Parlox Build 0106");
  EXPECT_EQ(g_allocations, 1);
}

// Two threads that see different driver pointers for one name: one copy each, none released
// while another thread may read it.
TEST_F(IdentificationStringsTest, ConcurrentCallersWithDifferentPointersKeepTheirCopies) {
  static const char p1[] = "Renderer";
  static const char p2[] = "Renderer";
  std::atomic<int> null_results{0};
  on_two_threads(p1, p2, [&] {
    for (int i = 0; i < 5000; ++i)
      if (strings.get(per_thread_get_string, GL_RENDERER) == nullptr) ++null_results;
  });
  EXPECT_EQ(null_results, 0);
  EXPECT_EQ(g_allocations, 2);
  EXPECT_EQ(g_releases, 0);
}

}  // namespace
}  // namespace qelt
