// The guardian process's state, shared by its files: the loop and its
// events (guardian.cpp), the cover and the grabs (guardian_cover.cpp), the
// keyboard and the input method (guardian_keyboard.cpp). What it does apart
// from X (the session, PAM, the animation child) is the shared
// GuardianCore. Private to the X11 lock.
#pragma once

// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/animation_process.h"
#include "orvo/guardian.h"
#include "orvo/guardian_run.h"
#include "orvo/lock_contract.h"
#include "orvo/lock_link.h"
#include "orvo/lock_session.h"
#include "orvo/pam_worker.h"
#include "orvo/password_components.h"
#include "prompt_view.h"

#include "clock.h"
#include "signals.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvo::platform::lock::guardian {

inline constexpr std::uint32_t kGrabLimit = 5000;      // both grabs within this, or no lock at all
inline constexpr std::uint32_t kGrabRetry = 50;
inline constexpr std::uint32_t kShowLimit = 2000;      // the cover goes up at the latest this long after the start
inline constexpr std::uint32_t kGrabRefresh = 1000;    // grabs are taken again this often, lost or not
inline constexpr const char* kCoverClass = "OrvoScreenLock";
inline constexpr const char* kCoverTitle = "Screen Lock";
inline constexpr const char* kGrabBreakOption = "grab:break_actions";
inline constexpr long kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

inline std::uint32_t Now() { return x11::MonotonicMs(); }

inline bool Terminating() { return x11::SignalCaught(SIGTERM); }

class Guardian final : public GuardianCore {
 public:
  Guardian(::Display* display, int argc, char** argv, std::string saver_name)
      : GuardianCore(Arguments(argc, argv), DisplayString(display), &Now),
        display_(display),
        screen_(DefaultScreen(display)),
        root_(RootWindow(display, DefaultScreen(display))),
        program_(argc > 0 && argv[0] != nullptr ? argv[0] : "saver"),
        saver_name_(std::move(saver_name)) {
    const std::size_t slash = program_.rfind('/');
    if (slash != std::string::npos) program_ = program_.substr(slash + 1);
  }
  ~Guardian() override;

  // `hot_corner`: whether the pointer in the hot corner means no lock;
  // `sleep_lock` (XSS_SLEEP_LOCK_FD) is closed and `told` gets one byte
  // and is closed as soon as the screen is locked (-1: none).
  void Prepare(bool hot_corner, int sleep_lock, int told) {
    hot_corner_ = hot_corner;
    sleep_lock_ = sleep_lock;
    told_ = told;
  }
  int Run();

  // SessionEffects.
  void Forward(const LinkMessage& input) override {
    if (animation_.link() >= 0) SendLinkMessage(animation_.link(), input);
  }
  void Show(const PromptState& prompt) override {
    if (prompt.visible && !covered_ && cover_ != 0) MapCover();  // a prompt is only ever shown locked
    if (prompt.visible && prompt_ && !prompt_->visible()) PlacePrompt();
    if (prompt_) prompt_->Show(prompt, caps_lock_);
  }

 private:
  static std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return args;
  }
  bool TakeGrabs(bool* keyboard, bool* pointer);
  bool PointerInHotCorner();
  int LockOrGiveUp();
  void CreateWindows();
  Window CoverParent(int screen);
  Window MakeCover(int screen, int width, int height);
  void MakeOtherCovers();
  bool FindCover(Window w, int* screen, Window* parent);
  void BlackenAnimation(Window window);
  void RaiseCovers();
  void ScreenResized(Window root, int width, int height);
  void PlacePrompt();
  void MapCover();
  void TellLocked();
  void RebuildWindows();
  void OpenInputMethod();
  bool StartAnimation();
  void Reap();
  void HandleEvent(XEvent& event);
  void HandleKey(XEvent& event);
  void ReadLink();
  void UpdateCapsLock();
  bool WatchKeymap();
  void CheckKeymap();
  void RestoreKeymap();
  std::uint32_t NextWake(std::uint32_t now) const;
  int End(int code);
  int EndOnTerm();

  ::Display* display_;
  int screen_;
  Window root_;
  std::string program_;
  std::string saver_name_;

  Cursor blank_ = 0;
  Window cover_ = 0;
  Window stage_ = 0;
  std::unique_ptr<PromptView> prompt_;
  XIM im_ = nullptr;
  XIC ic_ = nullptr;
  int width_ = 0, height_ = 0;
  // The covers of the other X screens: black, held and watched as the main one.
  struct OtherCover {
    int screen;
    Window root;
    Window window;
    int width, height;
  };
  std::vector<OtherCover> others_;
  // Per X screen: where its cover lives (the root, or the composite
  // overlay window while a compositing manager runs), once known.
  std::vector<Window> parents_;
  std::vector<bool> overlay_;
  int randr_event_ = -1;  // RandR's event base, -1 without it
  bool covered_ = false;
  bool hot_corner_ = true;
  int sleep_lock_ = -1;
  int told_ = -1;
  bool caps_lock_ = false;
  int xkb_event_ = -1;  // the XKB extension's event code, -1 without it
  bool disarmed_ = false;  // grab-breaking keys were switched off while locked

  bool shown_ = false;
  bool ever_covered_ = false;
  std::uint32_t started_ = 0;

  std::uint32_t next_grab_ = 0;
};

}  // namespace orvo::platform::lock::guardian
