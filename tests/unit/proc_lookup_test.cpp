// Procedure lookup by name: the proxy's own names first, the underlying driver for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "proc_lookup.h"

namespace qelt {
namespace {

int own_get_proc, own_set_context, own_wgl_get_proc;
int driver_answer;

const OwnProcedure kOwn[] = {
    {"DrvGetProcAddress", &own_get_proc},
    {"DrvSetContext", &own_set_context},
    {"wglGetProcAddress", &own_wgl_get_proc},
    {nullptr, nullptr},
};

std::vector<const char*> g_asked;

void* QELT_GLAPI driver_lookup(const char* name) {
  g_asked.push_back(name);
  if (name != nullptr && std::string(name) == "glCompressedTexImage2DARB") return &driver_answer;
  return nullptr;
}

class ProcLookup : public ::testing::Test {
 protected:
  void SetUp() override { g_asked.clear(); }
  void* look_up(const char* name) { return look_up_procedure(kOwn, name, driver_lookup); }
};

TEST_F(ProcLookup, OwnNamesAreAnsweredWithoutTheDriver) {
  EXPECT_EQ(look_up("DrvGetProcAddress"), &own_get_proc);
  EXPECT_EQ(look_up("DrvSetContext"), &own_set_context);
  EXPECT_EQ(look_up("wglGetProcAddress"), &own_wgl_get_proc);
  EXPECT_TRUE(g_asked.empty());
}

TEST_F(ProcLookup, OtherNamesGetTheDriversAnswerUnchanged) {
  const char* name = "glCompressedTexImage2DARB";
  EXPECT_EQ(look_up(name), &driver_answer);
  EXPECT_EQ(look_up("glNoSuchFunction"), nullptr);
  ASSERT_EQ(g_asked.size(), 2u);
  EXPECT_EQ(g_asked[0], name);  // the very pointer the caller passed
}

TEST_F(ProcLookup, NearMissesGoToTheDriver) {
  for (const char* name : {"wglgetprocaddress", "WGLGETPROCADDRESS", "wglGetProcAddres",
                           "wglGetProcAddressX", "DrvSet", "", "DrvSetContext "}) {
    EXPECT_EQ(look_up(name), nullptr) << '"' << name << '"';
  }
  EXPECT_EQ(g_asked.size(), 7u);
}

TEST_F(ProcLookup, NullNameIsPassedOnUnread) {
  EXPECT_EQ(look_up(nullptr), nullptr);
  ASSERT_EQ(g_asked.size(), 1u);
  EXPECT_EQ(g_asked[0], nullptr);
}

TEST_F(ProcLookup, WalkStopsAtTheFirstIncompleteEntry) {
  const OwnProcedure cut[] = {
      {"DrvGetProcAddress", &own_get_proc},
      {"DrvSetContext", nullptr},
      {"wglGetProcAddress", &own_wgl_get_proc},
      {nullptr, nullptr},
  };
  EXPECT_EQ(look_up_procedure(cut, "DrvGetProcAddress", driver_lookup), &own_get_proc);
  EXPECT_EQ(look_up_procedure(cut, "wglGetProcAddress", driver_lookup), nullptr);
  EXPECT_EQ(g_asked.size(), 1u);
}

}  // namespace
}  // namespace qelt
