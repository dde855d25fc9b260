// panel_art draws the pictures of the panel's TV-output page and writes them as the files its .rc
// includes: the TV set (with the mask the page paints it through), the small picture beside the
// TV-out check boxes, the link cursor and the clip that plays on the set's screen. The panel ships
// pictures of its own only, so they are drawn here from plain shapes, in integers, and come out
// the same bytes on every run and every machine.
//
// Usage: panel_art <output-dir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
};

// A picture addressed from its top-left corner, as the page's coordinates are.
template <typename Pixel>
struct Canvas {
  Canvas(int w, int h, Pixel fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
  Pixel& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  const Pixel& At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  int width;
  int height;
  std::vector<Pixel> pixels;
};

// Shapes are given in pixels, edges included.
struct Box {
  int left;
  int top;
  int right;
  int bottom;
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Pixel centres within radius + 1/2 of the centre, so a disc is 2 * radius + 1 pixels across.
bool InDisc(int dx, int dy, int radius) { return dx * dx + dy * dy <= radius * radius + radius; }

struct Circle {
  int x;
  int y;
  int radius;
  bool Contains(int px, int py) const { return InDisc(px - x, py - y, radius); }
};

struct RoundBox {
  Box box;
  int radius;
  bool Contains(int x, int y) const {
    if (!box.Contains(x, y)) {
      return false;
    }
    const int cx = std::clamp(x, box.left + radius, box.right - radius);
    const int cy = std::clamp(y, box.top + radius, box.bottom - radius);
    return InDisc(x - cx, y - cy, radius);
  }
};

struct Point {
  int x;
  int y;
};

// A convex polygon in either winding: a pixel is inside unless it lies strictly on both sides
// of its edges.
struct Convex {
  std::vector<Point> corners;
  bool Contains(int x, int y) const {
    bool left = false;
    bool right = false;
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const Point a = corners[i];
      const Point b = corners[(i + 1) % corners.size()];
      const int cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
      left = left || cross < 0;
      right = right || cross > 0;
    }
    return !(left && right);
  }
};

// Colours each pixel of the shape; the colour may follow the position, which is how the shading
// is done.
template <typename Pixel, typename Shape, typename Colour>
void Paint(Canvas<Pixel>& canvas, const Shape& shape, Colour colourAt) {
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      if (shape.Contains(x, y)) {
        canvas.At(x, y) = colourAt(x, y);
      }
    }
  }
}

template <typename Pixel, typename Shape, typename Value>
void Fill(Canvas<Pixel>& canvas, const Shape& shape, Value value) {
  Paint(canvas, shape, [value](int, int) { return value; });
}

// The point `step` of `steps` of the way from one value to another, rounded to the nearer.
int Between(int from, int to, int step, int steps) {
  const int distance = std::abs(to - from);
  const int moved = (distance * step * 2 + steps) / (steps * 2);
  return to < from ? from - moved : from + moved;
}

template <typename Pixel, typename Value>
void Line(Canvas<Pixel>& canvas, Point from, Point to, Value value) {
  const int steps = std::max({std::abs(to.x - from.x), std::abs(to.y - from.y), 1});
  for (int i = 0; i <= steps; ++i) {
    canvas.At(Between(from.x, to.x, i, steps), Between(from.y, to.y, i, steps)) = value;
  }
}

