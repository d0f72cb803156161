#include "win32_probe.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "wide_text.h"

namespace orvo::win32::probe {
namespace {

HWND H(WindowId id) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(id))); }
WindowId Id(HWND hwnd) { return static_cast<WindowId>(reinterpret_cast<ULONG_PTR>(hwnd) & 0xFFFFFFFFu); }

struct Search {
  DWORD process;
  std::wstring class_name;
  std::wstring title;
  HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM data) {
  auto* s = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(hwnd)) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (s->process != 0 && process != s->process) return TRUE;
  wchar_t text[512] = {};
  if (!s->class_name.empty()) {
    GetClassNameW(hwnd, text, 512);
    if (s->class_name != text) return TRUE;
  }
  if (!s->title.empty()) {
    GetWindowTextW(hwnd, text, 512);
    if (s->title != text) return TRUE;
  }
  s->found = hwnd;
  return FALSE;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(reinterpret_cast<HDC>(wparam), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return 1;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

std::wstring Quoted(const std::string& program) { return L"\"" + Widen(program) + L"\""; }

}  // namespace

std::string OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  const std::size_t slash = folder.find_last_of(L"\\/");
  if (slash != std::wstring::npos) folder.resize(slash);
  return Narrow(folder);
}

std::unique_ptr<Process> Process::Start(const std::string& program, const std::string& arguments,
                                        const std::vector<std::pair<std::string, std::string>>& environment) {
  // The environment block: ours, with the given variables set.
  std::vector<std::pair<std::wstring, std::wstring>> variables;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
      const std::wstring entry(p);
      const std::size_t eq = entry.find(L'=', 1);
      if (eq == std::wstring::npos) continue;
      variables.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    }
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : environment) {
    const std::wstring wide_name = Widen(name);
    bool replaced = false;
    for (auto& v : variables) {
      if (CompareStringOrdinal(v.first.c_str(), -1, wide_name.c_str(), -1, TRUE) == CSTR_EQUAL) {
        v.second = Widen(value);
        replaced = true;
      }
    }
    if (!replaced) variables.emplace_back(wide_name, Widen(value));
  }
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  block += L'\0';

  std::wstring command = Quoted(program);
  if (!arguments.empty()) command += L" " + Widen(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      block.data(), nullptr, &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  std::unique_ptr<Process> process(new Process());
  process->handle_ = info.hProcess;
  process->id_ = info.dwProcessId;
  return process;
}

