// A test's own view of the Windows desktop, independent of the programs
// under test: starting programs, finding and reading windows, capturing the
// screen, sending input, and a host window for previews. Its interface
// carries no system types, so tests include it beside our own headers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvo::win32::probe {

using WindowId = std::uint32_t;  // a window handle's value; 0 is none

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Pixels as 0x00RRGGBB, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// ---- Programs ---------------------------------------------------------------------

// The folder of the running test program (UTF-8, without a final separator).
std::string OwnFolder();

class Process {
 public:
  // Starts `program` with `arguments` as its command-line tail; `environment`
  // entries are added to (or replace) this process's environment.
  static std::unique_ptr<Process> Start(const std::string& program, const std::string& arguments,
                                        const std::vector<std::pair<std::string, std::string>>& environment = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  std::uint32_t id() const { return id_; }
  // Waits up to `timeout_ms` for the end; true with its exit code when it ended.
  bool Wait(std::uint32_t timeout_ms, std::uint32_t* exit_code);
  void Kill();

 private:
  Process() = default;
  void* handle_ = nullptr;
  std::uint32_t id_ = 0;
};

// ---- Windows ----------------------------------------------------------------------

// A visible top-level window of `process_id` (0: any process) whose class
// and title match (an empty string matches any); 0 when there is none.
WindowId FindTopLevel(std::uint32_t process_id, const std::string& class_name, const std::string& title);
// As FindTopLevel, retried until found or `timeout_ms` passed, pumping this
// thread's messages meanwhile.
WindowId WaitForTopLevel(std::uint32_t process_id, const std::string& class_name, const std::string& title,
                         std::uint32_t timeout_ms);
bool Exists(WindowId window);
bool Visible(WindowId window);
std::string ClassOf(WindowId window);
std::string TextOf(WindowId window);
std::uint32_t StyleOf(WindowId window);
WindowId ParentOf(WindowId window);  // 0 for a top-level window
std::uint32_t ProcessOf(WindowId window);
// The window's client area in screen coordinates.
Rect ClientOnScreen(WindowId window);
// The direct children of a window, in their order (a dialog's: template order).
std::vector<WindowId> Children(WindowId window);
// A dialog's control by its id; 0 when there is none.
WindowId DialogItem(WindowId dialog, int id);
// Where the dialog manager places a control whose template rectangle is
// x, y, cx, cy in dialog units: position and size are each converted, in
// pixels of the dialog's client area.
Rect ControlPlace(WindowId dialog, int x, int y, int cx, int cy);
// A child's window rectangle relative to its parent's client area.
Rect RectInParent(WindowId child);
// A button's check state (0, 1) or -1 when it is no button.
int CheckOf(WindowId button);
bool Enabled(WindowId window);
// A scroll bar control's range and position.
bool ScrollState(WindowId bar, int* min, int* max, int* pos);
// A combo box's entries.
std::vector<std::string> ComboEntries(WindowId combo);

// Clicks a button of another thread's dialog as the user would (BM_CLICK).
void Click(WindowId button);
// Picks entry `index` of a dialog's combo box as a click in its list does:
// the selection changes and the dialog hears CBN_SELCHANGE.
void PickEntry(WindowId dialog, int combo_id, int index);
// Posts a key press and release to a window.
void PostKey(WindowId window, std::uint16_t vk);
// Posts a left-button press and release at client coordinates.
void PostClick(WindowId window, int x, int y);
// Synthesises a key press and release as the keyboard would (SendInput).
void PressKey(std::uint16_t vk);
// Moves the cursor to screen coordinates.
void MoveCursor(int x, int y);
// Asks a window to close (WM_CLOSE).
void Close(WindowId window);
// Has the system repaint all of a window of this thread now.
void Repaint(WindowId window);
// Moves a window to the foreground.
void Activate(WindowId window);
// The window that owns a top-level window (a dialog's owner); 0 for none.
WindowId OwnerOf(WindowId window);
// Whether a top-level window stays above all others.
bool Topmost(WindowId window);

// This thread's id, and a way to end another thread's message loop
// (WM_QUIT), for a test whose subject does not end by itself.
std::uint32_t CurrentThread();
void QuitThread(std::uint32_t thread);

// Handles this thread's messages for `ms` milliseconds.
void Pump(std::uint32_t ms);

// ---- Pictures ---------------------------------------------------------------------

// What the screen shows in `area` (screen coordinates).
Image CaptureScreen(const Rect& area);
// Writes an image as a 24-bit BMP file.
bool SaveBmp(const Image& image, const std::string& path);

// ---- A window of the test's own, as a preview's host ------------------------------

class HostWindow {
 public:
  // A visible top-level window whose client area is width x height.
  HostWindow(int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  WindowId id() const { return id_; }
  void Destroy();

 private:
  WindowId id_ = 0;
};

// ---- Resources of a program file ----------------------------------------------------

// String `id` of a program's string table; "" when it has none.
std::string ProgramString(const std::string& program, int id);
// Whether the program carries icon group `id`.
bool ProgramHasIcon(const std::string& program, int id);
// The program's file description from its version resource.
std::string ProgramDescription(const std::string& program);

// ---- Files --------------------------------------------------------------------------

// A file held open for reading by "another program", as an editor or a
// virus scanner would; `share_delete` says whether it lets the file be
// replaced meanwhile.
class HeldFile {
 public:
  HeldFile(const std::string& path, bool share_delete);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

bool SetReadOnly(const std::string& path, bool read_only);
// The names in a folder (not "." and "..").
std::vector<std::string> FolderEntries(const std::string& folder);

// ---- The system ----------------------------------------------------------------------

// Whether this is Wine rather than Windows. Wine (8.0) gives a child window
// owned by another process no drawable, so what such a window draws never
// reaches the screen there.
bool UnderWine();

// ---- Time -------------------------------------------------------------------------

std::uint32_t SystemTickCount();

}  // namespace orvo::win32::probe
