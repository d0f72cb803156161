#include <cstdio>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "tools/orvo-render/render.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  orvo::render::Options options;
  std::string error;
  if (!orvo::render::ParseArguments(args, &options, &error)) {
    std::fprintf(stderr, "orvo-render: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(orvo::render::Help().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(orvo::shell::VersionLine("orvo-render").c_str(), stdout);
    return 0;
  }
  return orvo::render::Render(options);
}
