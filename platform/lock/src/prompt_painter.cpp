// The prompt's panel in memory: fonts found by fontconfig, glyphs rendered
// by FreeType (8-bit coverage) and blended over the panel's colours.
#include "orvo/prompt_painter.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

#include "orvo/lock_prompt.h"

namespace orvo::platform::lock {
namespace {

constexpr const char* kBullet = "\xE2\x97\x8F";  // U+25CF BLACK CIRCLE

// The next code point of UTF-8 `text` at `*i` (U+FFFD for a broken sequence).
char32_t NextCodePoint(const std::string& text, std::size_t* i) {
  const auto lead = static_cast<unsigned char>(text[(*i)++]);
  const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (*i >= text.size() || (static_cast<unsigned char>(text[*i]) & 0xC0) != 0x80) return 0xFFFD;
    point = point << 6 | (static_cast<unsigned char>(text[(*i)++]) & 0x3F);
  }
  return point;
}

// One face at one pixel size.
class Face {
 public:
  Face(FT_Library library, int px, bool bold) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kPromptFontFamily));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, px);
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    int index = 0;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face_) != 0) face_ = nullptr;
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    if (face_ != nullptr && FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px)) != 0) {
      FT_Done_Face(face_);
      face_ = nullptr;
    }
    if (face_ != nullptr) {
      ascent_ = static_cast<int>(face_->size->metrics.ascender >> 6);
      descent_ = static_cast<int>(-(face_->size->metrics.descender >> 6));
    } else {
      ascent_ = px;
      descent_ = 0;
    }
  }
  ~Face() {
    if (face_ != nullptr) FT_Done_Face(face_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  bool usable() const { return face_ != nullptr; }
  int ascent() const { return ascent_; }
  int height() const { return ascent_ + descent_; }

  int Width(const std::string& text) {
    int width = 0;
    for (std::size_t i = 0; face_ != nullptr && i < text.size();)
      if (FT_Load_Char(face_, NextCodePoint(text, &i), FT_LOAD_DEFAULT) == 0)
        width += static_cast<int>(face_->glyph->advance.x >> 6);
    return width;
  }

  // Draws `text` with its baseline at `baseline`, blending `rgb` by each
  // glyph's coverage into the picture (clipped to it).
  void Draw(PromptPicture& picture, std::uint32_t rgb, int x, int baseline, const std::string& text) {
    for (std::size_t i = 0; face_ != nullptr && i < text.size();) {
      if (FT_Load_Char(face_, NextCodePoint(text, &i), FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot glyph = face_->glyph;
      const FT_Bitmap& bitmap = glyph->bitmap;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        for (unsigned row = 0; row < bitmap.rows; ++row) {
          const int y = baseline - glyph->bitmap_top + static_cast<int>(row);
          if (y < 0 || y >= picture.height) continue;
          for (unsigned column = 0; column < bitmap.width; ++column) {
            const int px = x + glyph->bitmap_left + static_cast<int>(column);
            if (px < 0 || px >= picture.width) continue;
            const unsigned coverage = bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch + column];
            std::uint32_t& target = picture.pixels[static_cast<std::size_t>(y) * picture.width + px];
            target = Blend(target, rgb, coverage);
          }
        }
      }
      x += static_cast<int>(glyph->advance.x >> 6);
    }
  }

 private:
  static std::uint32_t Blend(std::uint32_t under, std::uint32_t over, unsigned coverage) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const unsigned a = under >> shift & 0xFF, b = over >> shift & 0xFF;
      out |= ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    }
    return out;
  }

  FT_Face face_ = nullptr;
  int ascent_ = 0;
  int descent_ = 0;
};

}  // namespace

struct PromptPainter::Fonts {
  FT_Library library = nullptr;
  int px = 0;
  std::unique_ptr<Face> body, heading;
  ~Fonts() {
    body.reset();
    heading.reset();
    if (library != nullptr) FT_Done_FreeType(library);
  }
  void Open(int size) {
    if (size == px && body != nullptr) return;
    if (library == nullptr && FT_Init_FreeType(&library) != 0) library = nullptr;
    px = size;
    body = std::make_unique<Face>(library, size, false);
    heading = std::make_unique<Face>(library, size * 4 / 3, true);
  }
};

PromptPainter::PromptPainter(std::string title, std::string subtitle)
    : title_(std::move(title)), subtitle_(std::move(subtitle)), fonts_(std::make_unique<Fonts>()) {}

PromptPainter::~PromptPainter() = default;

bool PromptPainter::HasFont() {
  fonts_->Open(fonts_->px > 0 ? fonts_->px : PromptTextSize(0));
  return fonts_->library != nullptr && fonts_->body->usable();
}

namespace {

bool SameState(const PromptState& a, const PromptState& b) {
  if (a.visible != b.visible || a.label != b.label || a.bullets != b.bullets || a.echo != b.echo ||
      a.accepting != b.accepting || a.checking != b.checking || a.lines.size() != b.lines.size())
    return false;
  for (std::size_t i = 0; i < a.lines.size(); ++i)
    if (a.lines[i].tone != b.lines[i].tone || a.lines[i].text != b.lines[i].text) return false;
  return true;
}

}  // namespace

