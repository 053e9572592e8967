#pragma once

#include "JobState.h"
#include "Pictures.h"
#include "RenderPage.h"
#include "RenderWorker.h"
#include "WorkerProgram.h"

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

// The first page the worker's code makes for `request`, in this process.
inline PageMade FirstPageMade(const RenderRequest& request) {
    TextRecognizer recognizer;
    PageMade first;
    RenderPages(
        request, recognizer, [](size_t) { return true; },
        [&](size_t, const PageMade& made) {
            first = made;
            return false;
        });
    return first;
}
