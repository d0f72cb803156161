#include "savers/beziers/beziers_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/beziers/beziers_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kBeziersSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Beziers"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kBeziersSettings.section},
};

}  // namespace

const orvo::SaverModule kBeziersSaver = {
    "beziers",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kBeziersSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    1,
    true,
};
