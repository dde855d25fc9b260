#include "discovery_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(DiscoveryRules, VirtualScreenMustCoverThePrimaryScreen) {
  EXPECT_TRUE(VirtualScreenCoversScreen(1024, 768, 1024, 768));
  EXPECT_TRUE(VirtualScreenCoversScreen(2048, 768, 1024, 768));
  EXPECT_FALSE(VirtualScreenCoversScreen(1023, 768, 1024, 768));
  EXPECT_FALSE(VirtualScreenCoversScreen(2048, 767, 1024, 768));
  EXPECT_FALSE(VirtualScreenCoversScreen(0, 0, 640, 480));
}

TEST(DiscoveryRules, DisplayCountIsAtLeastOne) {
  EXPECT_EQ(1u, DisplayCount(0));
  EXPECT_EQ(1u, DisplayCount(1));
  EXPECT_EQ(2u, DisplayCount(2));
}

TEST(DiscoveryRules, ConfigManagerControlCodeAndResult) {
  EXPECT_EQ(0x8000003Du, ConfigManagerControlCode(kGetDevNodeKeyService));
  EXPECT_EQ(0u, ConfigManagerResult(true, 4, 0));
  EXPECT_EQ(5u, ConfigManagerResult(true, 4, 5));
  EXPECT_EQ(19u, ConfigManagerResult(false, 4, 0));
  EXPECT_EQ(19u, ConfigManagerResult(true, 0, 0));
  EXPECT_EQ(19u, ConfigManagerResult(true, 8, 0));
}

TEST(DiscoveryRules, EnumKeyOfADeviceNodeIsLowerCaseHexWithoutLeadingZeros) {
  EXPECT_EQ("Config Manager\\Enum\\1a2b", ConfigManagerEnumKey(0x1A2B));
  EXPECT_EQ("Config Manager\\Enum\\0", ConfigManagerEnumKey(0));
  EXPECT_EQ("Config Manager\\Enum\\ffffffff", ConfigManagerEnumKey(0xFFFFFFFF));
}

TEST(DiscoveryRules, KeyWalkPaths) {
  EXPECT_FALSE(KeyWalkBufferLargeEnough(52));
  EXPECT_TRUE(KeyWalkBufferLargeEnough(53));
  EXPECT_EQ("Enum\\PCI\\VEN_0001&DEV_0002\\BUS_01",
            HardwareEnumKey("PCI\\VEN_0001&DEV_0002\\BUS_01"));
  EXPECT_EQ("System\\CurrentControlSet\\Services\\Class\\Display\\0000",
            DriverClassKeyPath("Display\\0000"));
  EXPECT_EQ(52u, DriverClassKeyPath("Display\\0000").size());
}

TEST(DiscoveryRules, KeyPathThatDoesNotFitIsRefusedNotCut) {
  const std::string path = DriverClassKeyPath("Display\\0000");
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);

  EXPECT_FALSE(CopyKeyPath(path, buffer, 52));
  EXPECT_EQ('#', buffer[0]);

  EXPECT_TRUE(CopyKeyPath(path, buffer, 53));
  EXPECT_EQ(path, std::string(buffer));
  EXPECT_EQ('#', buffer[53]);
}

}  // namespace
