// The TV-out page in a real property sheet, against the simulated display driver: what opening
// shows and sends, each control's escapes at once, Apply's registry values, and the link label.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "panel_fixture.h"
#include "display_host.h"

namespace {

using tvsim::Call;
using tvsim::SimulatedSystem;

// A driver command as logged: its code and the two words after it.
struct Command {
  DWORD code;
  DWORD argument;
  DWORD mode;  // the routing command's mode
};

class TvOutPage : public PanelTest {
 protected:
  void open(const SimulatedSystem& system) {
    start(system);
    InitCommonControls();
    page_ = panel().create_page("DISPLAY", "Quarro Vantrel", FALSE);
    HPROPSHEETPAGE sheet_page = panel().create_sheet_page(page_);
    ASSERT_NE(sheet_page, nullptr);
    sheet_ = open_display_properties(sheet_page);
    ASSERT_NE(sheet_, nullptr);
    pump();
    window_ = panel().page_window(page_);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    if (sheet_ != nullptr) DestroyWindow(sheet_);
    pump();
    if (page_ != nullptr) panel().destroy_page(page_);
    PanelTest::TearDown();
  }

  void pump() { pump_messages(); }

  HWND item(int id) const { return GetDlgItem(window_, id); }
  bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
  bool checked(int id) const { return SendMessageA(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  void click_button(int id) {
    SendMessageA(item(id), BM_CLICK, 0, 0);
    pump();
  }
  void select(int id, int index) {
    SendMessageA(item(id), CB_SETCURSEL, index, 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(item(id)));
  }
  void slide_to(int position) {
    SendMessageA(item(1127), TBM_SETPOS, TRUE, position);
    SendMessageA(window_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(item(1127)));
  }

  // The driver commands sent since the last call.
  std::vector<Command> commands() {
    std::vector<Command> sent;
    const auto escapes = tvsim::calls_to("ExtEscape");
    for (std::size_t i = seen_; i < escapes.size(); ++i) {
      if (escapes[i].code == 32769)
        sent.push_back({record_word(escapes[i].input, 0), record_word(escapes[i].input, 4),
                        record_word(escapes[i].input, 8)});
    }
    seen_ = escapes.size();
    return sent;
  }

  void* page_ = nullptr;
  HWND sheet_ = nullptr;
  HWND window_ = nullptr;
  std::size_t seen_ = 0;
};

const int kTvControls[] = {1158, 1110, 1152, 1155, 1156, 1127, 1153,
                           1154, 1157, 1002, 1004, 1015, 1017};

TEST_F(TvOutPage, OpeningShowsTheDriversStateAndAppliesTheSavedGammaOnce) {
  struct Case {
    bool tv_on;
    DWORD routing_state;
    DWORD tv_standard;
    DWORD overscan;
    bool monitor_box;
    LRESULT signal;
    LRESULT slider;
  } const cases[] = {
      {true, 5, 0x0008, 250, true, 1, 1},  // TV only: the monitor is not in use
      {false, 4, 0x0001, 0, false, 0, 2},
      {false, 7, 0x0000, 500, true, -1, 0},  // neither standard: no selection
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tv_on ? "TV on" : "TV off");
    SimulatedSystem system;
    system.board.tv_state_flags = c.tv_on ? 0x2 : 0;
    system.board.routing_state = c.routing_state;
    system.board.video.tv_standard = c.tv_standard;
    system.board.video.overscan_x = c.overscan;
    open(system);

    EXPECT_EQ(checked(1103), c.tv_on);
    EXPECT_EQ(checked(1105), c.monitor_box);
    EXPECT_TRUE(enabled(1103));
    EXPECT_TRUE(enabled(1105));
    for (int id : kTvControls) EXPECT_EQ(enabled(id), c.tv_on) << id;
    EXPECT_EQ(SendMessageA(item(1110), CB_GETCURSEL, 0, 0), c.signal);
    EXPECT_EQ(SendMessageA(item(1127), TBM_GETPOS, 0, 0), c.slider);
    EXPECT_EQ(tvsim::model().board.settings_opened, 1);
    int ramps = 0;
    for (const Command& command : commands()) ramps += command.code == 0x0201;
    EXPECT_EQ(ramps, 1) << "one display, one ramp";
    TearDown();
    page_ = nullptr;
    sheet_ = nullptr;
    seen_ = 0;
  }
}

// The video-parameters records set since the last call.
std::vector<std::vector<std::uint8_t>> video_sets(std::size_t& seen) {
  std::vector<std::vector<std::uint8_t>> sets;
  const auto escapes = tvsim::calls_to("ExtEscape");
  for (std::size_t i = seen; i < escapes.size(); ++i)
    if (escapes[i].code == 3077 && record_word(escapes[i].input, 20) == 2)
      sets.push_back(escapes[i].input);
  seen = escapes.size();
  return sets;
}

TEST_F(TvOutPage, EachControlSendsItsEscapeAtOnce) {
  SimulatedSystem system;
  system.board.tv_state_flags = 0x2;
  system.board.video.position_x = 70;
  system.board.video.position_y = 2;
  open(system);
  commands();
  std::size_t seen = tvsim::calls_to("ExtEscape").size();

  select(1110, 1);  // PAL, without Apply
  const auto sent = commands();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].code, 0x0360u);
  EXPECT_EQ(sent[0].argument, 0x0008u);

