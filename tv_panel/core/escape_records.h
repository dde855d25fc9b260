// Records the panel exchanges with the display driver through ExtEscape,
// and the decisions taken on the driver's answers. Every record is laid
// out byte for byte as the driver reads it (little-endian, 32-bit words).
#ifndef QELTVBTV_ESCAPE_RECORDS_H
#define QELTVBTV_ESCAPE_RECORDS_H

#include "win_compat.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace escape {

constexpr int kIdentificationEscape = 4051;
constexpr int kDriverCommandEscape = 32769;
constexpr int kVideoParametersEscape = 3077;

constexpr std::uint32_t kIdentificationSelector = 2;
constexpr std::uint32_t kBoardIdentificationWord = 0x7E51;

// Command codes of the driver command escape.
constexpr std::uint32_t kAdapterNodeQuery = 0x0003;
constexpr std::uint32_t kDesktopSizeStore = 0x0004;
constexpr std::uint32_t kDesktopSizeQuery = 0x0005;
constexpr std::uint32_t kGammaRampLoad = 0x0201;
constexpr std::uint32_t kTvEncoderQuery = 0x0300;
constexpr std::uint32_t kTvStandardSet = 0x0360;
constexpr std::uint32_t kSettingsAppliedNotice = 0x0380;
constexpr std::uint32_t kSettingsOpenedNotice = 0x0381;
constexpr std::uint32_t kDisplayRouting = 0x03B0;
constexpr std::uint32_t kTvOutputOff = 0x0500;
constexpr std::uint32_t kTvOutputOn = 0x0501;

constexpr std::uint32_t kTvStandardNtsc = 0x0001;
constexpr std::uint32_t kTvStandardPal = 0x0008;

// The only result of a TV-encoder query that offers the TV page at all.
constexpr int kTvEncoderPresentResult = 0x3DF0;
constexpr std::uint32_t kTvOutputOnState = 0x2;

constexpr std::uint32_t kRoutingQueryMode = 0;
constexpr std::uint32_t kRoutingMonitorAndTvMode = 1;
constexpr std::uint32_t kRoutingTvOnlyMode = 2;
constexpr std::uint32_t kRoutingMonitorInUse = 4;

constexpr std::uint32_t kVideoParametersGet = 1;
constexpr std::uint32_t kVideoParametersSet = 2;
constexpr std::uint32_t kVideoFlickerFilter = 0x04;
constexpr std::uint32_t kVideoOverscan = 0x08;
constexpr std::uint32_t kVideoPosition = 0x20;
constexpr std::uint32_t kVideoBrightness = 0x40;
constexpr std::uint32_t kVideoContrast = 0x80;

// Gamma 1.0: the ramp that leaves every level as it is.
constexpr std::int32_t kIdentityGammaHundredths = 100;

extern const GUID kVideoParametersGuid;

struct IdentificationRequest {
  std::uint32_t unused0;
  std::uint32_t selector;
  std::uint8_t unused1[36];
};

struct IdentificationAnswer {
  std::uint8_t unused0[8];
  std::uint32_t identification;
  std::uint8_t unused1[32];
};

// A command alone: adapter-node and desktop-size queries.
struct CommandRecord {
  std::uint32_t code;
};

// A command and one word: TV-encoder query, TV standard, notices, TV on/off.
struct CommandArgumentRecord {
  std::uint32_t code;
  std::uint32_t argument;
};

struct AdapterNodeAnswer {
  std::uint32_t node;
  std::uint32_t unused[2];
};

struct DesktopSizeRecord {
  std::uint32_t code;
  std::uint32_t width;
  std::uint32_t height;
};

struct DesktopSizeAnswer {
  std::uint32_t unused;
  std::uint32_t width;
  std::uint32_t height;
};

struct GammaRampEntry {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t unused;
};

struct GammaRampRecord {
  std::uint32_t code;
  std::int32_t red;
  std::int32_t green;
  std::int32_t blue;
  GammaRampEntry entries[256];
};

struct TvEncoderAnswer {
  std::uint8_t unused0[32];
  std::uint32_t presence;
  std::uint32_t unused1;
  std::uint32_t stateFlags;
  std::uint8_t unused2[24];
  char name[12];
};

// The driver writes a routing query's answer over the state word.
struct RoutingRecord {
  std::uint32_t code;
  std::uint32_t state;
  std::uint32_t mode;
};

// The TV-out video-parameters record; a get is answered in place.
struct VideoParametersRecord {
  GUID guid;
  std::uint32_t reservedOffset;
  std::uint32_t command;
  std::uint32_t flags;
  std::uint32_t mode;
  std::uint32_t tvStandard;
  std::uint32_t availableModes;
  std::uint32_t availableTvStandards;
  std::uint32_t flickerFilter;
  std::uint32_t overscanX;
  std::uint32_t overscanY;
  std::uint32_t maxUnscaledWidth;
  std::uint32_t maxUnscaledHeight;
  std::uint32_t positionX;
  std::uint32_t positionY;
  std::uint32_t brightness;
  std::uint32_t contrast;
  std::uint8_t reserved[276];
};