const PromptPicture& PromptPainter::Paint(const PromptState& state, bool caps_lock, int screen_width,
                                          int screen_height) {
  if (!SameState(state, painted_state_) || caps_lock != painted_caps_) {
    painted_.clear();
    painted_state_ = state;
    painted_caps_ = caps_lock;
  }
  for (const Painted& p : painted_)
    if (p.screen_width == screen_width && p.screen_height == screen_height) return p.picture;
  if (painted_.size() >= 8) painted_.erase(painted_.begin());
  painted_.push_back({screen_width, screen_height, PaintNew(state, caps_lock, screen_width, screen_height)});
  return painted_.back().picture;
}

const PromptPicture& PromptPainter::PaintNew(const PromptState& state, bool caps_lock, int screen_width,
                                             int screen_height) {
  picture_ = {};
  if (!state.visible || screen_width <= 0 || screen_height <= 0) return picture_;
  const int px = PromptTextSize(screen_height);
  fonts_->Open(px);
  Face& body = *fonts_->body;
  Face& heading = *fonts_->heading;
  const int pad = px;
  const int gap = std::max(px / 2, 4);
  const int margin = std::max(px / 2, 8);
  const int body_h = body.height();
  const int heading_h = heading.height();

  // Width: room for about twenty characters, or the heading, within the screen.
  int width = std::max(px * 20, std::max(heading.Width(title_), body.Width(subtitle_)) + 2 * pad);
  width = std::min(width, std::max(screen_width - 2 * margin, 1));
  const int inner = std::max(width - 2 * pad, 1);

  // The lines under the field, each of PAM's messages wrapped at spaces.
  std::vector<std::pair<std::uint32_t, std::string>> lines;
  if (caps_lock) lines.emplace_back(kWarningColour, "Caps Lock is on");
  for (const PromptLine& line : state.lines) {
    const std::uint32_t rgb = line.tone == PromptLine::Tone::kError ? kErrorColour : kInfoColour;
    std::string current;
    std::size_t start = 0;
    while (start <= line.text.size()) {
      std::size_t end = line.text.find(' ', start);
      if (end == std::string::npos) end = line.text.size();
      const std::string word = line.text.substr(start, end - start);
      const std::string candidate = current.empty() ? word : current + " " + word;
      if (!current.empty() && body.Width(candidate) > inner) {
        lines.emplace_back(rgb, current);
        current = word;
      } else {
        current = candidate;
      }
      start = end + 1;
    }
    if (!current.empty()) lines.emplace_back(rgb, current);
  }

  const int field_h = body_h + px;
  int height = pad + heading_h + gap / 2 + body_h + 2 * gap + body_h + gap / 2 + field_h + gap;
  height += static_cast<int>(lines.size()) * (body_h + gap / 2) + pad - gap / 2;
  height = std::min(height, std::max(screen_height - 2 * margin, 1));

  picture_.width = width;
  picture_.height = height;
  picture_.pixels.assign(static_cast<std::size_t>(width) * height, kFrameColour);
  auto rect = [&](std::uint32_t rgb, int x, int y, int w, int h) {
    for (int row = std::max(y, 0); row < std::min(y + h, height); ++row)
      std::fill(picture_.pixels.begin() + static_cast<std::ptrdiff_t>(row) * width + std::max(x, 0),
                picture_.pixels.begin() + static_cast<std::ptrdiff_t>(row) * width + std::clamp(x + w, 0, width), rgb);
  };
  auto centred = [&](Face& face, std::uint32_t rgb, int top, const std::string& s) {
    face.Draw(picture_, rgb, (width - face.Width(s)) / 2, top + face.ascent(), s);
  };

  const int frame = std::max(px / 12, 2);
  rect(kPanelColour, frame, frame, width - 2 * frame, height - 2 * frame);
  int y = pad;
  centred(heading, kTextColour, y, title_);
  y += heading_h + gap / 2;
  centred(body, kQuietTextColour, y, subtitle_);
  y += body_h + 2 * gap;
  body.Draw(picture_, kTextColour, pad, y + body.ascent(), state.label);
  y += body_h + gap / 2;

  // The field: bullets (never the text of a hidden answer) and a caret.
  rect(kFrameColour, pad, y, inner, field_h);
  rect(kFieldColour, pad + frame / 2 + 1, y + frame / 2 + 1, inner - frame - 2, field_h - frame - 2);
  const int field_x = pad + px / 2;
  const int baseline = y + (field_h - body_h) / 2 + body.ascent();
  int caret_x = field_x;
  if (state.checking) {
    body.Draw(picture_, kQuietTextColour, field_x, baseline, "Checking\xE2\x80\xA6");
  } else if (!state.echo.empty()) {
    body.Draw(picture_, kTextColour, field_x, baseline, state.echo);
    caret_x += body.Width(state.echo);
  } else if (state.bullets > 0) {
    const int bullet_w = std::max(body.Width(kBullet), 1);
    const int room = std::max((inner - px - frame * 2) / bullet_w, 1);
    std::string bullets;
    for (int i = 0; i < std::min(state.bullets, room); ++i) bullets += kBullet;
    body.Draw(picture_, kTextColour, field_x, baseline, bullets);
    caret_x += body.Width(bullets);
  }
  if (state.accepting) rect(kTextColour, caret_x + 1, y + (field_h - body_h) / 2, std::max(px / 10, 2), body_h);
  y += field_h + gap;
  for (const auto& [rgb, line] : lines) {
    if (y + body_h > height - frame) break;
    body.Draw(picture_, rgb, pad, y + body.ascent(), line);
    y += body_h + gap / 2;
  }
  return picture_;
}

}  // namespace orvo::platform::lock