// The colour `step` of `steps` of the way from one colour to another.
Rgb Mix(Rgb from, Rgb to, int step, int steps) {
  const int t = std::clamp(step, 0, steps);
  auto channel = [t, steps](int a, int b) {
    return static_cast<std::uint8_t>(a + ((b - a) * t) / steps);
  };
  return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

// A vertical gradient over the rows top..bottom.
auto Gradient(Rgb top, Rgb bottom, int topRow, int bottomRow) {
  return [=](int, int y) { return Mix(top, bottom, y - topRow, bottomRow - topRow); };
}

// --- Little-endian writing and the records the resource formats share ---

void PutU8(Bytes& out, unsigned value) { out.push_back(static_cast<std::uint8_t>(value)); }

void PutU16(Bytes& out, unsigned value) {
  PutU8(out, value & 0xff);
  PutU8(out, (value >> 8) & 0xff);
}

void PutU32(Bytes& out, std::uint32_t value) {
  PutU16(out, value & 0xffff);
  PutU16(out, value >> 16);
}

void PutTag(Bytes& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

void PatchU32(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// BITMAPINFOHEADER; a positive height means the rows are stored bottom-up.
void PutInfoHeader(Bytes& out, int width, int height, int bitCount, std::uint32_t compression,
                   std::uint32_t imageSize, std::uint32_t coloursUsed) {
  PutU32(out, 40);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));
  PutU16(out, 1);
  PutU16(out, static_cast<unsigned>(bitCount));
  PutU32(out, compression);
  PutU32(out, imageSize);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, coloursUsed);
  PutU32(out, coloursUsed);
}

void PutPaletteEntry(Bytes& out, Rgb colour) {
  PutU8(out, colour.b);
  PutU8(out, colour.g);
  PutU8(out, colour.r);
  PutU8(out, 0);
}

// A 24-bit .bmp file: rows bottom-up, blue first, each padded to four bytes.
Bytes BmpFile(const Canvas<Rgb>& picture) {
  const int stride = (picture.width * 3 + 3) / 4 * 4;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * picture.height);
  Bytes out;
  PutU8(out, 'B');
  PutU8(out, 'M');
  PutU32(out, 14 + 40 + imageSize);
  PutU32(out, 0);
  PutU32(out, 14 + 40);
  PutInfoHeader(out, picture.width, picture.height, 24, 0, imageSize, 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const Rgb c = picture.At(x, y);
      PutU8(out, c.b);
      PutU8(out, c.g);
      PutU8(out, c.r);
    }
    out.resize(out.size() + stride - picture.width * 3, 0);
  }
  return out;
}

// --- The TV set ---

constexpr int kTvWidth = 141;
constexpr int kTvHeight = 129;
// The clip is played over exactly this part of the set.
constexpr Box kScreen{12, 11, 125, 93};
// The set is symmetric about the screen's middle: x mirrors to kTvMirror - x.
constexpr int kTvMirror = kScreen.left + kScreen.right;

constexpr Rgb kWoodEdge{58, 34, 18};
constexpr Rgb kWoodShine{204, 150, 100};
constexpr Rgb kWoodShadow{82, 47, 24};
constexpr Rgb kWoodTop{172, 112, 64};
constexpr Rgb kWoodBottom{118, 70, 38};
constexpr Rgb kBezelEdge{48, 46, 44};
constexpr Rgb kBezelTop{214, 212, 206};
constexpr Rgb kBezelBottom{138, 136, 130};
constexpr Rgb kScreenLip{22, 22, 22};
constexpr Rgb kScreenInner{60, 60, 58};
// The clip's background has this colour too, so the set's glass and the clip's empty screen match.
constexpr Rgb kScreenGlass{30, 42, 40};
constexpr Rgb kScreenGleam{46, 62, 60};
constexpr Rgb kGrilleSlot{70, 40, 20};
constexpr Rgb kKnobRim{28, 28, 28};
constexpr Rgb kKnobTop{236, 236, 232};
constexpr Rgb kKnobBottom{128, 128, 124};
constexpr Rgb kKnobShine{255, 255, 255};
constexpr Rgb kLamp{210, 36, 28};
constexpr Rgb kLampShine{255, 170, 150};
constexpr Rgb kLegTop{30, 30, 32};
constexpr Rgb kLegBottom{96, 96, 100};
constexpr Rgb kFoot{190, 160, 80};

using Sprite = Canvas<std::optional<Rgb>>;

Point Mirror(Point p) { return {kTvMirror - p.x, p.y}; }

