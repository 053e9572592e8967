#pragma once

#include "ConvertOptions.h"
#include "JobReport.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>

// The notifications each stage delivers exactly once, as its last act.
inline constexpr unsigned WM_PREPARE_DONE = 0x040C;
inline constexpr unsigned WM_CONVERT_DONE = 0x040E;

enum class Stage { Prepare, BuildPdfs };

struct StageProgress {
    Stage stage;
    int done; // pictures prepared or documents finished so far
    int total;
};

// How a stage talks to whoever started it. Both callbacks may be called from a
// worker thread; `done` is called exactly once, after everything else.
struct StageObserver {
    std::function<void(const StageProgress&)> progress;
    std::function<void(unsigned notification)> done;
};

// Everything one job shares between its starter and its two stages.
// The starter fills `options` and `sourceList` before the first stage; the
// preparation stage publishes `workFolderPath`; both stages add to `report`.
struct JobState {
    ConvertOptions options;
    SourceList sourceList;
    std::filesystem::path workFolderPath; // WorkFolderPath: this job's own scratch folder
    JobReport report;
    std::atomic<bool> cancelRequested{false};
    int workers = 0; // pictures prepared at once; 0 means one per processor core
    // A picture still being decoded after this long is given up (white page,
    // reported), so a hostile file cannot stall the job.
    std::chrono::seconds pictureTimeLimit{90};
};

// The one job of the window, alive for the whole run of the process.
JobState& SharedJobState();
