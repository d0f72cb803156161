// The desktop's password switch read through the registry functions.
#include <gtest/gtest.h>

#include <cstring>

#include "orvo/win_kernel.h"
#include "tests/support/temp_config.h"

namespace {

using orvo::testing::TempConfig;

constexpr const char* kSection = "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n";

HKEY OpenDesktop() {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key), ERROR_SUCCESS);
  return key;
}

LSTATUS QueryDword(HKEY key, const char* name, DWORD* value, DWORD* type, DWORD size = 4) {
  BYTE data[8] = {};
  LSTATUS status = RegQueryValueExA(key, name, nullptr, type, data, &size);
  std::memcpy(value, data, 4);
  return status;
}

TEST(Registry, ReadsThePasswordSwitchAsADword) {
  TempConfig config;
  config.Put("registry.ini", std::string(kSection) + "ScreenSaveUsePassword=1\n");
  HKEY key = OpenDesktop();
  DWORD value = 99, type = 0;
  EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type), ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(type, REG_DWORD);

  config.Put("registry.ini", "[hkey_current_user\\control panel\\desktop]\r\nscreensaveusepassword = 0x10\r\n");
  EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type), ERROR_SUCCESS);
  EXPECT_EQ(value, 16u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(Registry, MissingFileKeyOrValueIsNotFound) {
  TempConfig config;
  HKEY key = OpenDesktop();
  DWORD value = 0, type = 0;
  EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type), ERROR_FILE_NOT_FOUND);
  config.Put("registry.ini", std::string(kSection) + "Other=1\n[Elsewhere]\nScreenSaveUsePassword=1\n");
  EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type), ERROR_FILE_NOT_FOUND);
  // Text that is not a number is not a value (it must not read as "on").
  for (const char* bad : {"on", "yes", "0x", "1x", "99999999999"}) {
    config.Put("registry.ini", std::string(kSection) + "ScreenSaveUsePassword=" + bad + "\n");
    EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type), ERROR_FILE_NOT_FOUND) << bad;
  }

  HKEY other = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Mouse", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(other, nullptr);
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, nullptr), ERROR_SUCCESS);
  EXPECT_NE(RegQueryValueExA(reinterpret_cast<HKEY>(12345), "ScreenSaveUsePassword", nullptr, &type, nullptr,
                             &value),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(Registry, SmallBufferAsksForMore) {
  TempConfig config;
  config.Put("registry.ini", std::string(kSection) + "ScreenSaveUsePassword=1\n");
  HKEY key = OpenDesktop();
  DWORD value = 0, type = 0;
  BYTE data[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  DWORD size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(data[0], 0xAA);  // nothing written into a short buffer
  size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(QueryDword(key, "ScreenSaveUsePassword", &value, &type, 8), ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  RegCloseKey(key);
}

}  // namespace
