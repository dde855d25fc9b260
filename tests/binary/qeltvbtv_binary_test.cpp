// Static checks of the built panel DLLs: the four exports under their plain names, the system
// libraries they import from and the version resource.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

class PanelBinary : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(GetParam())) GTEST_SKIP() << GetParam() << " is not built";
    image_ = std::make_unique<PeImage>(GetParam());
    ASSERT_EQ(image_->error(), "");
  }
  const PeImage& image() const { return *image_; }

 private:
  std::unique_ptr<PeImage> image_;
};

TEST_P(PanelBinary, ExportsTheFourEntryPointsUndecorated) {
  EXPECT_EQ(image().export_name(), "qeltvbtv.dll");
  std::vector<std::string> names;
  for (const PeImage::Export& entry : image().exports()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                             "DllRegisterServer", "VantrelLoadSettings"}));
}

TEST_P(PanelBinary, ImportsOnlyFromSystemLibrariesAndCarriesAVersion) {
  const std::vector<std::string> system = {"advapi32.dll", "comctl32.dll", "gdi32.dll",
                                           "kernel32.dll", "msvcrt.dll",   "ole32.dll",
                                           "shell32.dll",  "user32.dll",   "wsock32.dll"};
  for (std::string name : image().imports()) {
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    EXPECT_NE(std::find(system.begin(), system.end(), name), system.end()) << name;
  }
  EXPECT_TRUE(image().has_version_naming(u"qeltvbtv.dll"));
}

INSTANTIATE_TEST_SUITE_P(Builds, PanelBinary,
                         ::testing::Values(QELT_WIN32_DIR "/qeltvbtv.dll",
                                           QELT_WIN64_DIR "/qeltvbtv.dll"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "win32" : "win64");
                         });

}  // namespace
