#include "escape_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using namespace escape;

template <typename Record>
std::vector<std::uint8_t> Bytes(const Record& record) {
  std::vector<std::uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

std::uint32_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// Offsets of the nonzero words a record may carry; every other byte must be 0.
void ExpectOnlyWords(const std::vector<std::uint8_t>& bytes, std::size_t from,
                     const std::vector<std::pair<std::size_t, std::uint32_t>>& words) {
  std::vector<std::uint8_t> expected(bytes.size(), 0);
  std::memcpy(expected.data(), bytes.data(), from);
  for (const auto& word : words) {
    for (int b = 0; b < 4; ++b) {
      expected[word.first + b] = static_cast<std::uint8_t>(word.second >> (8 * b));
    }
  }
  EXPECT_EQ(expected, bytes);
}

const std::vector<std::uint8_t> kGuidBytes = {0x62, 0x20, 0xC6, 0x02, 0x97, 0x10, 0xD1, 0x11,
                                              0x92, 0x0F, 0x00, 0xA0, 0x24, 0xDF, 0x15, 0x6E};

TvEncoderAnswer EncoderAnswer(const char* name, std::uint32_t presence, std::uint32_t state) {
  TvEncoderAnswer answer{};
  std::strncpy(answer.name, name, sizeof answer.name);
  answer.presence = presence;
  answer.stateFlags = state;
  return answer;
}

TEST(EscapeRecords, IdentificationRequestCarriesOnlyTheSelector) {
  const auto bytes = Bytes(MakeIdentificationRequest());
  ASSERT_EQ(44u, bytes.size());
  ExpectOnlyWords(bytes, 0, {{4, 2}});
}

TEST(EscapeRecords, IdentificationNeedsNonzeroResultAndBoardWord) {
  IdentificationAnswer answer{};
  std::vector<std::uint8_t> raw(44, 0);
  raw[8] = 0x51;
  raw[9] = 0x7E;
  std::memcpy(&answer, raw.data(), raw.size());

  EXPECT_TRUE(IsBoardIdentified(1, answer));
  EXPECT_TRUE(IsBoardIdentified(-1, answer));
  EXPECT_FALSE(IsBoardIdentified(0, answer));

  answer.identification = 0x7E52;
  EXPECT_FALSE(IsBoardIdentified(1, answer));
}

TEST(EscapeRecords, AdapterNodeCountsOnlyForPositiveResult) {
  const AdapterNodeAnswer answer{0x1A2B, {7, 7}};
  EXPECT_EQ(std::optional<std::uint32_t>(0x1A2B), ReadAdapterNode(1, answer));
  EXPECT_FALSE(ReadAdapterNode(0, answer).has_value());
  EXPECT_FALSE(ReadAdapterNode(-1, answer).has_value());
}

TEST(EscapeRecords, CommandRecordBytes) {
  ExpectOnlyWords(Bytes(MakeCommand(kAdapterNodeQuery)), 0, {{0, 0x0003}});
  ExpectOnlyWords(Bytes(MakeCommandWithArgument(kTvStandardSet, kTvStandardPal)), 0,
                  {{0, 0x0360}, {4, 0x0008}});
  ExpectOnlyWords(Bytes(MakeCommandWithArgument(kTvEncoderQuery, 0)), 0, {{0, 0x0300}});
  ExpectOnlyWords(Bytes(MakeDesktopSizeStore(800, 600)), 0, {{0, 0x0004}, {4, 800}, {8, 600}});
}

TEST(EscapeRecords, TvEncoderAnswerFieldsAreReadAtTheirOffsets) {
  std::vector<std::uint8_t> raw(80, 0);
  raw[32] = 1;
  raw[40] = 0x2;
  std::memcpy(&raw[68], "TVENC1", 7);
  TvEncoderAnswer answer;
  std::memcpy(&answer, raw.data(), raw.size());

  const TvEncoderStatus status = ReadTvEncoderAnswer(0x3DF0, answer);
  EXPECT_EQ(0x3DF0, status.result);
  EXPECT_EQ(1u, status.presence);
  EXPECT_EQ(0x2u, status.stateFlags);
  EXPECT_EQ("TVENC1", status.name);
}

TEST(EscapeRecords, TvEncoderNameIsReadOnlyWithinItsTwelveBytes) {
  TvEncoderAnswer answer{};
  std::memset(answer.name, 'A', sizeof answer.name);
  EXPECT_EQ(std::string(12, 'A'), ReadTvEncoderAnswer(0, answer).name);
}

TEST(EscapeRecords, TvEncoderPresentTest) {
  EXPECT_TRUE(IsTvEncoderPresent(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("none", 0, 0))));
  EXPECT_TRUE(IsTvEncoderPresent(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("NONE", 0, 0))));
  EXPECT_FALSE(IsTvEncoderPresent(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("None", 1, 2))));
  EXPECT_FALSE(IsTvEncoderPresent(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("", 1, 2))));
  EXPECT_FALSE(IsTvEncoderPresent(ReadTvEncoderAnswer(1, EncoderAnswer("Encoder", 1, 2))));
  EXPECT_FALSE(IsTvEncoderPresent(ReadTvEncoderAnswer(0x3DF1, EncoderAnswer("Encoder", 1, 2))));
  EXPECT_FALSE(IsTvEncoderPresent(ReadTvEncoderAnswer(0, TvEncoderAnswer{})));
}

