// Components loaded by name, and system-wide parameters.
#include <cctype>
#include <string>
#include <vector>

#include "orvo/modules.h"
#include "orvo/resources.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"

namespace orvo::platform {
namespace {

struct Module {
  std::string name;  // upper case
  std::vector<ModuleExport> exports;
  bool always_loaded = false;
  int load_count = 0;
};

std::string Upper(const char* text) {
  std::string s = text != nullptr ? text : "";
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<Module>& Modules() {
  static std::vector<Module> modules = [] {
    std::vector<Module> m;
    Module imm;
    imm.name = "IMM32.DLL";
    imm.exports.push_back({"ImmAssociateContext", reinterpret_cast<FARPROC>(&ImmAssociateContext)});
    imm.always_loaded = true;
    m.push_back(imm);
    return m;
  }();
  return modules;
}

// Module handles are 1-based indices into the table, shifted clear of zero.
HMODULE HandleOf(std::size_t index) {
  return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000 + index * 0x100));
}

Module* FromHandle(HMODULE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < 0x10000 || (value - 0x10000) % 0x100 != 0) return nullptr;
  const std::size_t index = (value - 0x10000) / 0x100;
  return index < Modules().size() ? &Modules()[index] : nullptr;
}

Module* ByName(const char* name, std::size_t* index) {
  const std::string wanted = Upper(name);
  auto& modules = Modules();
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (modules[i].name == wanted) {
      *index = i;
      return &modules[i];
    }
  }
  return nullptr;
}

bool g_screen_saver_running = false;

}  // namespace

void RegisterBuiltinModule(const char* name, const ModuleExport* exports, int count,
                           bool always_loaded) {
  std::size_t index = 0;
  Module* existing = ByName(name, &index);
  Module m;
  m.name = Upper(name);
  m.exports.assign(exports, exports + count);
  m.always_loaded = always_loaded;
  if (existing != nullptr) {
    m.load_count = existing->load_count;
    *existing = std::move(m);
  } else {
    Modules().push_back(std::move(m));
  }
}

bool ScreenSaverRunningFlag() { return g_screen_saver_running; }

}  // namespace orvo::platform

using namespace orvo::platform;

HMODULE LoadLibraryA(LPCSTR name) {
  std::size_t index = 0;
  Module* m = ByName(name, &index);
  if (m == nullptr) return nullptr;
  ++m->load_count;
  return HandleOf(index);
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) return ProgramInstance();
  std::size_t index = 0;
  Module* m = ByName(name, &index);
  if (m == nullptr || (!m->always_loaded && m->load_count == 0)) return nullptr;
  return HandleOf(index);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  Module* m = FromHandle(module);
  if (m == nullptr || name == nullptr || (!m->always_loaded && m->load_count == 0)) return nullptr;
  for (const ModuleExport& e : m->exports) {
    if (std::string(e.name) == name) return e.function;
  }
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  Module* m = FromHandle(module);
  if (m == nullptr || m->load_count == 0) return FALSE;
  --m->load_count;
  return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID pv, UINT) {
  switch (action) {
    case SPI_SETSCREENSAVERRUNNING: {
      const bool was = g_screen_saver_running;
      g_screen_saver_running = param != 0;
      if (pv != nullptr) *static_cast<BOOL*>(pv) = was ? TRUE : FALSE;
      return TRUE;
    }
    case SPI_GETSCREENSAVERRUNNING:
      if (pv == nullptr) return FALSE;
      *static_cast<BOOL*>(pv) = g_screen_saver_running ? TRUE : FALSE;
      return TRUE;
    default:
      return FALSE;
  }
}

LONG UnhandledExceptionFilter(void*) {
  // No debugger to hand the fault to: the program handles it.
  return EXCEPTION_EXECUTE_HANDLER;
}