void DrawLegs(Sprite& tv) {
  const Convex left{{{20, 110}, {30, 110}, {22, 125}, {15, 125}}};
  Convex right = left;
  std::transform(right.corners.begin(), right.corners.end(), right.corners.begin(), Mirror);
  for (const Convex& leg : {left, right}) {
    Paint(tv, leg, Gradient(kLegTop, kLegBottom, 112, 125));
  }
  // Brass feet, the last row the page shows being their bottom.
  Fill(tv, RoundBox{{14, 124, 23, 127}, 1}, kFoot);
  Fill(tv, RoundBox{{kTvMirror - 23, 124, kTvMirror - 14, 127}, 1}, kFoot);
}

// The cabinet is bevelled: a light line along its top and left, a dark one along its bottom and
// right, inside a dark outline that keeps it crisp on any background.
void DrawCabinet(Sprite& tv) {
  const int right = kTvMirror - 2;
  Fill(tv, RoundBox{{2, 2, right, 112}, 8}, kWoodEdge);
  Fill(tv, RoundBox{{3, 3, right - 2, 110}, 7}, kWoodShine);
  Fill(tv, RoundBox{{4, 4, right - 1, 111}, 7}, kWoodShadow);
  Paint(tv, RoundBox{{4, 4, right - 2, 110}, 6}, Gradient(kWoodTop, kWoodBottom, 4, 110));
}

void DrawScreen(Sprite& tv) {
  Fill(tv, RoundBox{{6, 5, kTvMirror - 6, 99}, 6}, kBezelEdge);
  Paint(tv, RoundBox{{7, 6, kTvMirror - 7, 98}, 5}, Gradient(kBezelTop, kBezelBottom, 6, 98));
  Fill(tv, Box{kScreen.left - 2, kScreen.top - 2, kScreen.right + 2, kScreen.bottom + 2},
       kScreenLip);
  Fill(tv, Box{kScreen.left - 1, kScreen.top - 1, kScreen.right + 1, kScreen.bottom + 1},
       kScreenInner);
  Fill(tv, kScreen, kScreenGlass);
  // A faint reflection in the glass's top-left corner.
  const Point corner{kScreen.left + 3, kScreen.top + 3};
  Fill(tv, Convex{{corner, {corner.x + 34, corner.y}, {corner.x, corner.y + 24}}}, kScreenGleam);
}

// A knob: dark rim, body lit from above, a glint, and a mark showing its setting.
void DrawKnob(Sprite& tv, Point centre, Point mark) {
  Fill(tv, Circle{centre.x, centre.y, 4}, kKnobRim);
  Paint(tv, Circle{centre.x, centre.y, 3},
        Gradient(kKnobTop, kKnobBottom, centre.y - 3, centre.y + 3));
  tv.At(centre.x - 1, centre.y - 2) = kKnobShine;
  Line(tv, centre, {centre.x + mark.x, centre.y + mark.y}, kKnobRim);
}

void DrawControls(Sprite& tv) {
  for (int row = 101; row <= 107; row += 2) {
    Fill(tv, Box{16, row, 70, row}, kGrilleSlot);
  }
  Fill(tv, Circle{88, 105, 1}, kLamp);
  tv.At(87, 104) = kLampShine;
  DrawKnob(tv, {102, 105}, {0, -3});
  DrawKnob(tv, {117, 105}, {2, -2});
}

Sprite Television() {
  Sprite tv(kTvWidth, kTvHeight, std::nullopt);
  DrawLegs(tv);
  DrawCabinet(tv);
  DrawScreen(tv);
  DrawControls(tv);
  return tv;
}

// The page ORs the right half onto its background, then ANDs the left half: so the right half is
// white where the set is and black around it, the left half the set's colours on white.
Canvas<Rgb> TvPicture() {
  const Rgb white{255, 255, 255};
  const Rgb black{0, 0, 0};
  const Sprite tv = Television();
  Canvas<Rgb> picture(kTvWidth * 2, kTvHeight, white);
  for (int y = 0; y < kTvHeight; ++y) {
    for (int x = 0; x < kTvWidth; ++x) {
      const std::optional<Rgb>& pixel = tv.At(x, y);
      picture.At(x, y) = pixel.value_or(white);
      picture.At(kTvWidth + x, y) = pixel ? white : black;
    }
  }
  return picture;
}

