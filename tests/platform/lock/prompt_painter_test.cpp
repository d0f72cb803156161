// The prompt painted without X: one bullet per typed character, the
// messages in their colours, and a panel that fits the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "orvo/lock_prompt.h"
#include "orvo/prompt_painter.h"

#if defined(__SANITIZE_ADDRESS__)
// The leak checker leaves alone what fontconfig keeps for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace orvo::platform::lock {
namespace {

// The most separate bright marks on one row of the field.
int MarksInField(const PromptPicture& p) {
  int most = 0;
  for (int y = 0; y < p.height; ++y) {
    const std::uint32_t* row = &p.pixels[static_cast<std::size_t>(y) * p.width];
    if (std::count(row, row + p.width, kFieldColour) < p.width / 4) continue;  // not a row of the field
    int marks = 0;
    bool in_mark = false;
    for (int x = 0; x < p.width; ++x) {
      const bool bright = (row[x] & 0xFF) > 0x80 && row[x] != kFrameColour;
      marks += bright && !in_mark;
      in_mark = bright;
    }
    most = std::max(most, marks);
  }
  return most;
}

bool Shows(const PromptPicture& p, std::uint32_t rgb) {
  return std::find(p.pixels.begin(), p.pixels.end(), rgb) != p.pixels.end();
}

TEST(PromptPainterTest, ShowsOneBulletPerCharacterAndEachMessageInItsColour) {
  PromptPainter painter("Orvo Plasma is locked", "Locked by tester on host");
  if (!painter.HasFont()) GTEST_SKIP() << "fontconfig finds no font";
  PromptState state;
  state.visible = true;
  state.label = "Password";
  for (const int typed : {0, 1, 3, 7}) {
    state.bullets = typed;
    EXPECT_EQ(MarksInField(painter.Paint(state, false, 1280, 720)), typed) << typed << " typed";
  }
  struct Case {
    const char* name;
    PromptLine::Tone tone;
    bool caps;
    std::uint32_t shown, absent;
  };
  const Case cases[] = {
      {"wrong password", PromptLine::Tone::kError, false, kErrorColour, kWarningColour},
      {"PAM's information", PromptLine::Tone::kInfo, false, kInfoColour, kErrorColour},
      {"caps lock", PromptLine::Tone::kInfo, true, kWarningColour, kErrorColour},
  };
  for (const Case& c : cases) {
    state.lines = {PromptLine{c.tone, "Wrong password"}};
    const PromptPicture& p = painter.Paint(state, c.caps, 1280, 720);
    EXPECT_TRUE(Shows(p, c.shown)) << c.name;
    EXPECT_FALSE(Shows(p, c.absent)) << c.name;
  }
  // Fits every screen, however small; nothing while hidden.
  state.lines = {PromptLine{PromptLine::Tone::kError, std::string(400, 'x')}};
  for (const auto& [w, h] : {std::pair{320, 200}, {1920, 1080}, {3840, 2160}}) {
    const PromptPicture& p = painter.Paint(state, true, w, h);
    EXPECT_TRUE(p.width > 0 && p.width <= w - 16 && p.height > 0 && p.height <= h - 16) << w << "x" << h;
  }
  state.visible = false;
  EXPECT_EQ(painter.Paint(state, false, 1280, 720).width, 0);
  // ORVO_PROMPT_PICTURE=FILE.ppm keeps a picture to look at.
  if (const char* file = std::getenv("ORVO_PROMPT_PICTURE")) {
    state.visible = true;
    state.bullets = 5;
    state.accepting = true;
    state.lines = {PromptLine{PromptLine::Tone::kError, "Wrong password"}};
    const PromptPicture& p = painter.Paint(state, true, 1280, 720);
    if (FILE* out = std::fopen(file, "wb")) {
      std::fprintf(out, "P6\n%d %d\n255\n", p.width, p.height);
      for (const std::uint32_t px : p.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(px >> 16), static_cast<unsigned char>(px >> 8),
                                      static_cast<unsigned char>(px)};
        std::fwrite(rgb, 1, 3, out);
      }
      std::fclose(out);
    }
  }
}

}  // namespace
}  // namespace orvo::platform::lock