  struct Slide {
    int item, position;
    std::size_t field;  // offset of the field the value goes to
    DWORD flag, value;
  } const slides[] = {
      {1, 3, 44, 0x04, 0},  // Flicker Filter: the last position is off
      {1, 2, 44, 0x04, 500},
      {0, 1, 48, 0x08, 250},  // Screen Fit: both overscan fields
  };
  for (const Slide& slide : slides) {
    select(1155, slide.item);
    video_sets(seen);
    slide_to(slide.position);
    const auto sets = video_sets(seen);
    ASSERT_EQ(sets.size(), 1u) << slide.item;
    EXPECT_EQ(record_word(sets[0], 24), slide.flag);
    EXPECT_EQ(record_word(sets[0], slide.field), slide.value);
    if (slide.flag == 0x08) {
      EXPECT_EQ(record_word(sets[0], 52), slide.value) << "overscan Y";
    }
  }

  for (int click = 0; click < 8; ++click) click_button(1004);
  click_button(1015);  // up from 2
  const auto moves = video_sets(seen);
  ASSERT_EQ(moves.size(), 9u);
  EXPECT_EQ(record_word(moves[7], 64), 100u) << "eight clicks right from 70";
  EXPECT_EQ(record_word(moves[8], 24), 0x20u);
  EXPECT_EQ(record_word(moves[8], 64), 100u) << "both positions are always sent";
  EXPECT_EQ(record_word(moves[8], 68), 0u) << "up from 2";
}

TEST_F(TvOutPage, TvOutputAndRouting) {
  SimulatedSystem system;
  system.board.video.max_unscaled_width = 800;
  system.board.video.max_unscaled_height = 600;
  open(system);  // TV off, monitor in use
  commands();

  click_button(1105);  // set while the TV is off: asks, but routes nothing
  for (const Command& command : commands()) EXPECT_NE(command.code, 0x03B0u);
  click_button(1105);  // cleared: monitor and TV, even with the TV off
  auto sent = commands();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].code, 0x03B0u);
  EXPECT_EQ(sent[0].mode, 1u);

  click_button(1103);  // on
  sent = commands();
  std::vector<DWORD> codes;
  for (const Command& command : sent) codes.push_back(command.code);
  EXPECT_EQ(codes, (std::vector<DWORD>{0x0004, 0x0360, 0x0501, 0x0300, 0x03B0}));
  const auto modes = tvsim::calls_to("ChangeDisplaySettingsA");
  ASSERT_EQ(modes.size(), 1u);
  EXPECT_EQ(modes[0].code, 156);
  EXPECT_EQ(modes[0].args, (std::vector<std::uintptr_t>{0x180000, 800, 600, CDS_UPDATEREGISTRY}));
  for (int id : kTvControls) EXPECT_TRUE(enabled(id)) << id;

  // Off: the size the driver answers now, not the one stored when switching on.
  tvsim::model().board.desktop_width = 1152;
  tvsim::model().board.desktop_height = 864;
  click_button(1103);
  const auto restored = tvsim::calls_to("ChangeDisplaySettingsA");
  ASSERT_EQ(restored.size(), 2u);
  EXPECT_EQ(restored[1].args[1], 1152u);
  EXPECT_EQ(restored[1].args[2], 864u);
  for (int id : kTvControls) EXPECT_FALSE(enabled(id)) << id;

  // On, but the output does not come on: box cleared, controls off, the monitor stays in use.
  tvsim::model().board.tv_output_starts = false;
  click_button(1105);
  commands();
  click_button(1103);
  EXPECT_FALSE(checked(1103));
  EXPECT_TRUE(checked(1105)) << "the monitor box keeps the user's choice";
  for (int id : kTvControls) EXPECT_FALSE(enabled(id)) << id;
  sent = commands();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().code, 0x03B0u);
  EXPECT_EQ(sent.back().mode, 1u) << "routed to monitor and TV";
}

struct ClipMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<ClipMessage> g_clip_messages;
WNDPROC g_clip_procedure = nullptr;

