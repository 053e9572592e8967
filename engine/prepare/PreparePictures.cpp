#include "PreparePictures.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

int WorkerCount(const PrepareSettings& settings, size_t tasks) {
    const int workers =
        settings.workers > 0 ? settings.workers : static_cast<int>(std::thread::hardware_concurrency());
    return static_cast<int>(std::clamp<size_t>(tasks, 1, static_cast<size_t>(std::max(workers, 1))));
}

// The progress callback failed while a picture was being rendered: the
// preparation fails, as it would for any other failure of its own; never a
// problem of the picture.
struct ProgressFailure {
    std::string what;
};

TaskPages RenderTask(RenderWorker& worker, const PrepareSettings& settings, const PrepareTask& task,
                     const std::function<void(const RenderedPage&)>& onPage) {
    try {
        return worker.Render(settings.render, settings.ocrLanguages, task.source, task.destination, onPage);
    } catch (const ProgressFailure&) {
        throw;
    } catch (const DiskFull&) {
        throw;
    } catch (const std::exception& error) {
        RenderedPage failed;
        failed.page.result = {false, PictureOutcome::NotPrepared, error.what()};
        return std::vector<RenderedPage>{failed};
    }
}

} // namespace

std::vector<TaskPages> PreparePictures(const std::vector<PrepareTask>& tasks, const PrepareSettings& settings,
                                       const std::atomic<bool>& cancel,
                                       const std::function<void(int done, int total)>& progress) {
    std::vector<TaskPages> results(tasks.size());
    std::atomic<size_t> next{0};
    std::mutex lock;
    int done = 0;
    int total = static_cast<int>(tasks.size());
    std::string failure; // what stopped a thread, other than a picture
    std::optional<DiskFull> diskFull;
    auto onPage = [&](const RenderedPage& page) {
        if (const NormalizeResult& result = page.page.result; result.diskFullNeeding > 0) {
            throw DiskFull{result.diskFullNeeding, result.reason};
        }
        std::lock_guard guard(lock);
        if (page.part == 0) {
            total += static_cast<int>(page.partCount) - 1;
        }
        ++done;
        if (!progress) {
            return;
        }
        try {
            progress(done, total);
        } catch (const std::exception& error) {
            throw ProgressFailure{error.what()};
        } catch (...) {
            throw ProgressFailure{"the progress display failed"};
        }
    };
    auto prepare = [&](int number) {
        try {
            RenderWorker worker(settings.renderProgram,
                                settings.logFolder / (".render-" + std::to_string(number) + ".log"),
                                settings.pictureTimeLimit, cancel);
            for (size_t i = next++; i < tasks.size() && !cancel.load(); i = next++) {
                results[i] = RenderTask(worker, settings, tasks[i], onPage);
                if (!results[i]) {
                    return;
                }
            }
        } catch (const std::exception& error) {
            std::lock_guard guard(lock);
            failure = error.what();
            next = tasks.size(); // the others stop too: the preparation fails as a whole
        } catch (const ProgressFailure& error) {
            std::lock_guard guard(lock);
            failure = error.what;
            next = tasks.size();
        } catch (const DiskFull& full) {
            std::lock_guard guard(lock);
            if (!diskFull) {
                diskFull = full;
            }
            next = tasks.size();
        }
    };
    {
        // Declared after what they use, so they are joined before it goes,
        // also when starting one of them throws.
        std::vector<std::jthread> helpers;
        try {
            for (int w = 1; w < WorkerCount(settings, tasks.size()); ++w) {
                helpers.emplace_back(prepare, w);
            }
        } catch (const std::system_error&) {
            // Fewer threads than wished for: the ones there share the work.
        }
        prepare(0);
    }
    if (diskFull) {
        throw *diskFull;
    }
    if (!failure.empty()) {
        throw std::runtime_error(failure);
    }
    return results;
}
