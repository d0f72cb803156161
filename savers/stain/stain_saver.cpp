#include "savers/stain/stain_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/stain/stain_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kStainSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Stain"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kStainSettings.section},
};

}  // namespace

const orvo::SaverModule kStainSaver = {
    "stain",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kStainSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