LRESULT CALLBACK record_clip_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ACM_PLAY || message == ACM_STOP)
    g_clip_messages.push_back({message, wParam, lParam});
  return CallWindowProcA(g_clip_procedure, window, message, wParam, lParam);
}

TEST_F(TvOutPage, ApplySavesPanelValuesAndGammaCancelKeepsThemLeavingStopsTheClip) {
  const std::string panel_key = "Software\\Qelt Interactive\\Vantrel\\Control Panel";
  const std::string driver_key = "SYSTEM\\CurrentControlSet\\Services\\vantrel\\Device0";
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Qelt Interactive");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, driver_key.c_str());
  open(SimulatedSystem{});

  // What the clip control is asked when the page is left (Apply leaves it first).
  g_clip_messages.clear();
  const HWND clip = item(1143);
  g_clip_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&record_clip_message)));
  const bool playing = panel().animation_playing(page_) != FALSE;
  SendMessageA(sheet_, PSM_APPLY, 0, 0);
  pump();
  SetWindowLongPtrA(clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_clip_procedure));
  EXPECT_EQ(tvsim::model().board.settings_applied, 1);
  ASSERT_FALSE(g_clip_messages.empty());
  EXPECT_EQ(g_clip_messages.back().message, UINT(ACM_STOP));
  if (playing) {  // a clip that already ended shows its last frame and is not asked again
    ASSERT_GE(g_clip_messages.size(), 2u);
    const ClipMessage seek = g_clip_messages[g_clip_messages.size() - 2];
    EXPECT_EQ(seek.message, UINT(ACM_PLAY));
    EXPECT_EQ(seek.wParam, 0u);
    EXPECT_EQ(seek.lParam, MAKELONG(94, 94)) << "the last frame";
  }
  EXPECT_TRUE(panel().animation_at_end(page_));
  EXPECT_FALSE(panel().animation_playing(page_));
  struct Expected {
    std::string key;
    std::string value;
    std::string text;
  };
  std::vector<Expected> expected = {{panel_key, "Lock Gamma", "1"}, {panel_key, "Last API", "0"}};
  for (const char* group : {"", "\\Vorla", "\\D3D"})
    for (const char* colour : {"R", "G", "B"})
      expected.push_back({driver_key + group, std::string("KQX77_") + colour + "GAMMA",
                          *group != '\0' ? "1.300000" : "1.000000"});
  for (const Expected& e : expected)
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, e.key, e.value.c_str()), e.text) << e.key << " " << e.value;

  SendMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  pump();
  for (const Expected& e : expected)
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, e.key, e.value.c_str()), e.text) << e.key << " " << e.value;
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Qelt Interactive");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, driver_key.c_str());
}

TEST_F(TvOutPage, LinkLabelHoversOpensAndCopies) {
  open(SimulatedSystem{});
  const HWND link = panel().link_window(page_);
  ASSERT_NE(link, nullptr);
  SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(panel().link_state(page_), 2) << "hovered";
  SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(-5, -5));
  EXPECT_EQ(panel().link_state(page_), 0) << "left";

  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  pump();
  const auto opened = tvsim::calls_to("ShellExecuteA");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].text, "open http://www.qelt-interactive.example/");
  EXPECT_EQ(panel().link_state(page_), 1) << "visited";

  SendMessageA(link, WM_COMMAND, 32772, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE text = GetClipboardData(CF_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(text)), "http://www.qelt-interactive.example/");
  GlobalUnlock(text);
  CloseClipboard();
}

