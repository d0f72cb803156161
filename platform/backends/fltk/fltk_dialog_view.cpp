// The FLTK dialog view: lays a dialog model out from its dialog units,
// shows it as a modal window and turns clicks and keys into the dialog
// manager's user actions. The models stay the only state: after every
// action each widget is brought back in line with its model.

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Window.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Select_Browser.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"
#include "orvo/fltk_dialog_view.h"

namespace orvo::platform {
namespace {

using dialog::ControlKind;
using dialog::ControlModel;
using dialog::DialogModel;

// The font standing in for the dialogs' 8-point font. Dialog units come
// from its metrics, as on the original desktop: a horizontal unit is a
// quarter of the average character width, a vertical unit an eighth of
// the character height. Helvetica's lower case runs wider than the
// original font's, so texts are drawn one size below the size that gives
// the units: labels then fit the rectangles the templates give them.
constexpr Fl_Font kFont = FL_HELVETICA;
constexpr Fl_Fontsize kUnitFontSize = 13;
constexpr Fl_Fontsize kFontSize = 12;

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

class Session;

// ---- Scroll bar -----------------------------------------------------------------
// A horizontal scroll bar with arrow buttons, a trough and a square thumb.
// It never moves by itself: it reports actions, and the procedure sets the
// position. While the thumb is dragged it shows the dragged position.
class ScrollBarWidget final : public Fl_Widget {
 public:
  ScrollBarWidget(Session* session, int id, int x, int y, int w, int h)
      : Fl_Widget(x, y, w, h), session_(session), id_(id) {
    box(FL_NO_BOX);
  }
  ~ScrollBarWidget() override { Fl::remove_timeout(Repeat, this); }

  void Set(int pos, int min, int max) {
    if (pos == pos_ && min == min_ && max == max_) return;
    pos_ = pos;
    min_ = min;
    max_ = max;
    redraw();
  }

  int handle(int event) override;
  void draw() override;

 private:
  enum class Part { kNone, kLeft, kRight, kPageLeft, kPageRight, kThumb };

  int ArrowWidth() const { return std::max(1, std::min(h(), w() / 3)); }
  int TroughX() const { return x() + ArrowWidth(); }
  int TroughWidth() const { return std::max(0, w() - 2 * ArrowWidth()); }
  int ThumbWidth() const { return std::max(4, std::min(h(), TroughWidth() / 2)); }
  int ThumbX(int pos) const {
    const int span = TroughWidth() - ThumbWidth();
    if (max_ <= min_ || span <= 0) return TroughX();
    const long long offset = static_cast<long long>(std::clamp(pos, min_, max_) - min_) * span / (max_ - min_);
    return TroughX() + static_cast<int>(offset);
  }
  int PosAt(int mouse_x) const {
    const int span = TroughWidth() - ThumbWidth();
    if (max_ <= min_ || span <= 0) return min_;
    const int at = mouse_x - grab_offset_ - TroughX();
    const long long range = max_ - min_;
    const long long pos = min_ + (static_cast<long long>(at) * range + span / 2) / span;
    return static_cast<int>(std::clamp<long long>(pos, min_, max_));
  }
  Part PartAt(int mouse_x) const {
    if (mouse_x < TroughX()) return Part::kLeft;
    if (mouse_x >= TroughX() + TroughWidth()) return Part::kRight;
    const int tx = ThumbX(pos_);
    if (mouse_x < tx) return Part::kPageLeft;
    if (mouse_x >= tx + ThumbWidth()) return Part::kPageRight;
    return Part::kThumb;
  }
  void Act(Part part);
  void Action(int action, int thumb_pos = 0);
  static void Repeat(void* self);
  void DrawArrow(int ax, bool left, bool pressed);

  Session* session_;
  int id_;
  int pos_ = 0, min_ = 0, max_ = 0;
  Part pressed_ = Part::kNone;
  int drag_pos_ = 0;
  int grab_offset_ = 0;
  int mouse_x_ = 0;
};

// ---- Combo box ------------------------------------------------------------------
class ComboWidget;

// The dropped-down list: a borderless window holding the sorted entries.
class ListPopup final : public Fl_Menu_Window {
 public:
  ListPopup(ComboWidget* combo, int w, int h);
  int handle(int event) override;
  void Open(const std::vector<std::string>& entries, int selection, int screen_x, int screen_y, int max_h);
  void Close();
  void PickCurrent();
  // Moves the highlighted entry by delta lines, within the list.
  void Move(int delta) {
    const int count = list_->size();
    if (count == 0) return;
    const int current = list_->value();
    const int next = current == 0 ? (delta > 0 ? 1 : count) : std::clamp(current + delta, 1, count);
    list_->value(next);
    list_->make_visible(next);
  }

