// The guardian process of a protected full-screen run.
#include "orvo/guardian.h"

// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/lock_contract.h"
#include "orvo/lock_link.h"
#include "orvo/lock_session.h"
#include "orvo/locked_secret.h"
#include "orvo/pam_worker.h"
#include "orvo/password_components.h"
#include "orvo/win_kernel.h"
#include "prompt_view.h"

#include "clock.h"
#include "cursor.h"
#include "errors.h"
#include "signals.h"
#include "text.h"
#include "window_search.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace orvo::platform {
namespace lock {
namespace {

constexpr std::uint32_t kGrabLimit = 5000;      // both grabs within this, or no lock at all
constexpr std::uint32_t kGrabRetry = 50;
constexpr std::uint32_t kShowLimit = 2000;      // the cover goes up at the latest this long after the start
constexpr std::uint32_t kGrabRefresh = 1000;    // grabs are taken again this often, lost or not
constexpr std::uint32_t kRestartWindow = 60000;
constexpr std::size_t kRestartsPerWindow = 3;   // animation restarts within kRestartWindow
constexpr std::uint32_t kRestartDelay = 250;
constexpr std::uint32_t kEndWait = 3000;        // for the animation to finish its tear-down
constexpr const char* kCoverClass = "OrvoScreenLock";
constexpr const char* kCoverTitle = "Screen Lock";
constexpr long kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

constexpr int kWakingSignals[] = {SIGTERM, SIGCHLD};

std::uint32_t Now() { return x11::MonotonicMs(); }

bool Terminating() { return x11::SignalCaught(SIGTERM); }

// The user's name as the prompt shows it.
std::string UserName() {
  const std::string name = CurrentUserName();
  return name.empty() ? "?" : name;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "this computer";
  return name;
}

// Text typed by a key press, as UTF-8, with the input method's help (dead
// keys and compose sequences arrive as one character).
struct Typed {
  KeySym keysym = NoSymbol;
  char text[64] = {};
  int length = 0;
  ~Typed() { WipeSecret(text, sizeof text); }
};

class Guardian final : public SessionEffects {
 public:
  Guardian(::Display* display, int argc, char** argv, std::string saver_name)
      : display_(display),
        screen_(DefaultScreen(display)),
        root_(RootWindow(display, DefaultScreen(display))),
        program_(argc > 0 && argv[0] != nullptr ? argv[0] : "saver"),
        saver_name_(std::move(saver_name)),
        session_(*this),
        worker_(kPamService, UserName(), DisplayString(display)) {
    for (int i = 0; i < argc; ++i) args_.emplace_back(argv[i] != nullptr ? argv[i] : "");
    const std::size_t slash = program_.rfind('/');
    if (slash != std::string::npos) program_ = program_.substr(slash + 1);
  }
  ~Guardian() override;

  int Run();

  // SessionEffects.
  void Forward(const LinkMessage& input) override {
    if (link_ >= 0) SendLinkMessage(link_, input);
  }
  void Show(const PromptState& prompt) override {
    if (prompt.visible && !covered_ && cover_ != 0) MapCover();  // a prompt is only ever shown locked
    if (prompt_) prompt_->Show(prompt, caps_lock_);
  }
  void StartCheck(const char* password) override { worker_.Start(password); }
  void Answer(const char* answer) override { worker_.Answer(answer); }
  void Verdict(std::uint32_t sequence, bool may_close) override {
    LinkMessage m;
    m.type = static_cast<std::uint32_t>(LinkType::kVerdict);
    m.sequence = sequence;
    m.value = may_close ? 1 : 0;
    if (link_ >= 0) SendLinkMessage(link_, m);
  }
  void Unlock() override {
    if (!unlocking_) unlock_since_ = Now();
    unlocking_ = true;
  }

