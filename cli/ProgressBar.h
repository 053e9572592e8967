#pragma once

#include "JobState.h"

#include <cstdio>

// A one-line progress bar with counts, redrawn in place on a terminal.
class ProgressBar {
  public:
    explicit ProgressBar(std::FILE* terminal) : out_(terminal) {}
    void Show(const StageProgress& progress);
    void Finish();

  private:
    std::FILE* out_;
    bool shown_ = false;
};