 private:
  static void ListCallback(Fl_Widget* w, void* self);
  ComboWidget* combo_;
  Fl_Select_Browser* list_;
};

class ComboInput final : public Fl_Input {
 public:
  ComboInput(ComboWidget* combo, int x, int y, int w, int h) : Fl_Input(x, y, w, h), combo_(combo) {}
  int handle(int event) override;

 private:
  ComboWidget* combo_;
};

class DropButton final : public Fl_Button {
 public:
  DropButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) { visible_focus(0); }
  void draw() override {
    Fl_Button::draw();
    const int cx = x() + w() / 2, cy = y() + h() / 2;
    const int s = std::max(2, std::min(w(), h()) / 5);
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    fl_polygon(cx - s, cy - s / 2, cx + s, cy - s / 2, cx, cy + s / 2 + 1);
  }
};

class ComboWidget final : public Fl_Group {
 public:
  ComboWidget(Session* session, int id, int x, int y, int w, int h, int list_h);
  ~ComboWidget() override { delete popup_; }
  void Sync(const ControlModel& model);
  void OpenList();
  void Pick(int index);
  void Step(int delta);
  Fl_Input* input() { return input_; }

 private:
  static void InputCallback(Fl_Widget* w, void* self);
  static void ButtonCallback(Fl_Widget* w, void* self);

  Session* session_;
  int id_;
  int list_h_;
  ComboInput* input_;
  DropButton* button_;
  ListPopup* popup_ = nullptr;
  std::vector<std::string> entries_;
  int selection_ = -1;
};

// ---- Push button ------------------------------------------------------------------
// A focused push button answers Enter itself, as the focused button of a
// dialog becomes its default while it holds the focus.
class PushButton final : public Fl_Button {
 public:
  PushButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
        (Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META)) == 0) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
};

// ---- Group box ------------------------------------------------------------------
// A frame with its caption set into the top line.
class FrameWidget final : public Fl_Widget {
 public:
  FrameWidget(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) { box(FL_NO_BOX); }
  void draw() override {
    fl_font(labelfont(), labelsize());
    const int th = fl_height();
    const int top = y() + th / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), std::max(2, h() - th / 2), color());
    if (label() != nullptr && *label() != '\0') {
      const int tw = static_cast<int>(fl_width(label()));
      fl_color(color());
      fl_rectf(x() + 5, y(), std::min(tw + 6, w() - 10), th);
      fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
      fl_push_clip(x() + 5, y(), w() - 10, th);
      fl_draw(label(), x() + 8, y() + th - fl_descent());
      fl_pop_clip();
    }
  }
};

