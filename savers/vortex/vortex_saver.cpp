#include "savers/vortex/vortex_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/vortex/vortex_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kVortexSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Vortex"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kVortexSettings.section},
};

}  // namespace

const orvo::SaverModule kVortexSaver = {
    "vortex",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kVortexSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
