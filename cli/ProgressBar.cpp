#include "ProgressBar.h"

#include <string>

void ProgressBar::Show(const StageProgress& progress) {
    constexpr int kWidth = 30;
    const int filled = progress.total > 0 ? kWidth * progress.done / progress.total : 0;
    const char* what = progress.stage == Stage::Prepare ? "pages" : "documents";
    std::fprintf(out_, "\r%-9s [%s%s] %d/%d ", what, std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), progress.done, progress.total);
    std::fflush(out_);
    shown_ = true;
}

void ProgressBar::Finish() {
    if (shown_) {
        std::fputc('\n', out_);
        shown_ = false;
    }
}
