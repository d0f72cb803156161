// The Win32 back end in this process: presentation of the emulated display
// on a real window (colours through the slots, palette animation without
// redrawing), input from the system's messages, previews inside a host
// window, and the command-line tail.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "orvo/backend.h"
#include "orvo/display.h"
#include "orvo/platform.h"
#include "orvo/win32_backend.h"
#include "win32_probe.h"

namespace {

namespace probe = orvo::win32::probe;

// ---- Pure pieces ------------------------------------------------------------------

TEST(CommandLine, TailFollowsTheProgramNameAndItsBlanks) {
  struct Case {
    const wchar_t* line;
    const char* tail;
  };
  const Case cases[] = {
      {L"plasma.scr /s", "/s"},
      {L"\"C:\\Program Files\\Orvo\\plasma.scr\" /p 1234", "/p 1234"},
      {L"\"C:\\Windows\\System32\\stars.scr\"/c:4567", "/c:4567"},
      {L"stars.scr \t \x01 -S", "-S"},
      {L"stars.scr", ""},
      {L"\"unterminated name /s", ""},
      {L"stars.scr   ", ""},
      {L"stars.scr /c \x00e9", "/c \xc3\xa9"},
      {L"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    EXPECT_EQ(orvo::win32::CommandTailOf(c.line), c.tail);
  }
}

// ---- Windows of this process --------------------------------------------------------

struct Seen {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  g_seen.push_back({message, wparam, lparam});
  if (message == WM_CLOSE || message == WM_SYSCOMMAND) return 0;  // stays open
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Win32BackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orvo::platform::InstallWin32Backend();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "OrvoBackendTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    g_seen.clear();
  }
  void TearDown() override {
    for (HWND w : windows_)
      if (IsWindow(w)) DestroyWindow(w);
    UnregisterClassA("OrvoBackendTest", nullptr);
  }

  HWND Popup(int x, int y, int width, int height) {
    HWND hwnd = CreateWindowExA(0, "OrvoBackendTest", "backend test", WS_POPUP | WS_VISIBLE, x, y, width,
                                height, nullptr, nullptr, nullptr, nullptr);
    windows_.push_back(hwnd);
    Drain(100);
    return hwnd;
  }

  // Lets the emulated queue take in what the system delivered.
  static void Drain(int ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    do {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(5);
    } while (GetTickCount() - start < static_cast<DWORD>(ms));
  }

  static probe::Image Shown(HWND hwnd) {
    probe::Pump(50);
    return probe::CaptureScreen(probe::ClientOnScreen(Id(hwnd)));
  }

  static probe::WindowId Id(HWND hwnd) {
    return static_cast<probe::WindowId>(reinterpret_cast<std::uintptr_t>(hwnd));
  }

  std::vector<HWND> windows_;
};

// What is drawn in slots reaches the screen in the slots' colours.
TEST_F(Win32BackendTest, PresentsTheSlotsColours) {
  HWND hwnd = Popup(0, 0, 64, 48);
  ASSERT_NE(hwnd, nullptr);
  HDC dc = GetDC(hwnd);
  PatBlt(dc, 0, 0, 64, 48, BLACKNESS);
  PatBlt(dc, 8, 4, 20, 10, WHITENESS);
  SetPixel(dc, 40, 30, RGB(255, 0, 0));  // static red
  SetPixel(dc, 41, 30, RGB(0, 0, 255));  // static blue
  GdiFlush();
  const probe::Image image = Shown(hwnd);
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 48);
  EXPECT_EQ(image.at(8, 4), 0xFFFFFFu);
  EXPECT_EQ(image.at(27, 13), 0xFFFFFFu);
  EXPECT_EQ(image.at(28, 13), 0x000000u);
  EXPECT_EQ(image.at(40, 30), 0xFF0000u);
  EXPECT_EQ(image.at(41, 30), 0x0000FFu);
  EXPECT_EQ(image.at(0, 0), 0x000000u);
  EXPECT_EQ(image.at(63, 47), 0x000000u);
}