 private:
  bool TakeGrabs(bool* keyboard, bool* pointer);
  int LockOrGiveUp();
  void CreateWindows();
  void MapCover();
  void RebuildWindows();
  void OpenInputMethod();
  bool StartAnimation();
  void Reap();
  void StopAnimation(bool ask_first);
  void HandleEvent(XEvent& event);
  void HandleKey(XEvent& event);
  void ReadLink();
  void ReadWorker();
  void UpdateCapsLock();
  std::uint32_t NextWake(std::uint32_t now) const;
  int End(int code);

  ::Display* display_;
  int screen_;
  Window root_;
  std::vector<std::string> args_;
  std::string program_;
  std::string saver_name_;
  LockSession session_;
  PamWorker worker_;

  Cursor blank_ = 0;
  Window cover_ = 0;
  Window stage_ = 0;
  std::unique_ptr<PromptView> prompt_;
  XIM im_ = nullptr;
  XIC ic_ = nullptr;
  int width_ = 0, height_ = 0;
  bool covered_ = false;
  bool caps_lock_ = false;

  pid_t animation_ = -1;
  int link_ = -1;
  bool shown_ = false;
  bool ever_covered_ = false;
  std::uint32_t started_ = 0;
  std::deque<std::uint32_t> restarts_;
  bool restart_due_ = false;
  std::uint32_t restart_at_ = 0;
  int exit_code_ = 0;
  bool finished_ = false;

  bool unlocking_ = false;
  std::uint32_t unlock_since_ = 0;
  std::uint32_t next_grab_ = 0;
};

Guardian::~Guardian() {
  prompt_.reset();
  if (ic_ != nullptr) XDestroyIC(ic_);
  if (im_ != nullptr) XCloseIM(im_);
}

bool Guardian::TakeGrabs(bool* keyboard, bool* pointer) {
  // On the root window: it can never be unmapped, so no other client can
  // end these grabs by hiding a window of ours.
  if (!*keyboard)
    *keyboard = XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  if (!*pointer)
    *pointer = XGrabPointer(display_, root_, False, kPointerEvents, GrabModeAsync, GrabModeAsync, None, blank_,
                            CurrentTime) == GrabSuccess;
  return *keyboard && *pointer;
}

// Both grabs, before anything looks locked; 0 when held, else the exit code.
int Guardian::LockOrGiveUp() {
  const std::uint32_t start = Now();
  bool keyboard = false, pointer = false;
  while (!TakeGrabs(&keyboard, &pointer)) {
    if (Terminating()) return End(0);
    if (Now() - start >= kGrabLimit) {
      XUngrabKeyboard(display_, CurrentTime);
      XUngrabPointer(display_, CurrentTime);
      XSync(display_, False);
      std::fprintf(stderr, "%s: cannot lock: another program holds the %s\n", program_.c_str(),
                   keyboard ? "pointer" : "keyboard");
      return End(1);
    }
    pollfd fd{x11::SignalDescriptor(), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(kGrabRetry));
  }
  return 0;
}

void Guardian::CreateWindows() {
  width_ = DisplayWidth(display_, screen_);
  height_ = DisplayHeight(display_, screen_);
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = BlackPixel(display_, screen_);
  a.border_pixel = 0;
  a.cursor = blank_;
  a.event_mask = StructureNotifyMask | VisibilityChangeMask;
  cover_ = XCreateWindow(display_, root_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                         CopyFromParent, InputOutput, CopyFromParent,
                         CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWCursor | CWEventMask, &a);
  std::string res = kCoverClass;
  XClassHint hint{res.data(), res.data()};
  XSetClassHint(display_, cover_, &hint);
  XStoreName(display_, cover_, kCoverTitle);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display_, cover_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  // The stage holds the animation's window; the prompt is its sibling above it.
  XSetWindowAttributes s{};
  s.background_pixel = BlackPixel(display_, screen_);
  stage_ = XCreateWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                         CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &s);
  XMapWindow(display_, stage_);
  prompt_ = std::make_unique<PromptView>(display_, screen_, cover_, saver_name_,
                                         "locked by " + UserName() + " on " + HostName());
  prompt_->Resize(width_, height_);
  // A changed screen size, and an end of the keyboard grab by the server.
  XSelectInput(display_, root_, StructureNotifyMask | FocusChangeMask);
  XFlush(display_);
}

void Guardian::MapCover() {
  XMapRaised(display_, cover_);
  if (prompt_ && prompt_->visible()) XRaiseWindow(display_, prompt_->window());
  XFlush(display_);
  covered_ = ever_covered_ = true;
}

// Another client destroyed the cover (and with it the stage, the prompt and
// the animation's window): everything is made again. The grabs, on the
// root window, were never lost.
void Guardian::RebuildWindows() {
  prompt_.reset();
  if (ic_ != nullptr) XDestroyIC(ic_);
  ic_ = nullptr;
  CreateWindows();
  if (im_ != nullptr)
    ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, cover_, XNFocusWindow,
                    cover_, nullptr);
  if (ic_ != nullptr) XSetICFocus(ic_);
  MapCover();
  prompt_->Show(session_.prompt(), caps_lock_);
  // The animation lost its window with the stage; a new one gets the new stage.
  if (animation_ > 0) kill(animation_, SIGTERM);
}

