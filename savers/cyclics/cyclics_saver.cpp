#include "savers/cyclics/cyclics_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/cyclics/cyclics_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kCyclicsSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Cyclics"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kCyclicsSettings.section},
};

}  // namespace

const orvo::SaverModule kCyclicsSaver = {
    "cyclics",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kCyclicsSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