Process::~Process() {
  DWORD code = 0;
  if (handle_ != nullptr && GetExitCodeProcess(handle_, &code) && code == STILL_ACTIVE) Kill();
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool Process::Wait(std::uint32_t timeout_ms, std::uint32_t* exit_code) {
  const DWORD start = GetTickCount();
  for (;;) {
    // Our own windows (a preview's host) stay responsive meanwhile.
    const DWORD waited = GetTickCount() - start;
    const DWORD left = waited >= timeout_ms ? 0 : timeout_ms - waited;
    const DWORD r = MsgWaitForMultipleObjects(1, &handle_, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      Pump(0);
      continue;
    }
    return false;
  }
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  if (exit_code != nullptr) *exit_code = code;
  return true;
}

void Process::Kill() {
  TerminateProcess(handle_, 0xDEAD);
  WaitForSingleObject(handle_, 5000);
}

WindowId FindTopLevel(std::uint32_t process_id, const std::string& class_name, const std::string& title) {
  Search s{process_id, Widen(class_name), Widen(title), nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
  return Id(s.found);
}

WindowId WaitForTopLevel(std::uint32_t process_id, const std::string& class_name, const std::string& title,
                         std::uint32_t timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (WindowId found = FindTopLevel(process_id, class_name, title)) return found;
    if (GetTickCount() - start >= timeout_ms) return 0;
    Pump(50);
  }
}

bool Exists(WindowId window) { return window != 0 && IsWindow(H(window)); }
bool Visible(WindowId window) { return IsWindowVisible(H(window)) != FALSE; }

std::string ClassOf(WindowId window) {
  wchar_t name[256] = {};
  GetClassNameW(H(window), name, 256);
  return Narrow(name);
}

std::string TextOf(WindowId window) {
  // Another process's window answers WM_GETTEXT across the boundary.
  wchar_t text[1024] = {};
  SendMessageTimeoutW(H(window), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return Narrow(text);
}

std::uint32_t StyleOf(WindowId window) {
  return static_cast<std::uint32_t>(GetWindowLongPtrW(H(window), GWL_STYLE));
}

WindowId ParentOf(WindowId window) {
  HWND parent = GetAncestor(H(window), GA_PARENT);
  return parent == nullptr || parent == GetDesktopWindow() ? 0 : Id(parent);
}

std::uint32_t ProcessOf(WindowId window) {
  DWORD process = 0;
  GetWindowThreadProcessId(H(window), &process);
  return process;
}

Rect ClientOnScreen(WindowId window) {
  RECT r{};
  GetClientRect(H(window), &r);
  POINT origin{0, 0};
  ClientToScreen(H(window), &origin);
  return Rect{origin.x, origin.y, origin.x + r.right, origin.y + r.bottom};
}

std::vector<WindowId> Children(WindowId window) {
  std::vector<WindowId> children;
  for (HWND c = GetWindow(H(window), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(Id(c));
  return children;
}

WindowId DialogItem(WindowId dialog, int id) { return Id(GetDlgItem(H(dialog), id)); }

Rect ControlPlace(WindowId dialog, int x, int y, int cx, int cy) {
  RECT r{x, y, cx, cy};  // each field is converted on its own
  MapDialogRect(H(dialog), &r);
  return Rect{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

Rect RectInParent(WindowId child) {
  RECT r{};
  GetWindowRect(H(child), &r);
  MapWindowPoints(nullptr, GetParent(H(child)), reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right, r.bottom};
}

int CheckOf(WindowId button) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(H(button), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
  return static_cast<int>(result);
}

bool Enabled(WindowId window) { return IsWindowEnabled(H(window)) != FALSE; }

bool ScrollState(WindowId bar, int* min, int* max, int* pos) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS;
  if (!GetScrollInfo(H(bar), SB_CTL, &info)) return false;
  *min = info.nMin;
  *max = info.nMax;
  *pos = info.nPos;
  return true;
}

std::vector<std::string> ComboEntries(WindowId combo) {
  std::vector<std::string> entries;
  DWORD_PTR count = 0;
  SendMessageTimeoutW(H(combo), CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  for (DWORD_PTR i = 0; i < count && static_cast<LRESULT>(count) != CB_ERR; ++i) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(H(combo), CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &length);
    if (length >= 1024) continue;
    SendMessageTimeoutW(H(combo), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    entries.push_back(Narrow(text));
  }
  return entries;
}

void Click(WindowId button) { PostMessageW(H(button), BM_CLICK, 0, 0); }

void PickEntry(WindowId dialog, int combo_id, int index) {
  HWND combo = GetDlgItem(H(dialog), combo_id);
  SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  PostMessageW(H(dialog), WM_COMMAND, MAKEWPARAM(combo_id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void PostKey(WindowId window, std::uint16_t vk) {
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  PostMessageW(H(window), WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageW(H(window), WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
}

void PostClick(WindowId window, int x, int y) {
  const LPARAM where = MAKELPARAM(x, y);
  PostMessageW(H(window), WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageW(H(window), WM_LBUTTONUP, 0, where);
}

void PressKey(std::uint16_t vk) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

void MoveCursor(int x, int y) { SetCursorPos(x, y); }

void Close(WindowId window) { PostMessageW(H(window), WM_CLOSE, 0, 0); }

void Repaint(WindowId window) {
  RedrawWindow(H(window), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Activate(WindowId window) { SetForegroundWindow(H(window)); }

WindowId OwnerOf(WindowId window) { return Id(GetWindow(H(window), GW_OWNER)); }

bool Topmost(WindowId window) { return (GetWindowLongPtrW(H(window), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

std::uint32_t CurrentThread() { return GetCurrentThreadId(); }

void QuitThread(std::uint32_t thread) { PostThreadMessageW(thread, WM_QUIT, 0, 0); }

void Pump(std::uint32_t ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const DWORD waited = GetTickCount() - start;
    if (waited >= ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
  } while (true);
}

Image CaptureScreen(const Rect& area) {
  Image image;
  image.width = std::max(area.width(), 0);
  image.height = std::max(area.height(), 0);
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
  if (image.pixels.empty()) return image;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = pixels[i] & 0xFFFFFFu;
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

bool SaveBmp(const Image& image, const std::string& path) {
  const int row = (image.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = image.width;
  header.biHeight = -image.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(row) * image.height;
  FILE* out = _wfopen(Widen(path).c_str(), L"wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
  std::vector<unsigned char> line(static_cast<std::size_t>(row), 0);
  for (int y = 0; ok && y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.at(x, y);
      line[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>(p & 0xFF);
      line[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
      line[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
    }
    ok = std::fwrite(line.data(), line.size(), 1, out) == 1;
  }
  return std::fclose(out) == 0 && ok;
}

HostWindow::HostWindow(int width, int height) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"OrvoTestHost";
    return RegisterClassW(&wc) != 0;
  }();
  if (!registered) return;
  RECT frame{0, 0, width, height};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE | WS_CLIPCHILDREN;
  AdjustWindowRect(&frame, style, FALSE);
  HWND hwnd = CreateWindowExW(0, L"OrvoTestHost", L"Orvo preview host", style, 40, 40,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  id_ = Id(hwnd);
  Pump(50);
}

HostWindow::~HostWindow() { Destroy(); }

void HostWindow::Destroy() {
  if (id_ != 0) DestroyWindow(H(id_));
  id_ = 0;
}

std::string ProgramString(const std::string& program, int id) {
  HMODULE module = LoadLibraryExW(Widen(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return std::string();
  wchar_t text[512] = {};
  const int n = LoadStringW(module, static_cast<UINT>(id), text, 512);
  FreeLibrary(module);
  return n > 0 ? Narrow(std::wstring(text, static_cast<std::size_t>(n))) : std::string();
}

bool ProgramHasIcon(const std::string& program, int id) {
  HMODULE module = LoadLibraryExW(Widen(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  const bool found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON) != nullptr;
  FreeLibrary(module);
  return found;
}

std::string ProgramDescription(const std::string& program) {
  const std::wstring path = Widen(program);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::string();
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                      reinterpret_cast<void**>(&value), &length) ||
      value == nullptr) {
    return std::string();
  }
  return Narrow(std::wstring(value, length > 0 ? length - 1 : 0));
}

HeldFile::HeldFile(const std::string& path, bool share_delete) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (share_delete ? FILE_SHARE_DELETE : 0);
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  handle_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
}

HeldFile::~HeldFile() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool SetReadOnly(const std::string& path, bool read_only) {
  const std::wstring wide = Widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = read_only ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
  return SetFileAttributesW(wide.c_str(), wanted) != FALSE;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((Widen(folder) + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::uint32_t SystemTickCount() { return GetTickCount(); }

}  // namespace orvo::win32::probe
