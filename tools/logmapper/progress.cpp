#include "tools/logmapper/progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace logmapper {

Progress::Progress(std::string what, uint64_t total)
    : what_(std::move(what)), total_(total), shown_(isatty(STDERR_FILENO) == 1) {
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "dumb") == 0) shown_ = false;
}

void Progress::draw(bool force) {
  auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  drawn_ = true;
  constexpr int kWidth = 30;
  char line[160];
  if (total_ > 0) {
    uint64_t done = done_ < total_ ? done_ : total_;
    int filled = static_cast<int>(done * kWidth / total_);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::snprintf(line, sizeof line, "\r%s [%s] %3d%% %llu/%llu", what_.c_str(), bar,
                  static_cast<int>(done * 100 / total_), static_cast<unsigned long long>(done_),
                  static_cast<unsigned long long>(total_));
  } else {
    std::snprintf(line, sizeof line, "\r%s %llu", what_.c_str(),
                  static_cast<unsigned long long>(done_));
  }
  std::fputs(line, stderr);
  std::fflush(stderr);
}

void Progress::finish() {
  if (!shown_ || !drawn_) return;
  // Clear the bar's line so that what follows starts on a clean one.
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
  shown_ = false;
}

}  // namespace logmapper
