#include "savers/polygon/polygon_saver.h"

#include "framework/settings/store.h"
#include "framework/host/host.h"
#include "savers/polygon/polygon_settings.h"

namespace {

orvo::settings::Values g_settings;

void ReadSettings() { g_settings = orvo::settings::Load(kPolygonSettings, orvo::host::IniFile()); }

// The picture is not drawn yet: the window stays black while the host runs.
void Allocate() {}
void NewImage() {}
void FrameStep() {}
void TearDown() {}

const orvo::StringResource kStrings[] = {
    {orvo::kStringDisplayName, "Orvo Poly"},
    {orvo::kStringPasswordKey, "PWProtected"},
    {orvo::kStringIniFile, "control.ini"},
    {orvo::kStringSection, kPolygonSettings.section},
};

}  // namespace

const orvo::SaverModule kPolygonSaver = {
    "polygon",
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
    &kPolygonSettings,
    {ReadSettings, Allocate, NewImage, FrameStep, TearDown},
    5,
    true,
};