// --- The picture beside the TV-out check boxes: the monitor, an arrow, the TV ---

constexpr int kSideSize = 32;
constexpr Rgb kDialogGrey{192, 192, 192};
constexpr Rgb kOutline{56, 56, 56};
constexpr Rgb kCaseTop{240, 238, 230};
constexpr Rgb kCaseBottom{184, 182, 172};
constexpr Rgb kDesktopTop{24, 64, 150};
constexpr Rgb kDesktopBottom{60, 120, 210};
constexpr Rgb kArrow{0, 128, 48};
constexpr Rgb kTvGlassTop{40, 70, 66};
constexpr Rgb kTvGlassBottom{100, 150, 140};
constexpr Rgb kKnobSmall{220, 220, 214};

void DrawSmallMonitor(Canvas<Rgb>& side) {
  Fill(side, RoundBox{{0, 10, 11, 21}, 1}, kOutline);
  Paint(side, Box{1, 11, 10, 20}, Gradient(kCaseTop, kCaseBottom, 11, 20));
  Fill(side, Box{2, 12, 9, 18}, kOutline);
  Paint(side, Box{3, 13, 8, 17}, Gradient(kDesktopTop, kDesktopBottom, 13, 17));
  Fill(side, Box{4, 22, 7, 23}, kOutline);
  Fill(side, Box{2, 24, 9, 25}, kOutline);
  Fill(side, Box{3, 24, 8, 24}, kCaseTop);
}

void DrawArrow(Canvas<Rgb>& side) {
  Fill(side, Box{12, 15, 14, 17}, kArrow);
  Fill(side, Convex{{{15, 13}, {18, 16}, {15, 19}}}, kArrow);
}

void DrawSmallTv(Canvas<Rgb>& side) {
  Line(side, {24, 11}, {21, 5}, kOutline);
  Line(side, {26, 11}, {29, 5}, kOutline);
  Fill(side, RoundBox{{19, 11, 31, 24}, 2}, kWoodEdge);
  Paint(side, RoundBox{{20, 12, 30, 23}, 1}, Gradient(kWoodTop, kWoodBottom, 12, 23));
  Fill(side, RoundBox{{20, 13, 27, 21}, 1}, kOutline);
  Paint(side, RoundBox{{21, 14, 26, 20}, 1}, Gradient(kTvGlassTop, kTvGlassBottom, 14, 20));
  side.At(29, 15) = kKnobSmall;
  side.At(29, 18) = kKnobSmall;
  Fill(side, Box{21, 25, 22, 26}, kOutline);
  Fill(side, Box{28, 25, 29, 26}, kOutline);
}

Canvas<Rgb> TvSide() {
  Canvas<Rgb> side(kSideSize, kSideSize, kDialogGrey);
  DrawSmallMonitor(side);
  DrawArrow(side);
  DrawSmallTv(side);
  return side;
}

// --- The link cursor: a hand pointing up ---

constexpr int kCursorSize = 32;
constexpr Point kFingerTip{7, 0};

enum class Ink : std::uint8_t { kClear, kBlack, kWhite };

Canvas<std::uint8_t> HandShape() {
  Canvas<std::uint8_t> hand(kCursorSize, kCursorSize, 0);
  Fill(hand, RoundBox{{5, 0, 9, 14}, 2}, 1);   // index finger
  Fill(hand, RoundBox{{9, 6, 13, 15}, 2}, 1);  // the folded fingers' knuckles
  Fill(hand, RoundBox{{13, 7, 17, 16}, 2}, 1);
  Fill(hand, RoundBox{{17, 9, 20, 17}, 1}, 1);
  Fill(hand, Circle{2, 12, 2}, 1);  // thumb
  Fill(hand, Convex{{{0, 13}, {3, 10}, {8, 15}, {5, 20}}}, 1);
  Fill(hand, RoundBox{{4, 12, 20, 23}, 4}, 1);  // palm
  Fill(hand, Box{7, 20, 17, 25}, 1);            // wrist
  return hand;
}

