// The nine saver programs, run as a user runs them, with no X display: the
// command line is their contract whatever the display.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const char* const kPrograms[] = {"pattern", "stain",  "cyclics", "stars", "spheres",
                                 "vortex",  "polygon", "beziers", "plasma"};

struct Result {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a program of the build with `args`; DISPLAY is `display` (unset when
// nullptr) and XSCREENSAVER_WINDOW is unset.
Result RunProgram(const std::string& program, const std::vector<std::string>& args, const char* display) {
  const fs::path dir = fs::temp_directory_path() / ("orvo-no-display-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string command = std::string("env -u XSCREENSAVER_WINDOW -u DISPLAY ORVO_CONFIG_DIR=") + dir.string() +
                        (display != nullptr ? std::string(" DISPLAY=") + display : "") + " " + ORVO_BIN_DIR +
                        "/" + program;
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
  const int status = std::system(command.c_str());
  Result r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(dir / "out");
  r.err = Slurp(dir / "err");
  fs::remove_all(dir);
  return r;
}

std::string Show(const std::vector<std::string>& args) {
  std::string s;
  for (const std::string& a : args) s += " [" + a + "]";
  return s;
}

TEST(ProgramsWithoutADisplay, BadSwitchesAreRefusedHelpAndVersionAnsweredTheRestNeedADisplay) {
  struct Case {
    std::vector<std::string> args;
    const char* display;  // DISPLAY; nullptr: unset
    int code;
    std::string out;  // standard output starts with this
    std::string err;  // standard error starts with this ("@" stands for the program)
  } cases[] = {
      {{"/x"}, nullptr, 255, "", "usage: @ [/s | /c | /p ID"},
      {{"/p", "0"}, nullptr, 255, "", "usage: @ [/s | /c | /p ID"},
      {{"-l", "abc"}, ":97", 255, "", "usage: @ [/s | /c | /p ID"},
      {{"-h"}, nullptr, 255, "", "usage: @ [/s | /c | /p ID"},
      {{"--window-id"}, ":97", 255, "", "usage: @ [/s | /c | /p ID"},
      {{"--help"}, nullptr, 0, "Orvo ", ""},
      {{"--effect", "bogus", "/s"}, ":97", 255, "", "@: --effect needs ramp, fade, smooth, coarse, random"},
      {{"/s", "--shifted=1"}, nullptr, 255, "", "@: --shifted takes no value"},
      {{"--effect=ramp", "--no-shifted", "--version"}, nullptr, 0, "@ (Orvo savers) ", ""},
      {{"--shifted", "/s", "--effect", "2"}, nullptr, 1, "", "@: no X display: DISPLAY is not set\n"},
      {{"--version"}, ":97", 0, std::string("@ (Orvo savers) ") + ORVO_PROJECT_VERSION + "\n", ""},
      {{}, nullptr, 1, "", "@: no X display: DISPLAY is not set\n"},
      {{"/s"}, nullptr, 1, "", "@: no X display: DISPLAY is not set\n"},
      {{"/p", "42"}, nullptr, 1, "", "@: no X display: DISPLAY is not set\n"},
      {{"--root"}, nullptr, 1, "", "@: no X display: DISPLAY is not set\n"},
      {{"/s"}, ":97", 1, "", "@: cannot open X display \":97\"\n"},
  };
  auto named = [](std::string text, const std::string& program) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, program);
    return text;
  };
  for (const char* program : kPrograms) {
    for (const Case& c : cases) {
      // The display that cannot be opened takes a while to refuse: once per case is enough.
      if (c.code == 1 && c.display != nullptr && std::string(program) != "plasma") continue;
      SCOPED_TRACE(std::string(program) + Show(c.args) + (c.display ? " DISPLAY=:97" : " no DISPLAY"));
      const Result r = RunProgram(program, c.args, c.display);
      EXPECT_EQ(r.exit_code, c.code);
      EXPECT_EQ(r.out.rfind(named(c.out, program), 0), 0u) << r.out;
      EXPECT_EQ(r.err.rfind(named(c.err, program), 0), 0u) << r.err;
      EXPECT_TRUE(r.err.empty() || r.err.find('\n') == r.err.size() - 1) << "at most one line: " << r.err;
      EXPECT_EQ(c.code == 0 ? r.err : r.out, "") << "the other stream stays empty";
    }
  }
}

}  // namespace