void Guardian::OpenInputMethod() {
  // The built-in input method only: dead keys and compose sequences work,
  // and no keystroke of the password goes to another process.
  XSetLocaleModifiers("@im=none");
  im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  if (im_ != nullptr) {
    ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, cover_, XNFocusWindow,
                    cover_, nullptr);
  }
  if (ic_ != nullptr) {
    XSetICFocus(ic_);
  } else {
    std::fprintf(stderr, "%s: no X input method: only Latin-1 can be typed\n", program_.c_str());
  }
}

bool Guardian::StartAnimation() {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  // Everything the child needs is made before fork: after it only exec.
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    if (std::strncmp(*e, kLinkVariable, std::strlen(kLinkVariable)) == 0) continue;
    if (std::strncmp(*e, kStageVariable, std::strlen(kStageVariable)) == 0) continue;
    env.emplace_back(*e);
  }
  env.push_back(std::string(kLinkVariable) + "=" + std::to_string(pair[1]));
  env.push_back(std::string(kStageVariable) + "=" + std::to_string(stage_));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = args_;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t guardian = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Its own session: a hang-up of the terminal is not its business.
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != guardian) _exit(1);
    fcntl(pair[1], F_SETFD, 0);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    for (int s : {SIGHUP, SIGINT, SIGTERM, SIGCHLD, SIGPIPE}) sigaction(s, &plain, nullptr);
    execve("/proc/self/exe", argv.data(), envp.data());
    _exit(127);
  }
  close(pair[1]);
  if (pid < 0) {
    close(pair[0]);
    return false;
  }
  animation_ = pid;
  link_ = pair[0];
  shown_ = false;
  started_ = Now();
  session_.AnimationStarted();
  return true;
}

void Guardian::Reap() {
  if (animation_ <= 0) return;
  int status = 0;
  if (waitpid(animation_, &status, WNOHANG) != animation_) return;
  animation_ = -1;
  if (link_ >= 0) close(link_);
  link_ = -1;
  const std::uint32_t now = Now();
  session_.AnimationEnded(now);
  if (unlocking_) {
    finished_ = true;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    return;
  }
  if (!ever_covered_ && WIFEXITED(status)) {
    // The saver ended before it showed anything (it does not start while the
    // pointer rests in the hot corner, say): nothing was ever locked.
    finished_ = true;
    exit_code_ = WEXITSTATUS(status);
    return;
  }
  if (!covered_) MapCover();
  // A few fresh starts a minute; beyond that the screen stays black.
  while (!restarts_.empty() && now - restarts_.front() >= kRestartWindow) restarts_.pop_front();
  restart_due_ = true;
  restart_at_ = restarts_.size() < kRestartsPerWindow ? now + kRestartDelay : restarts_.front() + kRestartWindow;
}

