#pragma once

#include "RenderWorker.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One picture to prepare: where its first page goes (further pages beside
// it, PartPagePath) and where its pages belong among the job's groups.
struct PrepareTask {
    std::filesystem::path source;
    std::filesystem::path destination;
    size_t group = 0;   // which group its pages belong to
    size_t picture = 0; // its place in that group
};

// How the pictures of a job are prepared.
struct PrepareSettings {
    RenderSettings render;
    std::string ocrLanguages;            // empty: no text is recognised
    std::filesystem::path renderProgram; // the decoder worker
    std::filesystem::path logFolder;     // where each worker's log goes
    int workers = 0;                     // pictures at once; 0 means one per processor core
    std::chrono::seconds pictureTimeLimit{90};
};

// The pages a task's picture became; empty when the job was cancelled before
// or while it was rendered.
using TaskPages = std::optional<std::vector<RenderedPage>>;

// The disk that holds the pages is full: no further page can be written, so
// the preparation stops at the first such page instead of failing every
// picture after it the same way.
struct DiskFull {
    uint64_t bytesNeeded = 0; // by the page that could not be written
    std::string reason;       // the failure as the worker told it
};

// Prepares the tasks with several workers, each picture independent of the
// others, so the pages are the same as one worker would make, only sooner.
// `progress` hears (pages done, pages known) as each page is made, a picture
// of several pages adding its others to the total as soon as they are
// counted; it is called with a lock held, one call at a time. A set `cancel`
// ends the workers within a few tens of milliseconds. Returns one entry per
// task; throws DiskFull when a page could not be written for lack of space,
// and std::runtime_error when the preparation itself fails (no worker could
// be started, `progress` threw), never for a picture.
std::vector<TaskPages> PreparePictures(const std::vector<PrepareTask>& tasks, const PrepareSettings& settings,
                                       const std::atomic<bool>& cancel,
                                       const std::function<void(int done, int total)>& progress);
