#include "platform/value/installation.h"

#include <cstdlib>

const char* Installation::getenv(const char* name) {
  if (name == nullptr) return nullptr;
  return std::getenv(name);
}