TEST(EscapeRecords, TvOutputActiveTest) {
  EXPECT_TRUE(IsTvOutputActive(ReadTvEncoderAnswer(0, EncoderAnswer("Encoder", 1, 0x2))));
  EXPECT_TRUE(IsTvOutputActive(ReadTvEncoderAnswer(-1, EncoderAnswer("none", 5, 0xFF))));
  EXPECT_FALSE(IsTvOutputActive(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("Encoder", 1, 0xFD))));
  EXPECT_FALSE(IsTvOutputActive(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("Encoder", 0, 0x2))));
  EXPECT_FALSE(IsTvOutputActive(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("None", 1, 0x2))));
  EXPECT_FALSE(IsTvOutputActive(ReadTvEncoderAnswer(0x3DF0, EncoderAnswer("", 1, 0x2))));
}

TEST(EscapeRecords, RoutingRecordsAndAnswer) {
  ExpectOnlyWords(Bytes(MakeRoutingQuery()), 0, {{0, 0x03B0}, {4, 4}});
  ExpectOnlyWords(Bytes(MakeRoutingMonitorAndTv()), 0, {{0, 0x03B0}, {8, 1}});
  ExpectOnlyWords(Bytes(MakeRoutingTvOnly()), 0, {{0, 0x03B0}, {8, 2}});

  RoutingRecord answered = MakeRoutingQuery();
  EXPECT_TRUE(IsMonitorInUse(answered)) << "a query the driver leaves alone";
  answered.state = 5;
  EXPECT_FALSE(IsMonitorInUse(answered));
  answered.state = 0;
  EXPECT_FALSE(IsMonitorInUse(answered));
}

TEST(EscapeRecords, VideoParametersGuidInStandardByteOrder) {
  const auto bytes = Bytes(MakeVideoParametersGet());
  ASSERT_EQ(356u, bytes.size());
  EXPECT_EQ(kGuidBytes, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16));
  ExpectOnlyWords(bytes, 16, {{20, 1}});
}

TEST(EscapeRecords, VideoParametersSetCarriesOneFlagAndZerosElsewhere) {
  const auto check = [](const VideoParametersRecord& record,
                        const std::vector<std::pair<std::size_t, std::uint32_t>>& fields) {
    const auto bytes = Bytes(record);
    EXPECT_EQ(kGuidBytes, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16));
    ExpectOnlyWords(bytes, 16, fields);
  };
  check(MakeFlickerFilterSet(500), {{20, 2}, {24, 0x04}, {44, 500}});
  check(MakeOverscanSet(250), {{20, 2}, {24, 0x08}, {48, 250}, {52, 250}});
  check(MakePositionSet(30, 70), {{20, 2}, {24, 0x20}, {64, 30}, {68, 70}});
  check(MakeBrightnessSet(84), {{20, 2}, {24, 0x40}, {72, 84}});
  check(MakeContrastSet(14), {{20, 2}, {24, 0x80}, {76, 14}});
}