// The back end puts exactly the rectangles it is given: the rest of the
// window keeps what it showed, also when the system repaints the window
// from the kept image. A bottom-up surface, and a child window inside a
// host (as a preview is), show the same picture.
TEST_F(Win32BackendTest, PresentsOnlyTheGivenRectangles) {
  using orvo::platform::PixelRect;
  orvo::platform::Backend& backend = orvo::platform::GetBackend();
  std::array<orvo::platform::Rgb, orvo::platform::kSlotCount> colours{};
  colours[1] = {255, 0, 0};
  colours[2] = {0, 0, 255};
  probe::HostWindow host(200, 120);
  for (int round = 0; round < 3; ++round) {
    const bool bottom_up = round == 1, child = round == 2;
    SCOPED_TRACE(child ? "child" : bottom_up ? "bottom-up" : "top-down");
    orvo::platform::NativeWindowParams params;
    if (child) params.parent = host.id();
    params.width = 200;
    params.height = 120;
    params.class_name = "OrvoPresentTest";
    params.title = "present test";
    const orvo::platform::NativeId id = backend.CreateNativeWindow(params);
    ASSERT_NE(id, 0u);
    orvo::platform::Surface surface(200, 120);
    surface.set_bottom_up(bottom_up);
    const PixelRect whole{0, 0, 200, 120};
    ASSERT_TRUE(backend.Present(id, surface, {&whole, 1}, colours, 1));  // all black
    // Every pixel red, a blue column at x = 150; only two rectangles sent.
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 200; ++x) surface.row(y)[x] = x == 150 ? 2 : 1;
    }
    const PixelRect sent[] = {{0, 0, 16, 8}, {90, 40, 300, 120}};  // the second one clipped
    ASSERT_TRUE(backend.Present(id, surface, sent, colours, 1));
    const auto inside = [&](int x, int y) {
      for (const PixelRect& r : sent)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
      return false;
    };
    const auto check = [&](const probe::Image& image) {
      ASSERT_EQ(image.width, 200);
      ASSERT_EQ(image.height, 120);
      for (int y = 0; y < 120; y += 3) {
        for (int x = 0; x < 200; ++x) {
          const std::uint32_t want = !inside(x, y) ? 0x000000u : x == 150 ? 0x0000FFu : 0xFF0000u;
          ASSERT_EQ(image.at(x, y), want) << "at " << x << "," << y;
        }
      }
    };
    probe::Pump(50);
    check(probe::CaptureScreen(probe::ClientOnScreen(id)));
    probe::Repaint(id);
    probe::Pump(50);
    check(probe::CaptureScreen(probe::ClientOnScreen(id)));
    backend.DestroyNativeWindow(id);
  }
}

// Animating the palette changes what the window shows without a single
// pixel drawn again: the colour cycling a true-colour screen cannot do.
TEST_F(Win32BackendTest, PaletteAnimationChangesTheShownColours) {
  HWND hwnd = Popup(0, 0, 40, 30);
  HDC dc = GetDC(hwnd);
  std::vector<std::uint8_t> memory(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(memory.data());
  log->palVersion = 0x300;
  log->palNumEntries = 2;
  log->palPalEntry[0] = PALETTEENTRY{10, 200, 30, PC_RESERVED};
  log->palPalEntry[1] = PALETTEENTRY{90, 20, 160, PC_RESERVED};
  HPALETTE palette = CreatePalette(log);
  SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);
  HBRUSH brush = CreateSolidBrush(PALETTEINDEX(0));
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, 0, 0, 40, 30, PATCOPY);
  SelectObject(dc, old);
  DeleteObject(brush);
  GdiFlush();
  EXPECT_EQ(Shown(hwnd).at(20, 15), 0x0AC81Eu);

  const PALETTEENTRY next{250, 128, 5, PC_RESERVED};
  AnimatePalette(palette, 0, 1, &next);
  GdiFlush();
  const probe::Image after = Shown(hwnd);
  EXPECT_EQ(after.at(0, 0), 0xFA8005u);
  EXPECT_EQ(after.at(39, 29), 0xFA8005u);
  SelectPalette(dc, reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
  DeleteObject(palette);
}

