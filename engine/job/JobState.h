#pragma once

#include "ConvertOptions.h"
#include "JobReport.h"
#include "PreparedPage.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>

// The two stages of a job, in the order they run.
enum class Stage { Prepare, Build };

struct StageProgress {
    Stage stage;
    int done; // pictures prepared or documents finished so far
    int total;
};

// How a stage talks to whoever started it. Both callbacks may be called from a
// worker thread; `done` is called exactly once, after everything else.
struct StageObserver {
    std::function<void(const StageProgress&)> progress;
    std::function<void(Stage finished)> done;
};

// Everything one job shares between its starter and its stages.
// The starter fills `options`, `sourceList` and the tuning fields, then calls
// BeginJob, which fills in the rest; the preparation stage publishes
// `workFolderPath`; every step adds to `report`.
struct JobState {
    ConvertOptions options;
    SourceList sourceList;
    std::filesystem::path workFolderPath; // WorkFolderPath: this job's own scratch folder
    std::filesystem::path renderProgram;  // the decoder worker BeginJob found
    JobReport report;
    // What the preparation made, for the PDF stage: one group for a list of
    // pictures, one per folder (that has pictures) for a list of folders.
    std::vector<PreparedGroup> prepared;
    // Set by anyone, from any thread (or a signal handler): every step of the
    // job stops within half a second, pictures being decoded included.
    std::atomic<bool> cancelRequested{false};
    int workers = 0; // pictures prepared at once; 0 means one per processor core
    // A picture whose decoder has used this much processor time on one page
    // is given up (white page, reported), so a hostile file cannot stall the
    // job; time spent waiting for the processor on a busy machine does not
    // count, and ten times this on the clock ends a decoder that waits for ever.
    std::chrono::seconds pictureTimeLimit{90};
};

// True when the preparation left pages for the PDF stage: the job began, was
// not cancelled and no step failed.
bool JobGoesOn(const JobState& job);

// The one job of the window, alive for the whole run of the process.
JobState& SharedJobState();