void Guardian::StopAnimation(bool ask_first) {
  if (animation_ <= 0) return;
  if (ask_first) kill(animation_, SIGTERM);
  const std::uint32_t start = Now();
  int status = 0;
  while (ask_first && Now() - start < kEndWait) {
    if (waitpid(animation_, &status, WNOHANG) == animation_) {
      animation_ = -1;
      break;
    }
    usleep(10000);
  }
  if (animation_ > 0) {
    kill(animation_, SIGKILL);
    waitpid(animation_, &status, 0);
    animation_ = -1;
  }
  if (link_ >= 0) close(link_);
  link_ = -1;
}

int Guardian::End(int code) {
  StopAnimation(true);
  XUngrabKeyboard(display_, CurrentTime);
  XUngrabPointer(display_, CurrentTime);
  prompt_.reset();
  if (cover_ != 0) XDestroyWindow(display_, cover_);
  cover_ = stage_ = 0;
  XSync(display_, False);
  return code;
}

void Guardian::UpdateCapsLock() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return;
  const bool on = (state.locked_mods & LockMask) != 0;
  if (on == caps_lock_) return;
  caps_lock_ = on;
  if (prompt_ && session_.prompt().visible) prompt_->Show(session_.prompt(), caps_lock_);
}

void Guardian::HandleKey(XEvent& event) {
  const bool press = event.type == KeyPress;
  if (XFilterEvent(&event, cover_)) return;  // part of a compose sequence
  if (!press) {
    UpdateCapsLock();
    return;
  }
  Typed typed;
  if (ic_ != nullptr) {
    Status status = 0;
    typed.length = Xutf8LookupString(ic_, &event.xkey, typed.text, static_cast<int>(sizeof typed.text) - 1,
                                     &typed.keysym, &status);
    if (status == XBufferOverflow || status == XLookupNone) typed.length = 0;
    if (status == XLookupChars) typed.keysym = NoSymbol;
  } else {
    char latin1[32] = {};
    const int n = XLookupString(&event.xkey, latin1, static_cast<int>(sizeof latin1) - 1, &typed.keysym, nullptr);
    typed.length = static_cast<int>(x11::Latin1ToUtf8(latin1, n, typed.text, sizeof typed.text));
    WipeSecret(latin1, sizeof latin1);
  }
  typed.length = std::max(typed.length, 0);
  KeyInput key;
  key.alt = (event.xkey.state & Mod1Mask) != 0;
  switch (typed.keysym) {
    case XK_Escape: key.kind = KeyInput::Kind::kEscape; break;
    case XK_Return:
    case XK_KP_Enter: key.kind = KeyInput::Kind::kEnter; break;
    case XK_BackSpace: key.kind = KeyInput::Kind::kBackspace; break;
    default: {
      const auto first = static_cast<unsigned char>(typed.text[0]);
      if (typed.length > 0 && first >= 0x20 && first != 0x7F) {
        key.kind = KeyInput::Kind::kText;
        key.text = typed.text;
        key.length = static_cast<std::size_t>(typed.length);
      }
      break;
    }
  }
  session_.Key(Now(), key);
  UpdateCapsLock();
}