bool Outside(const Canvas<std::uint8_t>& shape, int x, int y) {
  return x < 0 || y < 0 || x >= shape.width || y >= shape.height || !shape.At(x, y);
}

// White inside, black along the edge and between the fingers, clear elsewhere.
Canvas<Ink> HandCursor() {
  const Canvas<std::uint8_t> shape = HandShape();
  Canvas<Ink> hand(kCursorSize, kCursorSize, Ink::kClear);
  for (int y = 0; y < kCursorSize; ++y) {
    for (int x = 0; x < kCursorSize; ++x) {
      if (!shape.At(x, y)) {
        continue;
      }
      const bool edge = Outside(shape, x - 1, y) || Outside(shape, x + 1, y) ||
                        Outside(shape, x, y - 1) || Outside(shape, x, y + 1);
      hand.At(x, y) = edge ? Ink::kBlack : Ink::kWhite;
    }
  }
  Line(hand, {9, 8}, {9, 13}, Ink::kBlack);
  Line(hand, {13, 9}, {13, 14}, Ink::kBlack);
  Line(hand, {17, 11}, {17, 15}, Ink::kBlack);
  return hand;
}

// One mask of a cursor image, 1 bit a pixel, rows bottom-up, each padded to four bytes.
void PutMask(Bytes& out, const Canvas<Ink>& image, Ink setBit) {
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; x += 8) {
      unsigned bits = 0;
      for (int i = 0; i < 8; ++i) {
        bits = (bits << 1) | (image.At(x + i, y) == setBit ? 1 : 0);
      }
      PutU8(out, bits);
    }
  }
}

// A .cur file with one monochrome image. Its bitmap holds the colour mask over the AND mask,
// hence the doubled height; colour index 1 is white, and AND bits keep the screen where clear.
Bytes CursorFile(const Canvas<Ink>& image, Point hotspot) {
  const std::uint32_t maskSize = kCursorSize * kCursorSize / 8;
  const std::uint32_t imageSize = 40 + 2 * 4 + 2 * maskSize;
  Bytes out;
  PutU16(out, 0);
  PutU16(out, 2);
  PutU16(out, 1);
  PutU8(out, kCursorSize);
  PutU8(out, kCursorSize);
  PutU8(out, 2);
  PutU8(out, 0);
  PutU16(out, static_cast<unsigned>(hotspot.x));
  PutU16(out, static_cast<unsigned>(hotspot.y));
  PutU32(out, imageSize);
  PutU32(out, 6 + 16);
  PutInfoHeader(out, kCursorSize, kCursorSize * 2, 1, 0, 2 * maskSize, 2);
  PutPaletteEntry(out, {0, 0, 0});
  PutPaletteEntry(out, {255, 255, 255});
  PutMask(out, image, Ink::kWhite);
  PutMask(out, image, Ink::kClear);
  return out;
}

// --- The clip: a landscape sliding onto the screen, then staying ---

constexpr int kClipWidth = 114;
constexpr int kClipHeight = 83;
constexpr int kClipFrames = 95;
constexpr int kClipRate = 15;
// The landscape is fully in at this frame.
constexpr int kSlideEnd = 59;

// Palette indices. Index 0, the empty screen, also frames every frame: the control takes the
// top-left pixel's colour for the background, so it must be the same throughout.
enum ClipColour : std::uint8_t {
  kEmpty,
  kSky,
  kSkyLast = kSky + 7,
  kSunRim,
  kSunCore,
  kCloud,
  kCloudShade,
  kHillFar,
  kHillFarLit,
  kHillNear,
  kHillNearLit,
  kTrunk,
  kLeaves,
  kLeavesLit,
  kWall,
  kWallShade,
  kRoof,
  kDoor,
  kWindow,
  kClipColours
};

