#include "savers/stars/stars_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/stars/stars_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kStarsSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Stars"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kStarsSettings.section},
};

}  // namespace

const orvo::SaverModule kStarsSaver = {
    "stars",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kStarsSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    false,
};
