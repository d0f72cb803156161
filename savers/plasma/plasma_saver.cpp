#include "savers/plasma/plasma_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/plasma/plasma_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kPlasmaSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Plasma"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kPlasmaSettings.section},
};

}  // namespace

const orvo::SaverModule kPlasmaSaver = {
    "plasma",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kPlasmaSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
