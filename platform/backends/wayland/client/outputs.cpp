#include "outputs.h"

#include <wayland-client.h>

#include <algorithm>
#include <climits>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace orvo::platform::wayland {

OutputList::~OutputList() { Clear(); }

void OutputList::Clear() {
  for (auto& output : outputs_) {
    if (output->xdg != nullptr) zxdg_output_v1_destroy(output->xdg);
    if (output->output != nullptr) wl_output_destroy(output->output);
  }
  outputs_.clear();
}

void OutputList::SetManager(zxdg_output_manager_v1* manager) {
  manager_ = manager;
  for (auto& output : outputs_)
    if (output->xdg == nullptr) AddXdg(*output);
}

void OutputList::AddXdg(Output& output) {
  if (manager_ == nullptr) return;
  static const zxdg_output_v1_listener listener = {&OnLogicalPosition, &OnLogicalSize, &OnXdgDone,
                                                   &OnXdgName, &OnXdgDescription};
  output.xdg = zxdg_output_manager_v1_get_xdg_output(manager_, output.output);
  zxdg_output_v1_add_listener(output.xdg, &listener, &output);
}

void OutputList::Add(std::uint32_t name, wl_output* wl) {
  auto output = std::make_unique<Output>();
  output->name = name;
  output->output = wl;
  output->list = this;
  static const wl_output_listener listener = {&OnGeometry, &OnMode,  &OnDone,
                                              &OnScale,    &OnName,  &OnDescription};
  wl_output_add_listener(wl, &listener, output.get());
  AddXdg(*output);
  outputs_.push_back(std::move(output));
}

bool OutputList::Remove(std::uint32_t name) {
  auto it = std::find_if(outputs_.begin(), outputs_.end(),
                         [name](const auto& output) { return output->name == name; });
  if (it == outputs_.end()) return false;
  const bool was_ready = (*it)->ready;
  if ((*it)->xdg != nullptr) zxdg_output_v1_destroy((*it)->xdg);
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>((*it)->output)) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
    wl_output_release((*it)->output);
  else
    wl_output_destroy((*it)->output);
  outputs_.erase(it);
  if (was_ready && changed) changed();
  return true;
}

std::vector<const Output*> OutputList::Ready() const {
  std::vector<const Output*> out;
  for (const auto& output : outputs_)
    if (output->ready && output->width > 0 && output->height > 0) out.push_back(output.get());
  return out;
}

const Output* OutputList::Find(wl_output* wl) const {
  for (const auto& output : outputs_)
    if (output->output == wl) return output.get();
  return nullptr;
}

const Output* OutputList::FindByName(std::uint32_t name) const {
  for (const auto& output : outputs_)
    if (output->name == name) return output.get();
  return nullptr;
}

LogicalRect OutputList::Bounds() const {
  const auto ready = Ready();
  if (ready.empty()) return {};
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
  for (const Output* output : ready) {
    left = std::min(left, output->x);
    top = std::min(top, output->y);
    right = std::max(right, output->x + output->width);
    bottom = std::max(bottom, output->y + output->height);
  }
  return {left, top, right - left, bottom - top};
}

void OutputList::Done(Output& output) {
  if (!output.xdg_place) {
    // Without xdg-output: the mode's size over the scale, turned a quarter
    // for the rotated transforms (odd values).
    int w = output.mode_width, h = output.mode_height;
    if (output.transform % 2 == 1) std::swap(w, h);
    output.width = w / std::max(output.scale, 1);
    output.height = h / std::max(output.scale, 1);
  }
  output.ready = true;
  if (changed) changed();
}

void OutputList::OnGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t,
                            std::int32_t, std::int32_t, const char*, const char*,
                            std::int32_t transform) {
  auto* output = static_cast<Output*>(data);
  if (!output->xdg_place) {
    output->x = x;
    output->y = y;
  }
  output->transform = transform;
}

void OutputList::OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width,
                        std::int32_t height, std::int32_t) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  auto* output = static_cast<Output*>(data);
  output->mode_width = width;
  output->mode_height = height;
}

void OutputList::OnDone(void* data, wl_output*) {
  auto* output = static_cast<Output*>(data);
  output->list->Done(*output);
}

void OutputList::OnScale(void* data, wl_output*, std::int32_t factor) {
  static_cast<Output*>(data)->scale = std::clamp(factor, 1, 16);
}

void OutputList::OnName(void* data, wl_output*, const char* name) {
  static_cast<Output*>(data)->connector = name != nullptr ? name : "";
}

void OutputList::OnDescription(void*, wl_output*, const char*) {}

void OutputList::OnLogicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
  auto* output = static_cast<Output*>(data);
  output->x = x;
  output->y = y;
  output->xdg_place = true;
}

void OutputList::OnLogicalSize(void* data, zxdg_output_v1*, std::int32_t width,
                               std::int32_t height) {
  auto* output = static_cast<Output*>(data);
  output->width = width;
  output->height = height;
  output->xdg_place = true;
}

// Before version 3 xdg-output has a "done" of its own; from 3 on the
// output's "done" covers both.
void OutputList::OnXdgDone(void* data, zxdg_output_v1*) {
  auto* output = static_cast<Output*>(data);
  if (output->ready) output->list->Done(*output);
}

void OutputList::OnXdgName(void* data, zxdg_output_v1*, const char* name) {
  auto* output = static_cast<Output*>(data);
  if (output->connector.empty() && name != nullptr) output->connector = name;
}

void OutputList::OnXdgDescription(void*, zxdg_output_v1*, const char*) {}

}  // namespace orvo::platform::wayland
