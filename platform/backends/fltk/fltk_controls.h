// The FLTK dialog view's own controls, for the dialog controls FLTK has no
// widget for or whose FLTK widget behaves otherwise: the scroll bar, the
// combo box with its dropped-down list, the push button that answers Enter
// and the group box. They report the user's actions to a ControlSink by
// control id; the view then brings them back in line with their models.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"

namespace orvo::platform::fltk {

// The font standing in for the dialogs' 8-point font, and the size texts
// are drawn in (one below the size the dialog units are measured with; see
// the view).
constexpr Fl_Font kFont = FL_HELVETICA;
constexpr Fl_Fontsize kFontSize = 12;

// Where the controls send the user's actions: the shown dialog.
class ControlSink {
 public:
  virtual void Scroll(int id, int action, int thumb_pos) = 0;
  virtual void Type(int id, const std::string& text) = 0;
  virtual void Pick(int id, int index) = 0;
  // Whether the dialog has ended (a held arrow then stops repeating).
  virtual bool Ended() const = 0;

 protected:
  ~ControlSink() = default;
};

// ---- Scroll bar -----------------------------------------------------------------
// A horizontal scroll bar with arrow buttons, a trough and a square thumb.
// It never moves by itself: it reports actions, and the procedure sets the
// position. While the thumb is dragged it shows the dragged position.
class ScrollBarWidget final : public Fl_Widget {
 public:
  ScrollBarWidget(ControlSink* sink, int id, int x, int y, int w, int h)
      : Fl_Widget(x, y, w, h), sink_(sink), id_(id) {
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

  ControlSink* sink_;
  int id_;
  int pos_ = 0, min_ = 0, max_ = 0;
  Part pressed_ = Part::kNone;
  int drag_pos_ = 0;
  int grab_offset_ = 0;
  int mouse_x_ = 0;
};

// ---- Combo box ------------------------------------------------------------------
// An edit field with a button that drops down the list of entries.
class ComboInput;
class DropButton;
class ListPopup;

class ComboWidget final : public Fl_Group {
 public:
  ComboWidget(ControlSink* sink, int id, int x, int y, int w, int h, int list_h);
  ~ComboWidget() override;
  void Sync(const dialog::ControlModel& model);
  void OpenList();
  void Pick(int index);
  void Step(int delta);
  Fl_Input* input();

 private:
  static void InputCallback(Fl_Widget* w, void* self);
  static void ButtonCallback(Fl_Widget* w, void* self);

  ControlSink* sink_;
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

}  // namespace orvo::platform::fltk