std::vector<Rgb> ClipPalette() {
  std::vector<Rgb> palette(kClipColours);
  palette[kEmpty] = kScreenGlass;
  for (int i = kSky; i <= kSkyLast; ++i) {
    palette[i] = Mix({64, 112, 196}, {176, 212, 240}, i - kSky, kSkyLast - kSky);
  }
  palette[kSunRim] = {250, 190, 50};
  palette[kSunCore] = {255, 236, 120};
  palette[kCloud] = {250, 250, 250};
  palette[kCloudShade] = {210, 222, 238};
  palette[kHillFar] = {84, 140, 104};
  palette[kHillFarLit] = {120, 172, 126};
  palette[kHillNear] = {60, 150, 52};
  palette[kHillNearLit] = {112, 196, 80};
  palette[kTrunk] = {96, 62, 30};
  palette[kLeaves] = {30, 100, 36};
  palette[kLeavesLit] = {62, 140, 58};
  palette[kWall] = {238, 226, 196};
  palette[kWallShade] = {196, 180, 150};
  palette[kRoof] = {184, 52, 40};
  palette[kDoor] = {110, 70, 40};
  palette[kWindow] = {255, 220, 90};
  return palette;
}

using Indexed = Canvas<std::uint8_t>;

// A hill lit from the top-left: its lit colour shows as a rim where the body, drawn a little
// lower and to the right, does not cover it.
void DrawHill(Indexed& scene, Circle hill, std::uint8_t body, std::uint8_t lit) {
  Fill(scene, hill, lit);
  Fill(scene, Circle{hill.x + 1, hill.y + 2, hill.radius}, body);
}

// The sky lightens in bands down to the horizon and stays light below it, behind the hills.
void DrawSkyAndSun(Indexed& scene) {
  const int horizon = 56;
  Paint(scene, Box{0, 0, scene.width - 1, scene.height - 1}, [horizon](int, int y) {
    return static_cast<std::uint8_t>(kSky + std::min(y, horizon) * (kSkyLast - kSky) / horizon);
  });
  Fill(scene, Circle{88, 16, 9}, kSunRim);
  Fill(scene, Circle{87, 15, 6}, kSunCore);
}

void DrawCloud(Indexed& scene, Point at) {
  const auto shaded = [at](int, int y) { return y > at.y + 4 ? kCloudShade : kCloud; };
  Paint(scene, Circle{at.x + 6, at.y, 5}, shaded);
  Paint(scene, Circle{at.x + 13, at.y - 3, 6}, shaded);
  Paint(scene, Circle{at.x + 21, at.y + 1, 4}, shaded);
  Paint(scene, RoundBox{{at.x, at.y, at.x + 27, at.y + 6}, 3}, shaded);
}

void DrawTree(Indexed& scene, Point foot) {
  Fill(scene, Box{foot.x, foot.y - 7, foot.x + 1, foot.y}, kTrunk);
  Fill(scene, Circle{foot.x, foot.y - 11, 5}, kLeaves);
  Fill(scene, Circle{foot.x - 1, foot.y - 12, 3}, kLeavesLit);
}

void DrawHouse(Indexed& scene, Point foot) {
  const int left = foot.x;
  const int top = foot.y - 8;
  Fill(scene, Box{left, top, left + 13, foot.y}, kWall);
  Fill(scene, Box{left + 11, top, left + 13, foot.y}, kWallShade);
  Fill(scene, Convex{{{left - 2, top}, {left + 6, top - 7}, {left + 15, top}}}, kRoof);
  Fill(scene, Box{left + 3, foot.y - 4, left + 5, foot.y}, kDoor);
  Fill(scene, Box{left + 8, top + 2, left + 10, top + 4}, kWindow);
}

Indexed Landscape() {
  Indexed scene(kClipWidth - 2, kClipHeight - 2, kEmpty);
  DrawSkyAndSun(scene);
  DrawCloud(scene, {18, 16});
  DrawCloud(scene, {58, 34});
  DrawHill(scene, {18, 110, 62}, kHillFar, kHillFarLit);
  DrawHill(scene, {96, 118, 62}, kHillFar, kHillFarLit);
  DrawTree(scene, {16, 50});
  DrawHill(scene, {70, 172, 112}, kHillNear, kHillNearLit);
  DrawHouse(scene, {54, 62});
  return scene;
}

