// The escapes as the display driver receives them: each operation sends one record, byte for
// byte, on the caller's device context, and reads the driver's answer from the right place.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "panel_fixture.h"

namespace {

using tvsim::Call;
using tvsim::SimulatedSystem;

std::vector<std::uint8_t> words(std::initializer_list<DWORD> values) {
  std::vector<std::uint8_t> bytes(values.size() * 4);
  std::size_t at = 0;
  for (DWORD value : values) {
    std::memcpy(&bytes[at], &value, 4);
    at += 4;
  }
  return bytes;
}

class Escapes : public PanelTest {
 protected:
  void SetUp() override { start(SimulatedSystem{}); }

  // The one escape sent since the last check, which must have gone to dc.
  Call only_escape(HDC dc = tvsim::screen_dc()) {
    const auto escapes = tvsim::calls_to("ExtEscape");
    EXPECT_EQ(escapes.size(), checked_ + 1);
    if (escapes.size() <= checked_) return Call{};
    const Call call = escapes.back();
    checked_ = escapes.size();
    EXPECT_EQ(call.handle, dc);
    return call;
  }

  void expect_command(const Call& call, std::initializer_list<DWORD> record,
                      std::uintptr_t output_size) {
    EXPECT_EQ(call.code, 32769);
    EXPECT_EQ(call.input, words(record));
    EXPECT_EQ(call.args[0], output_size);
  }