// The system's messages for the window become the emulated window's.
TEST_F(Win32BackendTest, SystemInputReachesTheEmulatedWindow) {
  HWND hwnd = Popup(0, 0, 100, 80);
  struct Case {
    const char* what;
    void (*send)(probe::WindowId);
    UINT expected;
    WPARAM wparam;
    LPARAM lparam;
    bool check_params;
  };
  const Case cases[] = {
      {"key", [](probe::WindowId w) { probe::PostKey(w, 'Q'); }, WM_KEYDOWN, 'Q', 0, false},
      {"key release", [](probe::WindowId w) { probe::PostKey(w, 'Q'); }, WM_KEYUP, 'Q', 0, false},
      {"left click", [](probe::WindowId w) { probe::PostClick(w, 17, 23); }, WM_LBUTTONDOWN, 0,
       MAKELPARAM(17, 23), true},
      {"close box", [](probe::WindowId w) { probe::Close(w); }, WM_SYSCOMMAND, SC_CLOSE, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_seen.clear();
    c.send(Id(hwnd));
    Drain(150);
    bool found = false;
    for (const Seen& s : g_seen) {
      if (s.message != c.expected) continue;
      found = true;
      EXPECT_EQ(s.wparam, c.wparam);
      if (c.check_params) {
        EXPECT_EQ(s.lparam, c.lparam);
      }
    }
    EXPECT_TRUE(found);
  }
  EXPECT_TRUE(IsWindow(hwnd));  // the close box only asks
}

// A preview is a real child of the host window with its client size, and
// goes away with it.
TEST_F(Win32BackendTest, PreviewChildLivesAndDiesWithItsHost) {
  probe::HostWindow host(152, 112);
  ASSERT_NE(host.id(), 0u);
  HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(host.id()));
  RECT client{};
  ASSERT_TRUE(GetClientRect(parent, &client));
  EXPECT_EQ(client.right, 152);
  EXPECT_EQ(client.bottom, 112);
  HWND child = CreateWindowExA(0, "OrvoBackendTest", "Preview", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                               client.bottom, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  windows_.push_back(child);
  EXPECT_EQ(probe::ParentOf(Id(child)), host.id());
  EXPECT_EQ(probe::ClientOnScreen(Id(child)), probe::ClientOnScreen(host.id()));
  HDC dc = GetDC(child);
  PatBlt(dc, 0, 0, 152, 112, WHITENESS);
  PatBlt(dc, 0, 0, 76, 112, BLACKNESS);
  GdiFlush();
  const probe::Image image = Shown(child);
  EXPECT_EQ(image.at(10, 10), 0x000000u);
  EXPECT_EQ(image.at(100, 10), 0xFFFFFFu);

  g_seen.clear();
  host.Destroy();
  Drain(150);
  EXPECT_FALSE(IsWindow(child));
  bool destroyed = false;
  for (const Seen& s : g_seen) destroyed = destroyed || s.message == WM_DESTROY;
  EXPECT_TRUE(destroyed);
}

// Cursor positions count from the virtual screen's corner, where the
// full-screen window starts; the screen is the virtual screen.
TEST_F(Win32BackendTest, CursorAndScreenAreTheVirtualScreens) {
  probe::MoveCursor(33, 44);
  POINT p{};
  ASSERT_TRUE(GetCursorPos(&p));
  // Under a single screen (Xvfb) the virtual screen starts at 0,0.
  EXPECT_EQ(p.x, 33);
  EXPECT_EQ(p.y, 44);
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
}

}  // namespace