static_assert(sizeof(IdentificationRequest) == 44, "identification request");
static_assert(offsetof(IdentificationRequest, selector) == 4, "identification selector");
static_assert(sizeof(IdentificationAnswer) == 44, "identification answer");
static_assert(offsetof(IdentificationAnswer, identification) == 8, "identification word");
static_assert(sizeof(CommandRecord) == 4, "command record");
static_assert(sizeof(CommandArgumentRecord) == 8, "command with argument");
static_assert(sizeof(AdapterNodeAnswer) == 12, "adapter-node answer");
static_assert(sizeof(DesktopSizeRecord) == 12, "desktop-size store");
static_assert(offsetof(DesktopSizeAnswer, width) == 4 && offsetof(DesktopSizeAnswer, height) == 8,
              "desktop-size answer");
static_assert(sizeof(DesktopSizeAnswer) == 12, "desktop-size answer");
static_assert(sizeof(GammaRampEntry) == 4, "gamma entry");
static_assert(offsetof(GammaRampRecord, red) == 4 && offsetof(GammaRampRecord, green) == 8 &&
                  offsetof(GammaRampRecord, blue) == 12 && offsetof(GammaRampRecord, entries) == 16,
              "gamma header");
static_assert(sizeof(GammaRampRecord) == 1040, "gamma-ramp record");
static_assert(offsetof(TvEncoderAnswer, presence) == 32 &&
                  offsetof(TvEncoderAnswer, stateFlags) == 40 &&
                  offsetof(TvEncoderAnswer, name) == 68,
              "TV-encoder answer fields");
static_assert(sizeof(TvEncoderAnswer) == 80, "TV-encoder answer");
static_assert(offsetof(RoutingRecord, state) == 4 && offsetof(RoutingRecord, mode) == 8,
              "routing fields");
static_assert(sizeof(RoutingRecord) == 12, "routing record");
static_assert(offsetof(VideoParametersRecord, reservedOffset) == 16 &&
                  offsetof(VideoParametersRecord, command) == 20 &&
                  offsetof(VideoParametersRecord, flags) == 24 &&
                  offsetof(VideoParametersRecord, tvStandard) == 32 &&
                  offsetof(VideoParametersRecord, flickerFilter) == 44 &&
                  offsetof(VideoParametersRecord, overscanX) == 48 &&
                  offsetof(VideoParametersRecord, overscanY) == 52 &&
                  offsetof(VideoParametersRecord, maxUnscaledWidth) == 56 &&
                  offsetof(VideoParametersRecord, maxUnscaledHeight) == 60 &&
                  offsetof(VideoParametersRecord, positionX) == 64 &&
                  offsetof(VideoParametersRecord, positionY) == 68 &&
                  offsetof(VideoParametersRecord, brightness) == 72 &&
                  offsetof(VideoParametersRecord, contrast) == 76 &&
                  offsetof(VideoParametersRecord, reserved) == 80,
              "video-parameters fields");
static_assert(sizeof(VideoParametersRecord) == 356, "video-parameters record");

IdentificationRequest MakeIdentificationRequest();
// A board answers with a nonzero result and its identification word.
bool IsBoardIdentified(int result, const IdentificationAnswer& answer);

CommandRecord MakeCommand(std::uint32_t code);
CommandArgumentRecord MakeCommandWithArgument(std::uint32_t code, std::uint32_t argument);
// Only a result greater than 0 makes the answered node valid.
std::optional<std::uint32_t> ReadAdapterNode(int result, const AdapterNodeAnswer& answer);
DesktopSizeRecord MakeDesktopSizeStore(std::uint32_t width, std::uint32_t height);

struct TvEncoderStatus {
  int result;
  std::uint32_t presence;
  std::uint32_t stateFlags;
  std::string name;
};

TvEncoderStatus ReadTvEncoderAnswer(int result, const TvEncoderAnswer& answer);
bool IsTvEncoderPresent(const TvEncoderStatus& status);
bool IsTvOutputActive(const TvEncoderStatus& status);

RoutingRecord MakeRoutingQuery();
RoutingRecord MakeRoutingMonitorAndTv();
RoutingRecord MakeRoutingTvOnly();
bool IsMonitorInUse(const RoutingRecord& answeredQuery);

// Gamma × 100 truncated toward zero; 0 when the gamma is not finite or
// the product does not fit a 32-bit integer.
std::int32_t GammaHundredths(float gamma);
// A component of 0 or less would make the exponent infinite or
// meaningless; it is sent as defaultHundredths instead.
GammaRampRecord MakeGammaRampRecord(std::int32_t red, std::int32_t green, std::int32_t blue,
                                    std::int32_t defaultHundredths);

VideoParametersRecord MakeVideoParametersGet();
VideoParametersRecord MakeFlickerFilterSet(std::uint32_t flickerFilter);
VideoParametersRecord MakeOverscanSet(std::uint32_t overscan);
VideoParametersRecord MakePositionSet(std::uint32_t x, std::uint32_t y);
VideoParametersRecord MakeBrightnessSet(std::uint32_t brightness);
VideoParametersRecord MakeContrastSet(std::uint32_t contrast);

}  // namespace escape

#endif
