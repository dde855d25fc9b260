// Tests of the panel's system code: each starts a fresh copy of the test DLL (so its once-only
// state starts over) with the simulated system in place of its imports.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "panel_under_test.h"
#include "simulated_system.h"

class PanelTest : public ::testing::Test {
 protected:
  void start(const tvsim::SimulatedSystem& system);
  void TearDown() override;
  const PanelUnderTest& panel() const { return *panel_; }

 private:
  void stop();

  HMODULE module_ = nullptr;
  const PanelUnderTest* panel_ = nullptr;
};

// The text of a REG_SZ value (the default value when value is null), or "(none)".
std::string registry_text(HKEY root, const std::string& key, const char* value = nullptr);

// The 32-bit word at offset of a logged record; 0 beyond its end.
DWORD record_word(const std::vector<std::uint8_t>& record, std::size_t offset);
