// A fresh configuration folder per test, named by ORVO_CONFIG_DIR.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvo::testing {

class TempConfig {
 public:
  TempConfig() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvo-ini-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    dir_ = made ? made : "";
    ::setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
  }
  ~TempConfig() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }

 private:
  std::string dir_;
};

}  // namespace orvo::testing