// The landscape comes in from the left and slows down as it arrives.
int SlideOffset(int frame, int sceneWidth) {
  const int left = std::max(kSlideEnd - frame, 0);
  return sceneWidth * left * left / (kSlideEnd * kSlideEnd);
}

Indexed ClipFrame(const Indexed& scene, int frame) {
  Indexed image(kClipWidth, kClipHeight, kEmpty);
  const int offset = SlideOffset(frame, scene.width);
  for (int y = 0; y < scene.height; ++y) {
    for (int x = offset; x < scene.width; ++x) {
      image.At(1 + x, 1 + y) = scene.At(x - offset, y);
    }
  }
  return image;
}

int RunLength(const std::uint8_t* row, int from, int width) {
  int end = from + 1;
  while (end < width && end - from < 255 && row[end] == row[from]) {
    ++end;
  }
  return end - from;
}

// Run-length coding the animation control can play: repeats as (count, index) and stretches of
// three or more differing bytes as (0, count, bytes), padded to a word. A stretch shorter than
// that would read as an escape, so it goes out as runs of one.
void EncodeRow(Bytes& out, const std::uint8_t* row, int width) {
  int x = 0;
  while (x < width) {
    const int run = RunLength(row, x, width);
    if (run > 1) {
      PutU8(out, static_cast<unsigned>(run));
      PutU8(out, row[x]);
      x += run;
      continue;
    }
    int end = x + 1;
    while (end < width && end - x < 255 && RunLength(row, end, width) == 1) {
      ++end;
    }
    const int count = end - x;
    if (count < 3) {
      for (; x < end; ++x) {
        PutU8(out, 1);
        PutU8(out, row[x]);
      }
      continue;
    }
    PutU8(out, 0);
    PutU8(out, static_cast<unsigned>(count));
    out.insert(out.end(), row + x, row + end);
    if (count % 2) {
      PutU8(out, 0);
    }
    x = end;
  }
}

// A whole image, rows bottom-up, each ended by (0, 0), the image by (0, 1); no frame depends on
// another.
Bytes EncodeFrame(const Indexed& image) {
  Bytes out;
  for (int y = image.height - 1; y >= 0; --y) {
    EncodeRow(out, &image.pixels[std::size_t(y) * image.width], image.width);
    PutU16(out, 0x0000);
  }
  PutU16(out, 0x0100);
  return out;
}

// Opens a chunk and returns where its size goes.
std::size_t OpenChunk(Bytes& out, const char (&id)[5]) {
  PutTag(out, id);
  PutU32(out, 0);
  return out.size() - 4;
}

std::size_t OpenList(Bytes& out, const char (&id)[5], const char (&kind)[5]) {
  const std::size_t sizeAt = OpenChunk(out, id);
  PutTag(out, kind);
  return sizeAt;
}

// Chunks are padded to an even size; the padding is not counted in the size.
void CloseChunk(Bytes& out, std::size_t sizeAt) {
  PatchU32(out, sizeAt, static_cast<std::uint32_t>(out.size() - sizeAt - 4));
  if (out.size() % 2) {
    PutU8(out, 0);
  }
}

constexpr std::uint32_t kHasIndex = 0x10;
constexpr std::uint32_t kKeyFrame = 0x10;
constexpr std::uint32_t kRle8 = 1;

void PutMainHeader(Bytes& out, std::uint32_t largestFrame) {
  const std::size_t at = OpenChunk(out, "avih");
  PutU32(out, (1000000 + kClipRate / 2) / kClipRate);  // microseconds a frame
  PutU32(out, largestFrame * kClipRate);               // most bytes a second
  PutU32(out, 0);                                      // padding granularity
  PutU32(out, kHasIndex);
  PutU32(out, kClipFrames);
  PutU32(out, 0);  // initial frames
  PutU32(out, 1);  // streams
  PutU32(out, largestFrame);
  PutU32(out, kClipWidth);
  PutU32(out, kClipHeight);
  out.resize(out.size() + 16, 0);  // reserved
  CloseChunk(out, at);
}

