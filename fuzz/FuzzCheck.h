// The fuzz targets' one way to report a broken promise: a line naming it, then a crash
// that libFuzzer records with the input.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}
