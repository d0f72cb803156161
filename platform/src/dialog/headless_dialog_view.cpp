// The headless dialog view: runs a test's script against the models.

#include <utility>

#include "dialog/dialog_model.h"
#include "orvo/dialog_driver.h"

namespace orvo::platform {
namespace {

using dialog::ControlKind;
using dialog::ControlModel;
using dialog::DialogModel;

class Driver final : public DialogDriver {
 public:
  explicit Driver(DialogModel& model) : d_(model) {}

  HWND Dialog() const override { return d_.hwnd; }
  HWND Owner() const override { return d_.owner; }
  std::string Caption() const override { return d_.caption; }
  bool Ended() const override { return d_.ended; }
  INT_PTR Result() const override { return d_.result; }

  bool Click(int id) override { return dialog::ClickControl(d_, id); }
  bool TypeText(int id, const std::string& text) override {
    return dialog::SetComboEditText(d_, id, text);
  }
  bool PickEntry(int id, int index) override { return dialog::PickComboEntry(d_, id, index); }
  bool Scroll(int id, int action) override {
    if (action == SB_THUMBPOSITION || action == SB_THUMBTRACK || action == SB_ENDSCROLL) {
      return false;
    }
    if (!dialog::SendScrollAction(d_, id, action, 0)) return false;
    dialog::SendScrollAction(d_, id, SB_ENDSCROLL, 0);
    return true;
  }
  bool PressHome(int id) override { return Scroll(id, SB_TOP); }
  bool PressEnd(int id) override { return Scroll(id, SB_BOTTOM); }
  bool DragThumb(int id, int pos) override {
    return dialog::SendScrollAction(d_, id, SB_THUMBTRACK, pos);
  }
  bool ReleaseThumb(int id, int pos) override {
    if (!dialog::SendScrollAction(d_, id, SB_THUMBPOSITION, pos)) return false;
    dialog::SendScrollAction(d_, id, SB_ENDSCROLL, 0);
    return true;
  }
  void PressEnter() override { dialog::PressEnter(d_); }
  void PressEscape() override { dialog::PressEscape(d_); }

  bool Exists(int id) const override { return d_.Find(id) != nullptr; }
  std::string Text(int id) const override {
    const ControlModel* c = d_.Find(id);
    return c != nullptr ? c->text : std::string();
  }
  UINT Check(int id) const override {
    const ControlModel* c = d_.Find(id);
    return c != nullptr ? c->check : BST_UNCHECKED;
  }
  bool Enabled(int id) const override {
    const ControlModel* c = d_.Find(id);
    return c != nullptr && c->enabled;
  }
  int ScrollPos(int id) const override {
    const ControlModel* c = Bar(id);
    return c != nullptr ? c->pos : 0;
  }
  int ScrollMin(int id) const override {
    const ControlModel* c = Bar(id);
    return c != nullptr ? c->min : 0;
  }
  int ScrollMax(int id) const override {
    const ControlModel* c = Bar(id);
    return c != nullptr ? c->max : 0;
  }
  std::vector<std::string> Entries(int id) const override {
    const ControlModel* c = d_.Find(id);
    return c != nullptr ? c->items : std::vector<std::string>();
  }
  int Selection(int id) const override {
    const ControlModel* c = d_.Find(id);
    return c != nullptr ? c->selection : -1;
  }
  std::vector<std::string> AllTexts() const override {
    std::vector<std::string> texts;
    for (const ControlModel& c : d_.controls) texts.push_back(c.text);
    return texts;
  }

 private:
  const ControlModel* Bar(int id) const {
    const ControlModel* c = d_.Find(id);
    return (c != nullptr && c->kind == ControlKind::kScrollBar) ? c : nullptr;
  }

  DialogModel& d_;
};

class HeadlessView final : public dialog::DialogView {
 public:
  explicit HeadlessView(DialogScript script) : script_(std::move(script)) {}

  bool Run(DialogModel& model) override {
    Driver driver(model);
    if (script_) script_(driver);
    if (!model.ended) {
      model.ended = true;
      model.result = -1;
    }
    return true;
  }

 private:
  DialogScript script_;
};

}  // namespace

void InstallHeadlessDialogView(DialogScript script) {
  dialog::InstallDialogView(std::make_unique<HeadlessView>(std::move(script)));
}

}  // namespace orvo::platform
