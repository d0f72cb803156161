// The FLTK dialog view: lays a dialog model out from its dialog units,
// shows it as a modal window and turns clicks and keys into the dialog
// manager's user actions. The models stay the only state: after every
// action each widget is brought back in line with its model. The controls
// FLTK lacks are in fltk_controls.h.

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"
#include "fltk_controls.h"
#include "orvo/fltk_dialog_view.h"

namespace orvo::platform {
namespace {

using dialog::ControlKind;
using dialog::ControlModel;
using dialog::DialogModel;
using fltk::ComboWidget;
using fltk::FrameWidget;
using fltk::kFont;
using fltk::kFontSize;
using fltk::PushButton;
using fltk::ScrollBarWidget;

// Dialog units come from the metrics of the font standing in for the
// dialogs' 8-point font (kFont), as on the original desktop: a horizontal
// unit is a quarter of the average character width, a vertical unit an
// eighth of the character height. Helvetica's lower case runs wider than
// the original font's, so texts are drawn one size below the size that
// gives the units (kFontSize): labels then fit the rectangles the
// templates give them.
constexpr Fl_Fontsize kUnitFontSize = kFontSize + 1;

struct Units {
  int base_x = 7;
  int base_y = 15;
  int X(int du) const { return (du * base_x + 2) / 4; }
  int Y(int du) const { return (du * base_y + 4) / 8; }
};

Units MeasureUnits() {
  fl_font(kFont, kUnitFontSize);
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  Units u;
  u.base_x = std::max(1, static_cast<int>((fl_width(alphabet) / 26.0 + 1.0) / 2.0));
  u.base_y = std::max(1, fl_height());
  return u;
}

// ---- One shown dialog -------------------------------------------------------------
class Session final : public fltk::ControlSink {
 public:
  explicit Session(DialogModel& model) : model_(model) {}
  ~Session() {
    if (window_ != nullptr) {
      window_->hide();
      delete window_;
    }
  }

  void Build();
  void Show();
  bool Shown() const { return window_ != nullptr && window_->shown(); }
  void SyncAll();

  // User actions, each followed by bringing the widgets in line.
  void Click(int id) {
    dialog::ClickControl(model_, id);
    SyncAll();
  }
  void Scroll(int id, int action, int thumb_pos) override {
    dialog::SendScrollAction(model_, id, action, thumb_pos);
    SyncAll();
  }
  void Type(int id, const std::string& text) override {
    dialog::SetComboEditText(model_, id, text);
    SyncAll();
  }
  void Pick(int id, int index) override {
    dialog::PickComboEntry(model_, id, index);
    SyncAll();
  }
  void Escape() {
    dialog::PressEscape(model_);
    SyncAll();
  }
  void EditChanged(int id, const char* text) {
    if (ControlModel* c = model_.Find(id)) c->text = text != nullptr ? text : "";
  }
  const ControlModel* Model(int id) { return model_.Find(id); }
  bool Ended() const override { return model_.ended; }

 private:
  struct Entry {
    ControlModel* model;
    Fl_Widget* widget;
  };
  struct Callback {
    Session* session;
    int id;
  };
  static void ButtonCallback(Fl_Widget*, void* data) {
    auto* cb = static_cast<Callback*>(data);
    cb->session->Click(cb->id);
  }
  static void EditCallback(Fl_Widget* w, void* data) {
    auto* cb = static_cast<Callback*>(data);
    cb->session->EditChanged(cb->id, static_cast<Fl_Input*>(w)->value());
  }
  static void WindowCallback(Fl_Widget*, void* data) { static_cast<Session*>(data)->Escape(); }
  void Place();

