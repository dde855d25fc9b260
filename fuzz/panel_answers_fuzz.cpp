// The page's arithmetic and the readings of the display driver's answers, against whatever a
// driver could answer: video parameters, TV-encoder answers with or without a terminated name,
// gamma values and picture positions.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "escape_records.h"
#include "fuzz_input.h"
#include "picture_adjustments.h"

namespace {

template <typename Record>
Record record_from(FuzzInput& input) {
  Record record{};
  const std::vector<std::uint8_t> bytes = input.bytes(sizeof record);
  if (!bytes.empty()) std::memcpy(&record, bytes.data(), bytes.size());
  return record;
}

int clamp_to(const adjust::SliderRange& range, int position) {
  return position < range.minimum ? range.minimum
                                  : position > range.maximum ? range.maximum : position;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const int item = static_cast<int>(input.pick(adjust::kItemCount));
  const adjust::SliderRange range = adjust::RangeOf(item);
  FUZZ_CHECK(range.minimum <= range.maximum);

  // Whatever the driver reports, the slider shows a position of the range, and each position's
  // set record reads back as that position.
  const auto current = record_from<escape::VideoParametersRecord>(input);
  adjust::PositionFromDriver(item, current);  // no overflow, whatever the words
  for (int position = range.minimum; position <= range.maximum; ++position) {
    const escape::VideoParametersRecord set = adjust::SetRecord(item, position);
    FUZZ_CHECK(clamp_to(range, adjust::PositionFromDriver(item, set)) == position);
  }

  // Centering from any position the driver reports: no overflow, never past the bound it moves
  // towards, and a picture inside 0..100 stays inside.
  const int position = input.take<std::int32_t>();
  const int delta = input.pick(2) == 0 ? adjust::kCenteringStep : -adjust::kCenteringStep;
  const int moved = adjust::MovedPosition(position, delta);
  FUZZ_CHECK(delta > 0 ? moved <= 100 : moved >= 0);
  if (position >= 0 && position <= 100) FUZZ_CHECK(moved >= 0 && moved <= 100);

  // The encoder's name is read within its 12 bytes, terminated or not.
  const int result = input.take<std::int32_t>();
  const auto answer = record_from<escape::TvEncoderAnswer>(input);
  const escape::TvEncoderStatus status = escape::ReadTvEncoderAnswer(result, answer);
  FUZZ_CHECK(status.name.size() <= sizeof answer.name);
  FUZZ_CHECK(status.name.find('\0') == std::string::npos);
  const bool named = !status.name.empty() && status.name != "None";
  FUZZ_CHECK(escape::IsTvEncoderPresent(status) == (result == 0x3DF0 && named));
  FUZZ_CHECK(escape::IsTvOutputActive(status) ==
             (named && answer.presence != 0 && (answer.stateFlags & 0x2) != 0));

  // Identification, adapter node and routing answers count only as the driver's results say.
  const int answered = input.take<std::int32_t>();
  const auto identification = record_from<escape::IdentificationAnswer>(input);
  FUZZ_CHECK(escape::IsBoardIdentified(answered, identification) ==
             (answered != 0 && identification.identification == 0x7E51));
  const auto node = escape::ReadAdapterNode(answered, record_from<escape::AdapterNodeAnswer>(input));
  FUZZ_CHECK(node.has_value() == (answered > 0));
  const auto routing = record_from<escape::RoutingRecord>(input);
  FUZZ_CHECK(escape::IsMonitorInUse(routing) == (routing.state == 4));

  // Gamma of any value gives a ramp of usable exponents.
  const float gamma = input.take<float>();
  const std::int32_t hundredths = escape::GammaHundredths(gamma);
  if (!std::isfinite(gamma)) FUZZ_CHECK(hundredths == 0);
  const escape::GammaRampRecord ramp = escape::MakeGammaRampRecord(
      hundredths, input.take<std::int32_t>(), input.take<std::int32_t>(), input.take<std::int32_t>());
  FUZZ_CHECK(ramp.red > 0 && ramp.green > 0 && ramp.blue > 0);
  return 0;
}