// ---- One shown dialog -------------------------------------------------------------
class Session {
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
  void Scroll(int id, int action, int thumb_pos) {
    dialog::SendScrollAction(model_, id, action, thumb_pos);
    SyncAll();
  }
  void Type(int id, const std::string& text) {
    dialog::SetComboEditText(model_, id, text);
    SyncAll();
  }
  void Pick(int id, int index) {
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
  bool Ended() const { return model_.ended; }

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

// ---- Scroll bar implementation ---------------------------------------------------
void ScrollBarWidget::Action(int action, int thumb_pos) {
  session_->Scroll(id_, action, thumb_pos);
}

void ScrollBarWidget::Act(Part part) {
  switch (part) {
    case Part::kLeft: Action(SB_LINELEFT); break;
    case Part::kRight: Action(SB_LINERIGHT); break;
    case Part::kPageLeft:
      // Paging stops once the thumb reaches the pointer.
      if (PartAt(mouse_x_) == Part::kPageLeft) Action(SB_PAGELEFT);
      break;
    case Part::kPageRight:
      if (PartAt(mouse_x_) == Part::kPageRight) Action(SB_PAGERIGHT);
      break;
    default: break;
  }
}

void ScrollBarWidget::Repeat(void* self) {
  auto* bar = static_cast<ScrollBarWidget*>(self);
  if (bar->pressed_ == Part::kNone || bar->pressed_ == Part::kThumb || bar->session_->Ended()) return;
  bar->Act(bar->pressed_);
  Fl::repeat_timeout(0.05, Repeat, self);
}

int ScrollBarWidget::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS: redraw(); return 1;
    case FL_ENTER:
    case FL_LEAVE:
    case FL_MOVE: return 1;
    case FL_PUSH: {
      if (Fl::event_button() != FL_LEFT_MOUSE) return 1;
      if (Fl::focus() != this) take_focus();
      mouse_x_ = Fl::event_x();
      pressed_ = PartAt(mouse_x_);
      if (pressed_ == Part::kThumb) {
        grab_offset_ = mouse_x_ - ThumbX(pos_);
        drag_pos_ = pos_;
      } else {
        Act(pressed_);
        Fl::add_timeout(0.35, Repeat, this);
      }
      redraw();
      return 1;
    }
    case FL_DRAG:
      mouse_x_ = Fl::event_x();
      if (pressed_ == Part::kThumb) {
        const int pos = PosAt(mouse_x_);
        if (pos != drag_pos_) {
          drag_pos_ = pos;
          redraw();
          Action(SB_THUMBTRACK, pos);
        }
      }
      return 1;
    case FL_RELEASE: {
      Fl::remove_timeout(Repeat, this);
      const Part was = pressed_;
      pressed_ = Part::kNone;
      redraw();
      if (was == Part::kThumb) Action(SB_THUMBPOSITION, drag_pos_);
      if (was != Part::kNone) Action(SB_ENDSCROLL);
      return 1;
    }
    case FL_MOUSEWHEEL: {
      const int d = Fl::event_dy() != 0 ? Fl::event_dy() : Fl::event_dx();
      if (d == 0) return 0;
      Action(d > 0 ? SB_LINERIGHT : SB_LINELEFT);
      Action(SB_ENDSCROLL);
      return 1;
    }
    case FL_KEYBOARD: {
      if (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) return 0;
      int action = -1;
      switch (Fl::event_key()) {
        case FL_Left:
        case FL_Up: action = SB_LINELEFT; break;
        case FL_Right:
        case FL_Down: action = SB_LINERIGHT; break;
        case FL_Page_Up: action = SB_PAGELEFT; break;
        case FL_Page_Down: action = SB_PAGERIGHT; break;
        case FL_Home: action = SB_TOP; break;
        case FL_End: action = SB_BOTTOM; break;
        default: return 0;
      }
      Action(action);
      Action(SB_ENDSCROLL);
      return 1;
    }
    default: return Fl_Widget::handle(event);
  }
}

void ScrollBarWidget::DrawArrow(int ax, bool left, bool pressed) {
  const int aw = ArrowWidth();
  fl_draw_box(pressed ? FL_DOWN_BOX : FL_UP_BOX, ax, y(), aw, h(), FL_BACKGROUND_COLOR);
  const int cx = ax + aw / 2 + (pressed ? 1 : 0), cy = y() + h() / 2 + (pressed ? 1 : 0);
  const int s = std::max(2, std::min(aw, h()) / 4);
  fl_color(active_r() && max_ > min_ ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  if (left) {
    fl_polygon(cx + s / 2, cy - s, cx + s / 2, cy + s, cx - s / 2 - 1, cy);
  } else {
    fl_polygon(cx - s / 2, cy - s, cx - s / 2, cy + s, cx + s / 2 + 1, cy);
  }
}

void ScrollBarWidget::draw() {
  fl_color(fl_color_average(FL_WHITE, FL_BACKGROUND_COLOR, 0.55f));
  fl_rectf(x(), y(), w(), h());
  DrawArrow(x(), true, pressed_ == Part::kLeft);
  DrawArrow(x() + w() - ArrowWidth(), false, pressed_ == Part::kRight);
  if (pressed_ == Part::kPageLeft || pressed_ == Part::kPageRight) {
    const int tx = ThumbX(pos_);
    fl_color(fl_darker(FL_BACKGROUND_COLOR));
    if (pressed_ == Part::kPageLeft) {
      fl_rectf(TroughX(), y(), tx - TroughX(), h());
    } else {
      fl_rectf(tx + ThumbWidth(), y(), TroughX() + TroughWidth() - tx - ThumbWidth(), h());
    }
  }
  if (!active_r() || max_ <= min_ || TroughWidth() < ThumbWidth()) return;
  const int tx = ThumbX(pressed_ == Part::kThumb ? drag_pos_ : pos_);
  fl_draw_box(FL_UP_BOX, tx, y(), ThumbWidth(), h(), FL_BACKGROUND_COLOR);
  if (Fl::focus() == this) {
    fl_color(FL_FOREGROUND_COLOR);
    fl_line_style(FL_DOT);
    fl_rect(tx + 3, y() + 3, ThumbWidth() - 6, h() - 6);
    fl_line_style(FL_SOLID);
  }
}

// ---- Combo box implementation ------------------------------------------------------
ListPopup::ListPopup(ComboWidget* combo, int w, int h) : Fl_Menu_Window(w, h), combo_(combo) {
  begin();
  list_ = new Fl_Select_Browser(0, 0, w, h);
  list_->format_char(0);  // entries are shown exactly as they are
  list_->column_char(0);
  list_->box(FL_BORDER_BOX);
  list_->textsize(kFontSize);
  list_->when(FL_WHEN_RELEASE_ALWAYS);
  list_->callback(ListCallback, this);
  end();
  border(0);
  set_modal();
}

void ListPopup::Open(const std::vector<std::string>& entries, int selection, int screen_x, int screen_y,
                     int max_h) {
  list_->clear();
  for (const std::string& e : entries) list_->add(e.c_str());
  fl_font(kFont, kFontSize);
  const int line = fl_height() + 2;
  const int want = static_cast<int>(std::max<std::size_t>(entries.size(), 1)) * line + 4;
  const int height = std::max(line + 4, std::min(max_h, want));
  resize(screen_x, screen_y, w(), height);
  list_->resize(0, 0, w(), height);
  if (selection >= 0) {
    list_->value(selection + 1);
    list_->middleline(selection + 1);
  }
  show();
  Fl::grab(this);
  list_->take_focus();
}

void ListPopup::Close() {
  if (Fl::grab() == this) Fl::grab(nullptr);
  hide();
}

void ListPopup::PickCurrent() {
  const int index = list_->value() - 1;
  Close();
  if (index >= 0) combo_->Pick(index);
}

void ListPopup::ListCallback(Fl_Widget*, void* self) {
  if (Fl::event() == FL_RELEASE) static_cast<ListPopup*>(self)->PickCurrent();
}

int ListPopup::handle(int event) {
  if (event == FL_PUSH &&
      (Fl::event_x() < 0 || Fl::event_y() < 0 || Fl::event_x() >= w() || Fl::event_y() >= h())) {
    Close();
    return 1;
  }
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
    switch (Fl::event_key()) {
      case FL_Escape: Close(); return 1;
      case FL_Enter:
      case FL_KP_Enter: PickCurrent(); return 1;
      case FL_Down: Move(1); return 1;
      case FL_Up: Move(-1); return 1;
      case FL_Page_Down: Move(8); return 1;
      case FL_Page_Up: Move(-8); return 1;
      case FL_Home: Move(-list_->size()); return 1;
      case FL_End: Move(list_->size()); return 1;
      default: break;
    }
  }
  return Fl_Menu_Window::handle(event);
}

