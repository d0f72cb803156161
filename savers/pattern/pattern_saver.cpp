#include "savers/pattern/pattern_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/pattern/pattern_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kPatternSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Pattern"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kPatternSettings.section},
};

}  // namespace

const orvo::SaverModule kPatternSaver = {
    "pattern",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kPatternSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
