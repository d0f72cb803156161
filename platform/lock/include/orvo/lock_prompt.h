// How the guardian's prompt looks: sizes from the screen height, and its
// colours (tests find the prompt's lines on the screen by them).
#pragma once

#include <algorithm>
#include <cstdint>

namespace orvo::platform::lock {

// Pixel size of the prompt's ordinary text on a screen `height` pixels
// high; the saver's name is a third larger.
inline int PromptTextSize(int screen_height) { return std::clamp(screen_height / 40, 12, 72); }

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t kPanelColour = 0x1C1F26;
inline constexpr std::uint32_t kFrameColour = 0x5A6270;
inline constexpr std::uint32_t kTextColour = 0xF0F0F0;
inline constexpr std::uint32_t kQuietTextColour = 0xB8BEC8;
inline constexpr std::uint32_t kFieldColour = 0x0E1014;
inline constexpr std::uint32_t kErrorColour = 0xFF6B5B;  // "Wrong password", refusals
inline constexpr std::uint32_t kInfoColour = 0x8FD18F;   // PAM's information, expiry
inline constexpr std::uint32_t kWarningColour = 0xFFC857;  // "Caps Lock is on"

// The family asked of fontconfig (Debian: fonts-dejavu-core); fontconfig
// substitutes its best match when it is missing.
inline constexpr const char* kPromptFontFamily = "DejaVu Sans";

}  // namespace orvo::platform::lock
