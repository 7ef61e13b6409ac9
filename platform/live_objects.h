#pragma once

namespace deskfind {

// Counts of what the windowing layer has alive, so tests can prove that repeated work
// leaves them where they were (the system's own GUI-object counts are not available here).
struct LiveObjects {
  static inline int components = 0;
  static inline int windows = 0;
  static inline int fonts = 0;
  static inline int bitmaps = 0;
};

}  // namespace deskfind
