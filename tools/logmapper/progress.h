#ifndef QX_TOOLS_LOGMAPPER_PROGRESS_H_
#define QX_TOOLS_LOGMAPPER_PROGRESS_H_

// A progress bar for long work (export, import, demo), drawn on standard error only
// when standard error is a terminal: never in pipes, files or tests.
//
//   Progress bar("export", total);
//   for (...) { ...; bar.advance(); }
//   bar.finish();  // (or the destructor) clears the bar's line
//
// Redraws at most ten times a second. total 0: the count alone is shown.

#include <chrono>
#include <cstdint>
#include <string>

namespace logmapper {

class Progress {
 public:
  Progress(std::string what, uint64_t total);
  ~Progress() { finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void advance(uint64_t n = 1) {
    done_ += n;
    if (shown_) draw(false);
  }
  // Sets the amount done (import: octets read).
  void set(uint64_t done) {
    done_ = done;
    if (shown_) draw(false);
  }
  void finish();

  // Whether a bar is drawn (standard error is a terminal).
  bool shown() const { return shown_; }

 private:
  void draw(bool force);

  std::string what_;
  uint64_t total_;
  uint64_t done_ = 0;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_PROGRESS_H_