void PutStreamHeader(Bytes& out, std::uint32_t largestFrame) {
  const std::size_t at = OpenChunk(out, "strh");
  PutTag(out, "vids");
  PutTag(out, "RLE ");
  PutU32(out, 0);  // flags
  PutU32(out, 0);  // priority and language
  PutU32(out, 0);  // initial frames
  PutU32(out, 1);  // scale: the rate counts frames a second
  PutU32(out, kClipRate);
  PutU32(out, 0);  // start
  PutU32(out, kClipFrames);
  PutU32(out, largestFrame);
  PutU32(out, 0xffffffff);  // default quality
  PutU32(out, 0);           // sample size: frames vary in size
  PutU16(out, 0);           // frame rectangle
  PutU16(out, 0);
  PutU16(out, kClipWidth);
  PutU16(out, kClipHeight);
  CloseChunk(out, at);
}

void PutStreamFormat(Bytes& out, std::uint32_t largestFrame) {
  const std::vector<Rgb> palette = ClipPalette();
  const std::size_t at = OpenChunk(out, "strf");
  PutInfoHeader(out, kClipWidth, kClipHeight, 8, kRle8, largestFrame,
                static_cast<std::uint32_t>(palette.size()));
  for (const Rgb& colour : palette) {
    PutPaletteEntry(out, colour);
  }
  CloseChunk(out, at);
}

// An .avi file with the one video stream, every frame a key frame, and the index the control
// looks frames up in; index offsets count from the 'movi' tag.
Bytes ClipFile() {
  const Indexed scene = Landscape();
  std::vector<Bytes> frames;
  std::size_t largest = 0;
  for (int frame = 0; frame < kClipFrames; ++frame) {
    frames.push_back(EncodeFrame(ClipFrame(scene, frame)));
    largest = std::max(largest, frames.back().size());
  }
  const auto largestFrame = static_cast<std::uint32_t>(largest);

  Bytes out;
  const std::size_t riff = OpenList(out, "RIFF", "AVI ");
  const std::size_t headers = OpenList(out, "LIST", "hdrl");
  PutMainHeader(out, largestFrame);
  const std::size_t stream = OpenList(out, "LIST", "strl");
  PutStreamHeader(out, largestFrame);
  PutStreamFormat(out, largestFrame);
  CloseChunk(out, stream);
  CloseChunk(out, headers);

  const std::size_t movie = OpenList(out, "LIST", "movi");
  const std::size_t movieTag = movie + 4;
  std::vector<std::uint32_t> offsets;
  for (const Bytes& data : frames) {
    offsets.push_back(static_cast<std::uint32_t>(out.size() - movieTag));
    const std::size_t at = OpenChunk(out, "00dc");
    out.insert(out.end(), data.begin(), data.end());
    CloseChunk(out, at);
  }
  CloseChunk(out, movie);

  const std::size_t index = OpenChunk(out, "idx1");
  for (std::size_t i = 0; i < frames.size(); ++i) {
    PutTag(out, "00dc");
    PutU32(out, kKeyFrame);
    PutU32(out, offsets[i]);
    PutU32(out, static_cast<std::uint32_t>(frames[i].size()));
  }
  CloseChunk(out, index);
  CloseChunk(out, riff);
  return out;
}

bool WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  file.close();
  return !file.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: panel_art <output-dir>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::pair<const char*, Bytes> files[] = {
      {"tv_picture.bmp", BmpFile(TvPicture())},
      {"tv_side.bmp", BmpFile(TvSide())},
      {"hand.cur", CursorFile(HandCursor(), kFingerTip)},
      {"tv_clip.avi", ClipFile()},
  };
  for (const auto& [name, data] : files) {
    const std::string path = folder + "/" + name;
    if (!WriteFile(path, data)) {
      std::fprintf(stderr, "panel_art: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
