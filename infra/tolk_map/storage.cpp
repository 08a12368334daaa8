#include "infra/tolk_map/storage.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/value/installation.h"

namespace {
std::string upper(const char* s) {
  std::string out = s != nullptr ? s : "";
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}
}  // namespace

int get_extent(const char* log, const char* table, const char* which) {
  std::string suffix = upper(table);
  if (suffix.size() > 5) suffix = suffix.substr(suffix.size() - 5);
  std::string tail = suffix + "_" + upper(which) + "_EXTENT";
  std::string specific = "QX_LOG_MPA_" + upper(log) + tail;
  if (const char* v = Installation::getenv(specific.c_str())) return std::atoi(v);
  std::string fallback = "QX_LOG_MPA_DEFAULT" + tail;
  if (const char* v = Installation::getenv(fallback.c_str())) return std::atoi(v);
  return 16;
}

void get_storage(const char* log, const char* table, Storage& storage) {
  storage.first_extent = get_extent(log, table, "FIRST");
  storage.next_extent = get_extent(log, table, "NEXT");
}