TEST(GammaRamp, HundredthsTruncateTheSinglePrecisionValue) {
  EXPECT_EQ(100, GammaHundredths(1.0f));
  EXPECT_EQ(129, GammaHundredths(1.3f));
  EXPECT_EQ(0, GammaHundredths(0.009f));
  EXPECT_EQ(-150, GammaHundredths(-1.5f));
  EXPECT_EQ(0, GammaHundredths(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(0, GammaHundredths(std::numeric_limits<float>::infinity()));
  EXPECT_EQ(0, GammaHundredths(3.0e7f));
  EXPECT_EQ(0, GammaHundredths(-3.0e7f));
}

TEST(GammaRamp, GammaOneIsTheIdentityInEveryColourByte) {
  const GammaRampRecord record = MakeGammaRampRecord(100, 100, 100, 100);
  const auto bytes = Bytes(record);
  ASSERT_EQ(1040u, bytes.size());
  EXPECT_EQ(0x0201u, WordAt(bytes, 0));
  EXPECT_EQ(100u, WordAt(bytes, 4));
  EXPECT_EQ(100u, WordAt(bytes, 8));
  EXPECT_EQ(100u, WordAt(bytes, 12));
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(i, bytes[16 + 4 * i]) << i;
    EXPECT_EQ(i, bytes[16 + 4 * i + 1]) << i;
    EXPECT_EQ(i, bytes[16 + 4 * i + 2]) << i;
  }
}

TEST(GammaRamp, StoredOnePointThreeSendsOneTwentyNine) {
  const GammaRampRecord record = MakeGammaRampRecord(GammaHundredths(1.3f), 100, 100, 100);
  const auto bytes = Bytes(record);
  EXPECT_EQ(129u, WordAt(bytes, 4));
  const std::uint8_t begins[] = {0, 3, 6, 8, 10, 12, 14, 16};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(begins[i], bytes[16 + 4 * i + 2]) << i;
  }
  const std::uint8_t ends[] = {253, 253, 254, 255};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ends[i], bytes[16 + 4 * (252 + i) + 2]) << i;
  }
}

TEST(GammaRamp, HeaderWordsAndEntryBytesKeepTheirColours) {
  const GammaRampRecord record = MakeGammaRampRecord(129, 100, 200, 100);
  const auto bytes = Bytes(record);
  EXPECT_EQ(129u, WordAt(bytes, 4));
  EXPECT_EQ(100u, WordAt(bytes, 8));
  EXPECT_EQ(200u, WordAt(bytes, 12));
  // Entry 1: blue first (gamma 2.0), then green (identity), then red (1.29).
  EXPECT_EQ(16, bytes[16 + 4 + 0]);
  EXPECT_EQ(1, bytes[16 + 4 + 1]);
  EXPECT_EQ(3, bytes[16 + 4 + 2]);
}

TEST(GammaRamp, UnusableComponentsTakeTheDefault) {
  const GammaRampRecord expected = MakeGammaRampRecord(130, 130, 130, 100);
  const GammaRampRecord record = MakeGammaRampRecord(0, -5, GammaHundredths(std::nanf("")), 130);
  EXPECT_EQ(Bytes(expected), Bytes(record));

  const GammaRampRecord identity = MakeGammaRampRecord(100, 100, 100, 100);
  EXPECT_EQ(Bytes(identity), Bytes(MakeGammaRampRecord(0, 0, 0, 0)));
}

TEST(GammaRamp, SteepestRampStaysWithinOneByte) {
  const GammaRampRecord record = MakeGammaRampRecord(1, 1, 1, 100);
  EXPECT_EQ(255, record.entries[255].red);
  EXPECT_EQ(0, record.entries[128].red);
}

}  // namespace
