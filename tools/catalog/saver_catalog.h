// The nine savers by name, with a word about what each one shows.
#pragma once

#include <span>
#include <string_view>

#include "framework/host/saver_module.h"

namespace orvo::catalog {

struct Entry {
  const SaverModule* module;
  const char* summary;      // one line
  const char* description;  // a short paragraph
};

std::span<const Entry> Savers();
const Entry* Find(std::string_view program);
// "pattern, stain, ..." for messages.
const char* NameList();

}  // namespace orvo::catalog