  std::size_t checked_ = 0;
};

TEST_F(Escapes, IdentificationAndAdapterNode) {
  EXPECT_TRUE(panel().identify_adapter(tvsim::monitor_dc(0)));
  const Call identification = only_escape(tvsim::monitor_dc(0));
  EXPECT_EQ(identification.code, 4051);
  EXPECT_EQ(identification.input.size(), 44u);
  EXPECT_EQ(record_word(identification.input, 4), 2u);
  EXPECT_EQ(identification.args[0], 44u);

  EXPECT_EQ(panel().query_adapter_node(tvsim::screen_dc()), 0x1A2Bu);
  expect_command(only_escape(), {0x0003}, 12);
  tvsim::model().board.adapter_node_result = 0;
  EXPECT_FALSE(panel().query_adapter_node(tvsim::screen_dc()));
}

TEST_F(Escapes, TvEncoderQueryReadsPresenceStateAndName) {
  tvsim::model().board.tv_state_flags = 0x2;
  const escape::TvEncoderStatus status = panel().query_tv_encoder(tvsim::screen_dc());
  expect_command(only_escape(), {0x0300, 0}, 80);
  EXPECT_EQ(status.result, 0x3DF0);
  EXPECT_EQ(status.presence, 1u);
  EXPECT_EQ(status.name, "QV-TV");
  EXPECT_TRUE(escape::IsTvEncoderPresent(status));
  EXPECT_TRUE(escape::IsTvOutputActive(status));
}

TEST_F(Escapes, UnterminatedEncoderNameIsReadWithinItsTwelveBytes) {
  tvsim::model().board.tv_encoder_name = "ABCDEFGHIJKLMNOP";
  EXPECT_EQ(panel().query_tv_encoder(tvsim::screen_dc()).name, "ABCDEFGHIJKL");
}

TEST_F(Escapes, DriverThatDoesNotAnswerLeavesNoEncoderAndZeroParameters) {
  SimulatedSystem system;
  system.monitors[0].board = false;
  start(system);
  const escape::TvEncoderStatus status = panel().query_tv_encoder(tvsim::screen_dc());
  EXPECT_EQ(status.result, 0);
  EXPECT_EQ(status.name, "");
  EXPECT_FALSE(escape::IsTvOutputActive(status));
  const escape::VideoParametersRecord video = panel().get_video_parameters(tvsim::screen_dc());
  EXPECT_EQ(video.flickerFilter, 0u);
  EXPECT_EQ(video.maxUnscaledWidth, 0u);
  EXPECT_FALSE(panel().query_adapter_node(tvsim::screen_dc()));
}

TEST_F(Escapes, TvOutputSwitchesAndTvStandard) {
  panel().tv_output_on(tvsim::screen_dc());
  expect_command(only_escape(), {0x0501, 0}, 0);
  EXPECT_TRUE(escape::IsTvOutputActive(panel().query_tv_encoder(tvsim::screen_dc())));
  only_escape();
  panel().tv_output_off(tvsim::screen_dc());
  expect_command(only_escape(), {0x0500, 0}, 0);
  EXPECT_FALSE(escape::IsTvOutputActive(panel().query_tv_encoder(tvsim::screen_dc())));
  only_escape();

  panel().set_tv_standard(tvsim::screen_dc(), escape::kTvStandardPal);
  expect_command(only_escape(), {0x0360, 0x0008}, 0);
  EXPECT_EQ(tvsim::model().board.video.tv_standard, 0x0008u);
}

TEST_F(Escapes, DesktopSizeStoreAndQuery) {
  panel().store_desktop_size(tvsim::screen_dc(), 1024, 768);
  expect_command(only_escape(), {0x0004, 1024, 768}, 0);
  const escape::DesktopSize size = panel().query_desktop_size(tvsim::screen_dc());
  expect_command(only_escape(), {0x0005}, 12);
  EXPECT_EQ(size.width, 1024u);
  EXPECT_EQ(size.height, 768u);
}

TEST_F(Escapes, RoutingQueryIsAnsweredInItsOwnRecord) {
  EXPECT_TRUE(panel().query_monitor_in_use(tvsim::screen_dc()));
  expect_command(only_escape(), {0x03B0, 4, 0}, 0);

  panel().route_to_tv_only(tvsim::screen_dc());
  expect_command(only_escape(), {0x03B0, 0, 2}, 0);
  EXPECT_FALSE(panel().query_monitor_in_use(tvsim::screen_dc()));
  only_escape();

  panel().route_to_monitor_and_tv(tvsim::screen_dc());
  expect_command(only_escape(), {0x03B0, 0, 1}, 0);
  EXPECT_TRUE(panel().query_monitor_in_use(tvsim::screen_dc()));
}

TEST_F(Escapes, SettingsNotices) {
  panel().notify_settings_opened(tvsim::screen_dc());
  expect_command(only_escape(), {0x0381, 0}, 0);
  panel().notify_settings_applied(tvsim::screen_dc());
  expect_command(only_escape(), {0x0380, 0}, 0);
  EXPECT_EQ(tvsim::model().board.settings_opened, 1);
  EXPECT_EQ(tvsim::model().board.settings_applied, 1);
}

TEST_F(Escapes, VideoParametersGetIsAnsweredInPlace) {
  const escape::VideoParametersRecord video = panel().get_video_parameters(tvsim::screen_dc());
  const Call call = only_escape();
  EXPECT_EQ(call.code, 3077);
  EXPECT_EQ(call.args[0], 0u);
  std::vector<std::uint8_t> expected(356, 0);
  const std::uint8_t guid[] = {0x62, 0x20, 0xC6, 0x02, 0x97, 0x10, 0xD1, 0x11,
                               0x92, 0x0F, 0x00, 0xA0, 0x24, 0xDF, 0x15, 0x6E};
  std::memcpy(expected.data(), guid, sizeof guid);
  expected[20] = 1;
  EXPECT_EQ(call.input, expected);

  const tvsim::VideoParameters& model = tvsim::model().board.video;
  EXPECT_EQ(video.tvStandard, model.tv_standard);
  EXPECT_EQ(video.flickerFilter, model.flicker_filter);
  EXPECT_EQ(video.overscanX, model.overscan_x);
  EXPECT_EQ(video.maxUnscaledWidth, model.max_unscaled_width);
  EXPECT_EQ(video.maxUnscaledHeight, model.max_unscaled_height);
  EXPECT_EQ(video.positionX, model.position_x);
  EXPECT_EQ(video.positionY, model.position_y);
  EXPECT_EQ(video.brightness, model.brightness);
  EXPECT_EQ(video.contrast, model.contrast);
}

TEST_F(Escapes, VideoParametersSetCarriesOneFieldAndItsFlag) {
  const tvsim::VideoParameters before = tvsim::model().board.video;
  panel().set_video_parameters(tvsim::screen_dc(), escape::MakeBrightnessSet(28));
  const Call call = only_escape();
  EXPECT_EQ(call.code, 3077);
  ASSERT_EQ(call.input.size(), 356u);
  EXPECT_EQ(record_word(call.input, 20), 2u);
  EXPECT_EQ(record_word(call.input, 24), 0x40u);
  for (std::size_t offset = 16; offset < 356; offset += 4) {
    if (offset != 20 && offset != 24 && offset != 72) {
      EXPECT_EQ(record_word(call.input, offset), 0u) << "offset " << offset;
    }
  }
  EXPECT_EQ(record_word(call.input, 72), 28u);
  EXPECT_EQ(tvsim::model().board.video.brightness, 28u);
  EXPECT_EQ(tvsim::model().board.video.contrast, before.contrast);
  EXPECT_EQ(tvsim::model().board.video.flicker_filter, before.flicker_filter);
}

TEST_F(Escapes, GammaRampReachesTheContextItWasLoadedOn) {
  panel().load_gamma_ramp(tvsim::monitor_dc(0), 129, 100, 100, 100);
  const Call call = only_escape(tvsim::monitor_dc(0));
  EXPECT_EQ(call.code, 32769);
  EXPECT_EQ(call.args[0], 0u);
  ASSERT_EQ(call.input.size(), 1040u);
  EXPECT_EQ(record_word(call.input, 0), 0x0201u);

  const auto& ramps = tvsim::model().board.gamma_ramps;
  ASSERT_EQ(ramps.count(tvsim::monitor_dc(0)), 1u);
  const tvsim::GammaRamp& ramp = ramps.at(tvsim::monitor_dc(0));
  EXPECT_EQ(ramp.red, 129);
  EXPECT_EQ(ramp.green, 100);
  EXPECT_EQ(ramp.blue, 100);
  const std::uint8_t red_start[] = {0, 3, 6, 8, 10, 12, 14, 16};
  EXPECT_TRUE(std::equal(std::begin(red_start), std::end(red_start), ramp.red_levels.begin()));
  EXPECT_EQ(ramp.red_levels[255], 255);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(ramp.green_levels[i], i);
    EXPECT_EQ(ramp.blue_levels[i], i);
  }
  EXPECT_EQ(ramps.count(tvsim::screen_dc()), 0u);
}

TEST_F(Escapes, GammaOfZeroOrLessIsSentAsTheDefault) {
  panel().load_gamma_ramp(tvsim::screen_dc(), 0, -30, 150, 130);
  const tvsim::GammaRamp& ramp = tvsim::model().board.gamma_ramps.at(tvsim::screen_dc());
  EXPECT_EQ(ramp.red, 130);
  EXPECT_EQ(ramp.green, 130);
  EXPECT_EQ(ramp.blue, 150);
  EXPECT_EQ(ramp.red_levels, ramp.green_levels);
  EXPECT_EQ(ramp.red_levels[255], 255);
}

}  // namespace
