#pragma once

#include "JobState.h"
#include "Pictures.h"
#include "RenderWorker.h"

#include <filesystem>
#include <string>
#include <vector>

// What a stage told its observer, in order.
struct StageLog {
    std::vector<StageProgress> progress;
    std::vector<Stage> notifications;
    bool progressAfterDone = false;

    StageObserver Observer() {
        StageObserver observer;
        observer.progress = [this](const StageProgress& p) {
            progressAfterDone = progressAfterDone || !notifications.empty();
            progress.push_back(p);
        };
        observer.done = [this](Stage finished) { notifications.push_back(finished); };
        return observer;
    }
};

using Rgb = std::array<uint8_t, 3>;

// Distinct colours, far enough apart to survive JPEG.
inline Rgb ColourNumber(int n) {
    static const Rgb kColours[] = {{220, 30, 30},  {30, 200, 30}, {30, 30, 220},  {230, 200, 20},
                                   {20, 200, 210}, {200, 30, 200}, {0, 0, 0},     {140, 70, 0},
                                   {120, 120, 120}, {250, 150, 150}, {0, 90, 60}, {90, 0, 140}};
    return kColours[n % 12];
}

inline bool NearColour(Rgb a, Rgb b, int tolerance = 24) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

// A job over `sources` with a small page, writing into `outputFolder`, ready
// for a stage to run as if BeginJob had begun it.
inline void SetUpJob(JobState& job, const std::vector<std::filesystem::path>& sources,
                     const std::filesystem::path& outputFolder, ListMode mode = ListMode::Files) {
    job.options.pageWidth = 120;
    job.options.pageHeight = 160;
    job.options.outputFolder = outputFolder;
    job.options.listMode = mode;
    job.sourceList.assign(sources.begin(), sources.end());
    job.renderProgram = FindRenderWorkerProgram().found;
}