  DialogModel& model_;
  Fl_Double_Window* window_ = nullptr;
  std::vector<Entry> entries_;
  std::vector<std::unique_ptr<Callback>> callbacks_;
  Units units_;
};

// ---- Session implementation ----------------------------------------------------------
void Session::Build() {
  units_ = MeasureUnits();
  const Units& u = units_;
  window_ = new Fl_Double_Window(u.X(model_.cx), u.Y(model_.cy));
  window_->copy_label(model_.caption.c_str());
  window_->callback(WindowCallback, this);
  window_->begin();
  for (ControlModel& c : model_.controls) {
    const int x = u.X(c.x), y = u.Y(c.y), w = std::max(1, u.X(c.cx)), h = std::max(1, u.Y(c.cy));
    auto callback = std::make_unique<Callback>(Callback{this, c.id});
    Fl_Widget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::kStatic: {
        auto* box = new Fl_Box(x, y, w, h);
        box->box(FL_NO_BOX);
        const DWORD align = c.style & 0x3;
        box->align(FL_ALIGN_INSIDE | FL_ALIGN_CLIP |
                   (align == SS_RIGHT ? FL_ALIGN_RIGHT : align == SS_CENTER ? FL_ALIGN_CENTER : FL_ALIGN_LEFT));
        widget = box;
        break;
      }
      case ControlKind::kGroupBox: widget = new FrameWidget(x, y, w, h); break;
      case ControlKind::kPushButton: widget = new PushButton(x, y, w, h); break;
      case ControlKind::kDefPushButton: widget = new Fl_Return_Button(x, y, w, h); break;
      case ControlKind::kCheckBox:
      case ControlKind::kAutoCheckBox: widget = new Fl_Check_Button(x, y, w, h); break;
      case ControlKind::kRadioButton:
      case ControlKind::kAutoRadioButton: widget = new Fl_Round_Button(x, y, w, h); break;
      case ControlKind::kEdit: {
        Fl_Input_* edit = nullptr;
        const bool read_only = (c.style & ES_READONLY) != 0 || !c.enabled;
        if ((c.style & ES_MULTILINE) != 0) {
          edit = new Fl_Multiline_Output(x, y, w, h);
          edit->wrap(1);
        } else if (read_only) {
          edit = new Fl_Output(x, y, w, h);
        } else {
          edit = new Fl_Input(x, y, w, h);
          edit->when(FL_WHEN_CHANGED);
          edit->callback(EditCallback, callback.get());
        }
        if (read_only) edit->color(FL_BACKGROUND_COLOR);
        edit->textfont(kFont);
        edit->textsize(kFontSize);
        widget = edit;
        break;
      }
      case ControlKind::kComboBox: {
        // The template's height includes the dropped list.
        const int field_h = std::min(h, u.Y(12));
        widget = new ComboWidget(this, c.id, x, y, w, field_h, std::max(field_h, h - field_h));
        break;
      }
      case ControlKind::kScrollBar: widget = new ScrollBarWidget(this, c.id, x, y, w, h); break;
    }
    widget->labelfont(kFont);
    widget->labelsize(kFontSize);
    if (c.kind != ControlKind::kComboBox && c.kind != ControlKind::kEdit) widget->copy_label(c.text.c_str());
    if (c.IsButton()) {
      widget->callback(ButtonCallback, callback.get());
    }
    if (c.kind == ControlKind::kStatic || c.kind == ControlKind::kGroupBox) widget->visible_focus(0);
    callbacks_.push_back(std::move(callback));
    entries_.push_back({&c, widget});
  }
  window_->end();
  window_->set_modal();
  SyncAll();
}

void Session::SyncAll() {
  for (Entry& e : entries_) {
    const ControlModel& c = *e.model;
    Fl_Widget* w = e.widget;
    if (c.enabled && !w->active()) w->activate();
    if (!c.enabled && w->active()) w->deactivate();
    switch (c.kind) {
      case ControlKind::kStatic:
      case ControlKind::kGroupBox:
      case ControlKind::kPushButton:
      case ControlKind::kDefPushButton:
        if (w->label() == nullptr || c.text != w->label()) {
          w->copy_label(c.text.c_str());
          w->redraw();
        }
        break;
      case ControlKind::kCheckBox:
      case ControlKind::kAutoCheckBox:
      case ControlKind::kRadioButton:
      case ControlKind::kAutoRadioButton: {
        auto* button = static_cast<Fl_Button*>(w);
        if (w->label() == nullptr || c.text != w->label()) w->copy_label(c.text.c_str());
        const int want = c.check == BST_CHECKED ? 1 : 0;
        if (button->value() != want) button->value(want);
        break;
      }
      case ControlKind::kEdit: {
        auto* edit = static_cast<Fl_Input_*>(w);
        if (c.text != edit->value()) edit->value(c.text.c_str());
        break;
      }
      case ControlKind::kComboBox: static_cast<ComboWidget*>(w)->Sync(c); break;
      case ControlKind::kScrollBar: static_cast<ScrollBarWidget*>(w)->Set(c.pos, c.min, c.max); break;
    }
  }
}

// The X window behind an owner handle, with its frame on the screen; false
// when the handle names no window of the display.
bool OwnerGeometry(HWND owner, Window* xid, int* ox, int* oy, int* ow, int* oh) {
  const auto value = reinterpret_cast<std::uintptr_t>(owner);
  if (owner == nullptr || IsDialogWindow(owner) || value > 0xFFFFFFFFu) return false;
  static bool failed = false;
  failed = false;
  XSync(fl_display, False);
  auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) -> int {
    failed = true;
    return 0;
  });
  XWindowAttributes attributes{};
  Window child = 0;
  int rx = 0, ry = 0;
  const Window w = static_cast<Window>(value);
  bool ok = XGetWindowAttributes(fl_display, w, &attributes) != 0;
  XSync(fl_display, False);
  if (ok && !failed) {
    ok = XTranslateCoordinates(fl_display, w, attributes.root, 0, 0, &rx, &ry, &child) != 0;
    XSync(fl_display, False);
  }
  XSetErrorHandler(previous);
  if (!ok || failed || attributes.map_state != IsViewable) return false;
  *xid = w;
  *ox = rx;
  *oy = ry;
  *ow = attributes.width;
  *oh = attributes.height;
  return true;
}

