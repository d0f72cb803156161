#include "prompt_view.h"

#include <algorithm>

#include "orvo/lock_prompt.h"

namespace orvo::platform::lock {

namespace {

constexpr const char* kBullet = "\xE2\x97\x8F";  // U+25CF BLACK CIRCLE

int LineHeight(XftFont* font, int fallback) { return font != nullptr ? font->ascent + font->descent : fallback; }

}  // namespace

PromptView::PromptView(::Display* display, int screen, Window parent, std::string title, std::string subtitle)
    : display_(display),
      screen_(screen),
      visual_(DefaultVisual(display, screen)),
      colormap_(DefaultColormap(display, screen)),
      depth_(DefaultDepth(display, screen)),
      title_(std::move(title)),
      subtitle_(std::move(subtitle)) {
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;
  attributes.event_mask = ExposureMask;
  window_ = XCreateWindow(display_, parent, 0, 0, 1, 1, 0, depth_, InputOutput, visual_,
                          CWBackPixmap | CWEventMask, &attributes);
}

PromptView::~PromptView() {
  CloseFonts();
  for (auto& [rgb, colour] : colours_) XftColorFree(display_, visual_, colormap_, &colour);
  if (window_ != 0) XDestroyWindow(display_, window_);
}

bool PromptView::OpenFonts() {
  if (body_ != nullptr) return true;
  auto open = [&](int px, bool bold) {
    XftFont* font = XftFontOpen(display_, screen_, XFT_FAMILY, XftTypeString, kPromptFontFamily,
                                XFT_PIXEL_SIZE, XftTypeDouble, static_cast<double>(px), XFT_WEIGHT,
                                XftTypeInteger, bold ? XFT_WEIGHT_BOLD : XFT_WEIGHT_MEDIUM, nullptr);
    if (font == nullptr) {
      const std::string name = "sans:pixelsize=" + std::to_string(px);
      font = XftFontOpenName(display_, screen_, name.c_str());
    }
    return font;
  };
  body_ = open(text_px_, false);
  heading_ = open(text_px_ * 4 / 3, true);
  return body_ != nullptr;
}

void PromptView::CloseFonts() {
  if (body_ != nullptr) XftFontClose(display_, body_);
  if (heading_ != nullptr) XftFontClose(display_, heading_);
  body_ = heading_ = nullptr;
}

XftColor* PromptView::Colour(std::uint32_t rgb) {
  for (auto& [key, colour] : colours_)
    if (key == rgb) return &colour;
  XRenderColor value{static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257),
                     static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257),
                     static_cast<unsigned short>((rgb & 0xFF) * 257), 0xFFFF};
  XftColor colour{};
  if (!XftColorAllocValue(display_, visual_, colormap_, &value, &colour)) return nullptr;
  colours_.emplace_back(rgb, colour);
  return &colours_.back().second;
}

int PromptView::TextWidth(XftFont* font, const std::string& text) {
  if (font == nullptr || text.empty()) return 0;
  XGlyphInfo extents{};
  XftTextExtentsUtf8(display_, font, reinterpret_cast<const FcChar8*>(text.data()),
                     static_cast<int>(text.size()), &extents);
  return extents.xOff;
}

