#include "fltk_controls.h"

#include <FL/Fl_Menu_Window.H>
#include <FL/Fl_Select_Browser.H>

namespace orvo::platform::fltk {

// ---- Scroll bar -----------------------------------------------------------------
void ScrollBarWidget::Action(int action, int thumb_pos) {
  sink_->Scroll(id_, action, thumb_pos);
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
  if (bar->pressed_ == Part::kNone || bar->pressed_ == Part::kThumb || bar->sink_->Ended()) return;
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

// ---- Combo box ------------------------------------------------------------------
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

ComboWidget::ComboWidget(ControlSink* sink, int id, int x, int y, int w, int h, int list_h)
    : Fl_Group(x, y, w, h), sink_(sink), id_(id), list_h_(list_h) {
  const int bw = std::min(h, w / 2);
  input_ = new ComboInput(this, x, y, w - bw, h);
  input_->when(FL_WHEN_CHANGED);
  input_->callback(InputCallback, this);
  button_ = new DropButton(x + w - bw, y, bw, h);
  button_->callback(ButtonCallback, this);
  end();
  resizable(nullptr);
}

ComboWidget::~ComboWidget() { delete popup_; }

Fl_Input* ComboWidget::input() { return input_; }

void ComboWidget::Sync(const dialog::ControlModel& model) {
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

void ComboWidget::Pick(int index) { sink_->Pick(id_, index); }

void ComboWidget::Step(int delta) {
  if (entries_.empty()) return;
  const int count = static_cast<int>(entries_.size());
  const int next = selection_ < 0 ? 0 : std::clamp(selection_ + delta, 0, count - 1);
  if (next != selection_) sink_->Pick(id_, next);
}

void ComboWidget::InputCallback(Fl_Widget*, void* self) {
  auto* combo = static_cast<ComboWidget*>(self);
  combo->sink_->Type(combo->id_, combo->input_->value());
}

void ComboWidget::ButtonCallback(Fl_Widget*, void* self) { static_cast<ComboWidget*>(self)->OpenList(); }

}  // namespace orvo::platform::fltk