// The page as a person sees it: saved under the build folder, its pictures painted and its
// controls where the dialog template puts them.
TEST_F(TvOutPage, ScreenshotShowsThePageAsItsTemplateLaysItOut) {
  SimulatedSystem system;
  system.board.tv_state_flags = 0x2;
  open(system);
  SetWindowPos(sheet_, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(sheet_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pump_messages(300);  // the clip has run a few frames
  const Picture shot = capture_window(sheet_);
  ASSERT_GT(shot.width, 0);
  EXPECT_TRUE(save_png(shot, "tvout_page.png"));
  EXPECT_GT(shot.colours_in(RECT{0, 0, shot.width, shot.height}), 50u) << "blank";

  struct Placed {
    int id;
    RECT units;  // left, top, width, height in dialog units
  } const placed[] = {
      {1141, {7, 7, 94, 80}},
      {1103, {134, 10, 112, 10}},
      {1127, {38, 128, 172, 18}},
      {1004, {75, 190, 16, 14}},
  };
  RECT sheet_place;
  GetWindowRect(sheet_, &sheet_place);
  for (const Placed& p : placed) {
    RECT expected = {p.units.left, p.units.top, p.units.left + p.units.right,
                     p.units.top + p.units.bottom};
    MapDialogRect(window_, &expected);
    RECT actual;
    GetWindowRect(item(p.id), &actual);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << p.id;
    EXPECT_EQ(actual.top, expected.top) << p.id;
    // Painted: the control's area in the screenshot is not one flat colour.
    RECT on_screen;
    GetWindowRect(item(p.id), &on_screen);
    OffsetRect(&on_screen, -sheet_place.left, -sheet_place.top);
    EXPECT_GT(shot.colours_in(on_screen), 2u) << p.id;
  }
  // The clip lies over the television's screen in the picture.
  RECT picture, clip;
  GetWindowRect(item(1141), &picture);
  GetWindowRect(item(1143), &clip);
  EXPECT_EQ(clip.left - picture.left, 12);
  EXPECT_EQ(clip.top - picture.top, 11);
  EXPECT_EQ(clip.right - clip.left, 114);
  EXPECT_GT(
      shot.colours_in(RECT{picture.left - sheet_place.left, picture.top - sheet_place.top,
                           picture.right - sheet_place.left, picture.bottom - sheet_place.top}),
      20u)
      << "the television is drawn";
}

// With two board monitors each display's driver gets its ramp through a context made for its
// device, deleted after; destroying the page puts the saved gamma back once more.
TEST_F(TvOutPage, EachBoardMonitorGetsItsRampAtOpeningAndAgainWhenThePageGoes) {
  SimulatedSystem system;
  system.monitors = {tvsim::MonitorModel{}, tvsim::MonitorModel{}};
  system.monitors[1].area = RECT{640, 0, 1280, 480};
  system.virtual_width = 1280;
  open(system);
  auto ramps_on = [](HDC dc) {
    int count = 0;
    for (const Call& call : tvsim::calls_to("ExtEscape"))
      count += call.handle == dc && record_word(call.input, 0) == 0x0201;
    return count;
  };
  EXPECT_EQ(ramps_on(tvsim::monitor_dc(0)), 1);
  EXPECT_EQ(ramps_on(tvsim::monitor_dc(1)), 1);
  EXPECT_EQ(ramps_on(tvsim::screen_dc()), 0);

  DestroyWindow(sheet_);
  sheet_ = nullptr;
  pump();
  panel().destroy_page(page_);
  page_ = nullptr;
  EXPECT_EQ(ramps_on(tvsim::monitor_dc(0)), 2);
  EXPECT_EQ(ramps_on(tvsim::monitor_dc(1)), 2);
  std::size_t deleted = 0;
  for (const Call& call : tvsim::calls_to("DeleteDC"))
    deleted += call.handle == tvsim::monitor_dc(0) || call.handle == tvsim::monitor_dc(1);
  EXPECT_EQ(deleted, tvsim::calls_to("CreateDCA").size()) << "each monitor's context is deleted";
}

TEST_F(TvOutPage, ContextHelpUsesTheHelpIdsForControlsOnly) {
  open(SimulatedSystem{});
  HELPINFO request = {};
  request.cbSize = sizeof request;
  request.iContextType = HELPINFO_WINDOW;
  request.iCtrlId = 1110;
  request.hItemHandle = item(1110);
  SendMessageA(window_, WM_HELP, 0, reinterpret_cast<LPARAM>(&request));
  SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(item(1127)), MAKELPARAM(5, 5));
  SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), MAKELPARAM(5, 5));
  const auto help = tvsim::calls_to("WinHelpA");
  ASSERT_EQ(help.size(), 2u) << "nothing for the page itself";
  EXPECT_EQ(help[0].code, HELP_WM_HELP);
  EXPECT_EQ(help[0].handle, item(1110));
  EXPECT_EQ(help[1].code, HELP_CONTEXTMENU);
  EXPECT_EQ(help[1].handle, item(1127));
  EXPECT_NE(help[0].text.find(".HLP"), std::string::npos) << help[0].text;
  // The table both requests name: control and help id pairs ended by 0, 0.
  const auto* table = reinterpret_cast<const DWORD*>(help[0].args[0]);
  std::vector<DWORD> pairs;
  for (; table[0] != 0; table += 2) pairs.insert(pairs.end(), {table[0], table[1]});
  EXPECT_EQ(pairs,
            (std::vector<DWORD>{1141, 0x20475, 1110, 0x20456, 1103, 0x2044F, 1105, 0x20451,
                                1155, 0x20483, 1127, 0x20467, 1154, 0x20467, 1153, 0x20467,
                                1015, 0x203F7, 1017, 0x203F9, 1002, 0x203EA, 1004, 0x203EC}));
}

}  // namespace