std::vector<std::string> PromptView::Wrap(XftFont* font, const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && TextWidth(font, candidate) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void PromptView::Resize(int screen_width, int screen_height) {
  screen_width_ = screen_width;
  screen_height_ = screen_height;
  Place(0, 0, screen_width, screen_height);
}

void PromptView::Place(int x, int y, int width, int height) {
  area_x_ = x;
  area_y_ = y;
  area_width_ = std::max(width, 1);
  area_height_ = std::max(height, 1);
  width_ = height_ = 0;  // placed again on the next drawing
  const int px = PromptTextSize(area_height_);
  if (px != text_px_) {
    CloseFonts();
    text_px_ = px;
  }
  if (visible_) Draw();
}

void PromptView::Show(const PromptState& state, bool caps_lock) {
  state_ = state;
  caps_ = caps_lock;
  if (!state.visible) {
    if (visible_) XUnmapWindow(display_, window_);
    visible_ = false;
    XFlush(display_);
    return;
  }
  Draw();
  if (!visible_) {
    XMapRaised(display_, window_);
    visible_ = true;
    Draw();
  }
}

void PromptView::Redraw() {
  if (visible_) Draw();
}

void PromptView::Draw() {
  OpenFonts();
  const int px = text_px_;
  const int pad = px;
  const int gap = std::max(px / 2, 4);
  const int margin = std::max(px / 2, 8);
  const int body_h = LineHeight(body_, px);
  const int heading_h = LineHeight(heading_, px * 4 / 3);

  // Width: room for about twenty characters, or the heading, within the screen.
  int width = std::max(px * 20, std::max(TextWidth(heading_, title_), TextWidth(body_, subtitle_)) + 2 * pad);
  width = std::min(width, std::max(area_width_ - 2 * margin, 1));
  const int inner = std::max(width - 2 * pad, 1);

  std::vector<std::pair<std::uint32_t, std::string>> lines;
  if (caps_) lines.emplace_back(kWarningColour, "Caps Lock is on");
  for (const PromptLine& line : state_.lines)
    for (const std::string& part : Wrap(body_, line.text, inner))
      lines.emplace_back(line.tone == PromptLine::Tone::kError ? kErrorColour : kInfoColour, part);

  const int field_h = body_h + px;
  int height = pad + heading_h + gap / 2 + body_h + 2 * gap + body_h + gap / 2 + field_h + gap;
  height += static_cast<int>(lines.size()) * (body_h + gap / 2) + pad - gap / 2;
  height = std::min(height, std::max(area_height_ - 2 * margin, 1));

  if (width != width_ || height != height_) {
    width_ = width;
    height_ = height;
    XMoveResizeWindow(display_, window_, area_x_ + (area_width_ - width) / 2, area_y_ + (area_height_ - height) / 2,
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  Pixmap canvas = XCreatePixmap(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                static_cast<unsigned>(depth_));
  XftDraw* draw = XftDrawCreate(display_, canvas, visual_, colormap_);
  if (draw == nullptr) {
    XFreePixmap(display_, canvas);
    return;
  }
  auto rect = [&](std::uint32_t rgb, int x, int y, int w, int h) {
    if (XftColor* c = Colour(rgb)) XftDrawRect(draw, c, x, y, static_cast<unsigned>(std::max(w, 0)), static_cast<unsigned>(std::max(h, 0)));
  };
  auto text = [&](XftFont* font, std::uint32_t rgb, int x, int baseline, const std::string& s) {
    if (font == nullptr || s.empty()) return;
    if (XftColor* c = Colour(rgb))
      XftDrawStringUtf8(draw, c, font, x, baseline, reinterpret_cast<const FcChar8*>(s.data()),
                        static_cast<int>(s.size()));
  };
  auto centred = [&](XftFont* font, std::uint32_t rgb, int top, const std::string& s) {
    if (font == nullptr) return;
    text(font, rgb, (width - TextWidth(font, s)) / 2, top + font->ascent, s);
  };

  const int frame = std::max(px / 12, 2);
  rect(kFrameColour, 0, 0, width, height);
  rect(kPanelColour, frame, frame, width - 2 * frame, height - 2 * frame);
  int y = pad;
  centred(heading_, kTextColour, y, title_);
  y += heading_h + gap / 2;
  centred(body_, kQuietTextColour, y, subtitle_);
  y += body_h + 2 * gap;
  if (body_ != nullptr) text(body_, kTextColour, pad, y + body_->ascent, state_.label);
  y += body_h + gap / 2;

  // The field: bullets (never the text of a hidden answer) and a caret.
  rect(kFrameColour, pad, y, inner, field_h);
  rect(kFieldColour, pad + frame / 2 + 1, y + frame / 2 + 1, inner - frame - 2, field_h - frame - 2);
  const int field_x = pad + px / 2;
  const int baseline = y + (field_h - body_h) / 2 + (body_ != nullptr ? body_->ascent : px);
  int caret_x = field_x;
  if (state_.checking) {
    text(body_, kQuietTextColour, field_x, baseline, "Checking\xE2\x80\xA6");
  } else if (!state_.echo.empty()) {
    text(body_, kTextColour, field_x, baseline, state_.echo);
    caret_x += TextWidth(body_, state_.echo);
  } else if (state_.bullets > 0) {
    const int bullet_w = std::max(TextWidth(body_, kBullet), 1);
    const int room = std::max((inner - px - frame * 2) / bullet_w, 1);
    std::string bullets;
    const int shown = std::min(state_.bullets, room);
    for (int i = 0; i < shown; ++i) bullets += kBullet;
    text(body_, kTextColour, field_x, baseline, bullets);
    caret_x += TextWidth(body_, bullets);
  }
  if (state_.accepting) rect(kTextColour, caret_x + 1, y + (field_h - body_h) / 2, std::max(px / 10, 2), body_h);
  y += field_h + gap;
  for (const auto& [rgb, line] : lines) {
    if (y + body_h > height - frame) break;
    if (body_ != nullptr) text(body_, rgb, pad, y + body_->ascent, line);
    y += body_h + gap / 2;
  }

  GC gc = XCreateGC(display_, window_, 0, nullptr);
  XCopyArea(display_, canvas, window_, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0);
  XFreeGC(display_, gc);
  XftDrawDestroy(draw);
  XFreePixmap(display_, canvas);
  XFlush(display_);
}

}  // namespace orvo::platform::lock