int ComboInput::handle(int event) {
  if (event == FL_KEYBOARD) {
    const int key = Fl::event_key();
    const bool alt = (Fl::event_state() & FL_ALT) != 0;
    if (key == FL_F + 4 || (alt && (key == FL_Down || key == FL_Up))) {
      combo_->OpenList();
      return 1;
    }
    if (key == FL_Down || key == FL_Up) {
      combo_->Step(key == FL_Down ? 1 : -1);
      return 1;
    }
  }
  return Fl_Input::handle(event);
}

ComboWidget::ComboWidget(Session* session, int id, int x, int y, int w, int h, int list_h)
    : Fl_Group(x, y, w, h), session_(session), id_(id), list_h_(list_h) {
  const int bw = std::min(h, w / 2);
  input_ = new ComboInput(this, x, y, w - bw, h);
  input_->when(FL_WHEN_CHANGED);
  input_->callback(InputCallback, this);
  button_ = new DropButton(x + w - bw, y, bw, h);
  button_->callback(ButtonCallback, this);
  end();
  resizable(nullptr);
}

void ComboWidget::Sync(const ControlModel& model) {
  entries_ = model.items;
  selection_ = model.selection;
  if (model.text != input_->value()) input_->value(model.text.c_str());
}

void ComboWidget::OpenList() {
  Fl_Window* top = window();
  if (top == nullptr) return;
  if (popup_ == nullptr) popup_ = new ListPopup(this, w(), list_h_);
  input_->take_focus();
  popup_->Open(entries_, selection_, top->x_root() + x(), top->y_root() + y() + h(), list_h_);
}

void ComboWidget::Pick(int index) { session_->Pick(id_, index); }

void ComboWidget::Step(int delta) {
  if (entries_.empty()) return;
  const int count = static_cast<int>(entries_.size());
  const int next = selection_ < 0 ? 0 : std::clamp(selection_ + delta, 0, count - 1);
  if (next != selection_) session_->Pick(id_, next);
}

void ComboWidget::InputCallback(Fl_Widget*, void* self) {
  auto* combo = static_cast<ComboWidget*>(self);
  combo->session_->Type(combo->id_, combo->input_->value());
}

void ComboWidget::ButtonCallback(Fl_Widget*, void* self) { static_cast<ComboWidget*>(self)->OpenList(); }

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