void Session::Show() {
  // Centred on the owner when it is a visible window, else on the screen.
  Window owner = 0;
  int ox = 0, oy = 0, ow = 0, oh = 0;
  int sx = 0, sy = 0, sw = 0, sh = 0;
  const bool has_owner = OwnerGeometry(model_.owner, &owner, &ox, &oy, &ow, &oh);
  if (has_owner) {
    Fl::screen_work_area(sx, sy, sw, sh, ox + ow / 2, oy + oh / 2);
  } else {
    Fl::screen_work_area(sx, sy, sw, sh);
    ox = sx;
    oy = sy;
    ow = sw;
    oh = sh;
  }
  int x = ox + (ow - window_->w()) / 2;
  int y = oy + (oh - window_->h()) / 2;
  x = std::max(sx, std::min(x, sx + sw - window_->w()));
  y = std::max(sy, std::min(y, sy + sh - window_->h()));
  window_->position(x, y);
  window_->show();
  if (has_owner) {
    XSetTransientForHint(fl_display, fl_xid(window_), owner);
    XFlush(fl_display);
  }
  // The first control that takes the focus gets it, as WM_INITDIALOG's
  // focus argument names it.
  for (Entry& e : entries_) {
    if ((e.model->style & WS_TABSTOP) != 0 && e.model->enabled) {
      if (e.model->kind == ControlKind::kComboBox) {
        static_cast<ComboWidget*>(e.widget)->input()->take_focus();
      } else {
        e.widget->take_focus();
      }
      break;
    }
  }
}

bool EnsureDisplay() {
  if (fl_display != nullptr) return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("orvo: cannot open the X display to show the dialog\n", stderr);
    return false;
  }
  fl_open_display(display);
  return true;
}

class FltkDialogView final : public dialog::DialogView {
 public:
  bool Run(DialogModel& model) override {
    if (!EnsureDisplay()) return false;
    FL_NORMAL_SIZE = kFontSize;
    Fl::visible_focus(1);
    Session session(model);
    session.Build();
    session.Show();
    while (!model.ended) {
      if (!session.Shown()) {
        // The window went away without the procedure ending the dialog.
        dialog::PressEscape(model);
        if (!model.ended) {
          model.ended = true;
          model.result = 0;
        }
        break;
      }
      Fl::wait(1.0);
    }
    return true;
  }
};

}  // namespace

void InstallFltkDialogView() { dialog::InstallDialogView(std::make_unique<FltkDialogView>()); }

}  // namespace orvo::platform
