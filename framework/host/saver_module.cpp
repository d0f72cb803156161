#include "framework/host/saver_module.h"

#include "framework/settings/settings.h"
#include "framework/settings/store.h"

namespace orvo {

std::array<StringResource, 4> StringTable(const SaverModule& module) {
  return {{
      {kStringDisplayName, module.display_name},
      {kStringPasswordKey, settings::kPasswordKey},
      {kStringIniFile, settings::kSettingsFile},
      {kStringSection, module.settings->section},
  }};
}

const char* DisplayName(const SaverModule& module) {
  return module.display_name != nullptr ? module.display_name : module.program;
}

}  // namespace orvo
