#include "savers/spheres/spheres_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/spheres/spheres_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kSpheresSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Spheres"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kSpheresSettings.section},
};

}  // namespace

const orvo::SaverModule kSpheresSaver = {
    "spheres",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kSpheresSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    1,
    true,
};