void Guardian::HandleEvent(XEvent& event) {
  const std::uint32_t now = Now();
  switch (event.type) {
    case KeyPress:
    case KeyRelease:
      HandleKey(event);
      WipeSecret(&event, sizeof event);
      return;
    case ButtonPress:
    case ButtonRelease: {
      const unsigned button = event.xbutton.button;
      if (button >= 1 && button <= 3) {
        session_.Motion(now, event.xbutton.x_root, event.xbutton.y_root);
        session_.Button(now, static_cast<int>(button), event.type == ButtonPress);
      } else if (button >= 4 && button <= 7 && event.type == ButtonPress) {
        session_.Wheel(static_cast<int>(button));
      }
      return;
    }
    case MotionNotify: {
      XEvent next{};
      while (XEventsQueued(display_, QueuedAlready) > 0) {
        XPeekEvent(display_, &next);
        if (next.type != MotionNotify) break;
        XNextEvent(display_, &event);
      }
      session_.Motion(now, event.xmotion.x_root, event.xmotion.y_root);
      return;
    }
    case DestroyNotify:
      if (event.xdestroywindow.window == cover_ && cover_ != 0) RebuildWindows();
      return;
    case UnmapNotify:
      if (event.xunmap.window == cover_ && covered_) {
        // Someone hid the cover: it goes straight back, grabs with it.
        MapCover();
        next_grab_ = now;
      }
      return;
    case VisibilityNotify:
      if (event.xvisibility.window == cover_ && event.xvisibility.state != VisibilityUnobscured && covered_) {
        XRaiseWindow(display_, cover_);
        next_grab_ = now;
      }
      return;
    case FocusOut:
      // The server ended our keyboard grab (a grab-breaking key, say).
      if (event.xfocus.mode == NotifyUngrab) next_grab_ = now;
      return;
    case ConfigureNotify:
      if (event.xconfigure.window == root_) {
        width_ = std::max(event.xconfigure.width, 1);
        height_ = std::max(event.xconfigure.height, 1);
        XMoveResizeWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
        XResizeWindow(display_, stage_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
        if (prompt_) prompt_->Resize(width_, height_);
      } else if (event.xconfigure.window == cover_ &&
                 (event.xconfigure.x != 0 || event.xconfigure.y != 0 || event.xconfigure.width != width_ ||
                  event.xconfigure.height != height_)) {
        XMoveResizeWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
      }
      return;
    case Expose:
      if (prompt_ && event.xexpose.window == prompt_->window() && event.xexpose.count == 0) prompt_->Redraw();
      return;
    case MappingNotify:
      XRefreshKeyboardMapping(&event.xmapping);
      return;
    default:
      return;
  }
}

void Guardian::ReadLink() {
  LinkMessage m;
  for (;;) {
    const Receive r = ReceiveLinkMessage(link_, &m);
    if (r != Receive::kMessage) return;  // a closed link shows as the child's end
    if (!ValidForGuardian(m)) continue;
    if (static_cast<LinkType>(m.type) == LinkType::kShown) {
      shown_ = true;
    } else {
      session_.VerifyRequest(Now(), m.sequence);
    }
  }
}

void Guardian::ReadWorker() {
  for (PamWorker::Event& e : worker_.TakeEvents()) {
    const std::uint32_t now = Now();
    switch (e.kind) {
      case PamWorker::Event::Kind::kQuestion: session_.PamQuestion(now, e.text, e.flag); break;
      case PamWorker::Event::Kind::kMessage: session_.PamMessage(e.text, e.flag); break;
      case PamWorker::Event::Kind::kDone: session_.CheckDone(now, e.verdict, e.text); break;
    }
  }
}

std::uint32_t Guardian::NextWake(std::uint32_t now) const {
  std::uint32_t wait = session_.NextDeadline(now);
  auto until = [now](std::uint32_t when) {
    return static_cast<std::int32_t>(when - now) <= 0 ? 0u : when - now;
  };
  wait = std::min(wait, until(next_grab_));
  if (restart_due_) wait = std::min(wait, until(restart_at_));
  if (!covered_ && !ever_covered_) wait = std::min(wait, until(started_ + kShowLimit));
  if (unlocking_) wait = std::min<std::uint32_t>(wait, 20);
  return wait;
}

int Guardian::Run() {
  // Nothing typed here may end up in a core file or be read by a debugger.
  prctl(PR_SET_DUMPABLE, 0);
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);

  // SIGTERM ends the lock; SIGCHLD tells of the animation's end.
  x11::CatchSignals(kWakingSignals);
  // A closed terminal or an interrupt key does not unlock the screen.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int s : {SIGHUP, SIGINT, SIGPIPE}) sigaction(s, &ignore, nullptr);

  // The server gone takes every grab and window with it: nothing is left
  // to guard. (The animation lost its display too and ends by itself.)
  XSetIOErrorHandler(x11::ExitOnLostDisplay);
  XSetErrorHandler(x11::RecordError);
  blank_ = x11::CreateInvisibleCursor(display_, root_);

  if (const int code = LockOrGiveUp(); code != 0 || Terminating()) return code;
  CreateWindows();
  OpenInputMethod();
  UpdateCapsLock();
  if (!StartAnimation()) MapCover();  // black, but locked all the same
  next_grab_ = Now() + kGrabRefresh;

  while (!finished_) {
    while (XPending(display_) > 0 && !finished_) {
      XEvent event{};
      XNextEvent(display_, &event);
      HandleEvent(event);
    }
    XFlush(display_);
    if (Terminating()) return End(0);
    const std::uint32_t now = Now();
    pollfd fds[4] = {{ConnectionNumber(display_), POLLIN, 0}, {x11::SignalDescriptor(), POLLIN, 0},
                     {worker_.descriptor(), POLLIN, 0}, {link_, POLLIN, 0}};
    const nfds_t count = link_ >= 0 ? 4 : 3;
    const std::uint32_t wait = NextWake(now);
    poll(fds, count, wait == ~0u ? -1 : static_cast<int>(std::min<std::uint32_t>(wait, 60000)));
    x11::DrainSignalPipe();
    if (Terminating()) return End(0);
    Reap();
    if (link_ >= 0) ReadLink();
    ReadWorker();
    const std::uint32_t after = Now();
    session_.Tick(after);
    if (!covered_ && !ever_covered_ && (shown_ || after - started_ >= kShowLimit)) MapCover();
    if (static_cast<std::int32_t>(after - next_grab_) >= 0) {
      bool keyboard = false, pointer = false;
      TakeGrabs(&keyboard, &pointer);  // one attempt; a refusal is tried again soon
      next_grab_ = after + (keyboard && pointer ? kGrabRefresh : kGrabRetry);
      if (covered_) XRaiseWindow(display_, cover_);
    }
    if (restart_due_ && !unlocking_ && static_cast<std::int32_t>(after - restart_at_) >= 0) {
      restart_due_ = false;
      restarts_.push_back(after);
      StartAnimation();
    }
    if (unlocking_ && !finished_) {
      if (animation_ <= 0) {
        finished_ = true;
      } else if (after - unlock_since_ >= kEndWait) {
        StopAnimation(false);
        finished_ = true;
      }
    }
  }
  return End(exit_code_);
}

}  // namespace
}  // namespace lock

std::optional<int> GuardScreen(int argc, char** argv, const char* saver_name) {
  if (lock::LinkToGuardian().active()) return std::nullopt;  // this is the animation
  if (!lock::PasswordSwitchOn()) return std::nullopt;
  // The locale decides how keys become text: UTF-8 whatever the environment.
  std::setlocale(LC_ALL, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;  // the program says why it cannot run
  const Window root = DefaultRootWindow(display);
  XSetErrorHandler(x11::RecordError);
  // Only one full-screen saver at a time: one that runs already (locked or
  // not) is brought to the front, and this run ends with 0.
  Window running = x11::FindWindowByClass(display, root, lock::kCoverClass, nullptr, 0);
  if (running == 0) running = x11::FindWindowByClass(display, root, lock::kSaverClass, lock::kSaverTitle, 1);
  if (running != 0) {
    XRaiseWindow(display, running);
    XCloseDisplay(display);
    return 0;
  }
  int code = 0;
  {
    lock::Guardian guardian(display, argc, argv, saver_name != nullptr ? saver_name : "Screen saver");
    code = guardian.Run();
  }
  XCloseDisplay(display);
  return code;
}

}  // namespace orvo::platform
