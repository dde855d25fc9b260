// The entry-point list and what is generated from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "entry_table.h"

namespace qelt {
namespace {

struct Entry {
  std::string family, name;
  unsigned slot, ordinal;
};

std::vector<Entry> entries() {
  return {
#define QELT_DRV(name, slot, ordinal, stub) {"Drv", #name, slot, ordinal},
#define QELT_GL(name, slot, ordinal, stub) {"gl", #name, slot, ordinal},
#define QELT_WGL(name, slot, ordinal, stub) {"wgl", #name, slot, ordinal},
#include "entry_points.inc"
  };
}

std::vector<std::string> names_of(const std::string& family) {
  std::vector<std::string> names;
  for (const auto& e : entries())
    if (e.family == family) names.push_back(e.name);
  return names;
}

bool byte_less(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) < 0;
}

TEST(EntryPoints, FamiliesHaveTheirCountsAndNamesAreUnique) {
  EXPECT_EQ(names_of("Drv").size(), 17u);
  EXPECT_EQ(names_of("gl").size(), 336u);
  EXPECT_EQ(names_of("wgl").size(), 24u);
  std::set<std::string> unique;
  for (const auto& e : entries()) unique.insert(e.name);
  EXPECT_EQ(unique.size(), 377u);
}

TEST(EntryPoints, OrdinalsFollowByteOrderOfAllNames) {
  auto all = entries();
  std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
    return byte_less(a.name, b.name);
  });
  for (unsigned i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].ordinal, i + 1) << all[i].name;
  EXPECT_EQ(all.front().name, "DrvCopyContext");
  EXPECT_EQ(all.back().name, "wglUseFontOutlinesW");
}

TEST(EntryPoints, SlotsFollowTheResolutionOrder) {
  std::vector<std::string> order;
  for (const auto& e : entries()) {
    EXPECT_EQ(e.slot, order.size());
    EXPECT_STREQ(kEntryNames[e.slot], e.name.c_str());
    order.push_back(e.name);
  }
  const std::vector<std::string> last = {"DrvGetProcAddress", "DrvSetContext", "glGetString",
                                         "glTexImage2D", "wglGetProcAddress"};
  EXPECT_EQ(order[0], "DrvReleaseContext");
  EXPECT_EQ(order[1], "DrvValidateVersion");
  EXPECT_EQ(std::vector<std::string>(order.end() - 5, order.end()), last);

  // Between the two ends: the rest of each family in byte order, Drv before gl before wgl.
  std::vector<std::string> middle(order.begin() + 2, order.end() - 5);
  EXPECT_EQ(middle.size(), 370u);
  EXPECT_TRUE(std::is_sorted(middle.begin(), middle.end(), byte_less));
  EXPECT_EQ(middle[0], "DrvCopyContext");
  EXPECT_EQ(middle[12], "DrvSwapLayerBuffers");
  EXPECT_EQ(middle[13], "glAccum");
  EXPECT_EQ(middle[346], "glViewport");
  EXPECT_EQ(middle[347], "wglChoosePixelFormat");
  EXPECT_EQ(middle.back(), "wglUseFontOutlinesW");
}

TEST(EntryPoints, ByteOrderIsCaseSensitive) {
  EXPECT_EQ(slot::glEdgeFlagPointer, slot::glEdgeFlag + 1);
  EXPECT_EQ(slot::glEdgeFlagv, slot::glEdgeFlag + 2);
}

}  // namespace
}  // namespace qelt
