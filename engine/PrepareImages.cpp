#include "PrepareImages.h"

#include "FolderScan.h"
#include "FolderTree.h"
#include "NormalizeImage.h"
#include "PageSize.h"
#include "PictureTest.h"
#include "RenderWorker.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace {

struct PrepareTask {
    std::filesystem::path source;
    std::filesystem::path destination;
};

std::filesystem::path NumberedPage(const std::filesystem::path& folder, size_t number) {
    return folder / (std::to_string(number) + ".jpg");
}

// The last component of a folder entry, also when it was given with a
// trailing separator ("/scans/Jan/").
std::string GroupNameOf(const std::filesystem::path& folder) {
    std::filesystem::path name = folder.lexically_normal();
    if (!name.has_filename()) {
        name = name.parent_path();
    }
    const std::string text = name.filename().string();
    return text.empty() || text == "." || text == ".." ? "folder" : text;
}

// "Jan", then "Jan (2)", "Jan (3)": two folders of the same name never share
// (and overwrite) one group.
std::string UniqueGroupName(const std::string& wanted, std::set<std::string>& taken) {
    std::string name = wanted;
    for (int n = 2; taken.count(name) != 0; ++n) {
        name = wanted + " (" + std::to_string(n) + ")";
    }
    taken.insert(name);
    return name;
}

std::vector<PrepareTask> PlanFiles(const JobState& job) {
    std::vector<PrepareTask> tasks;
    for (size_t n = 0; n < job.sourceList.size(); ++n) {
        tasks.push_back({job.sourceList[n], NumberedPage(job.workFolderPath, n)});
    }
    return tasks;
}

std::vector<PrepareTask> PlanFolders(JobState& job) {
    std::vector<PrepareTask> tasks;
    std::set<std::string> taken;
    for (const auto& folder : job.sourceList) {
        const FolderListing listing = ListFolder(folder);
        if (!listing.error.empty()) {
            job.report.pictureProblems.push_back({folder, PictureOutcome::Undecodable, listing.error});
            continue;
        }
        std::vector<std::filesystem::path> pictures;
        std::copy_if(listing.entries.begin(), listing.entries.end(), std::back_inserter(pictures),
                     [](const auto& entry) { return PassesPictureTest(entry); });
        if (pictures.empty()) {
            job.report.emptyGroups.push_back(folder);
            continue;
        }
        const std::filesystem::path group = job.workFolderPath / UniqueGroupName(GroupNameOf(folder), taken);
        if (::mkdir(group.c_str(), 0700) != 0) {
            for (const auto& picture : pictures) {
                job.report.pictureProblems.push_back({picture, PictureOutcome::NotPrepared,
                                                      "cannot create the scratch folder " + group.string()});
            }
            continue;
        }
        for (size_t k = 0; k < pictures.size(); ++k) {
            tasks.push_back({pictures[k], NumberedPage(group, k)});
        }
    }
    return tasks;
}

int WorkerCount(const JobState& job, size_t tasks) {
    int workers = job.workers > 0 ? job.workers : static_cast<int>(std::thread::hardware_concurrency());
    return static_cast<int>(std::clamp<size_t>(tasks, 1, static_cast<size_t>(std::max(workers, 1))));
}

// Renders the tasks with several threads; each picture is independent, so the
// files are the same as one thread would write, only sooner.
std::vector<NormalizeResult> RunTasks(JobState& job, const std::vector<PrepareTask>& tasks,
                                      const StageObserver& observer) {
    std::vector<NormalizeResult> results(tasks.size());
    std::atomic<size_t> next{0};
    std::mutex progressLock;
    int done = 0;
    const int total = static_cast<int>(tasks.size());
    const std::filesystem::path program = FindRenderWorkerProgram();
    auto work = [&](int number) {
        std::optional<RenderWorker> worker;
        if (!program.empty()) {
            worker.emplace(program, job.workFolderPath / (".render-" + std::to_string(number) + ".log"),
                           job.pictureTimeLimit);
        }
        for (;;) {
            if (job.cancelRequested.load()) {
                return;
            }
            const size_t i = next.fetch_add(1);
            if (i >= tasks.size()) {
                return;
            }
            const auto& options = job.options;
            const auto& task = tasks[i];
            results[i] =
                worker ? worker->Render(options.pageWidth, options.pageHeight, task.source, task.destination)
                       : NormalizeImage(options.pageWidth, options.pageHeight, task.source, task.destination);
            std::lock_guard lock(progressLock);
            ++done;
            if (observer.progress) {
                observer.progress({Stage::Prepare, done, total});
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int w = 1; w < WorkerCount(job, tasks.size()); ++w) {
        helpers.emplace_back(work, w);
    }
    work(0);
    for (auto& helper : helpers) {
        helper.join();
    }
    return results;
}

void Prepare(JobState& job, const StageObserver& observer) {
    JobReport& report = job.report;
    if (auto refusal = CheckPageSize(job.options.pageWidth, job.options.pageHeight)) {
        report.jobError = *refusal;
        return;
    }
    if (job.options.outputFolder.empty()) {
        report.jobError = "the job has no output folder";
        return;
    }
    try {
        job.workFolderPath = CreateScratchFolder(job.options.outputFolder);
    } catch (const std::filesystem::filesystem_error& error) {
        report.jobError = "cannot create a scratch folder in " + job.options.outputFolder.string() + ": " +
                          error.code().message();
        return;
    }
    const std::vector<PrepareTask> tasks =
        job.options.listMode == ListMode::Folders ? PlanFolders(job) : PlanFiles(job);
    report.picturesTotal = static_cast<int>(tasks.size());
    if (observer.progress) {
        observer.progress({Stage::Prepare, 0, report.picturesTotal});
    }
    const std::vector<NormalizeResult> results = RunTasks(job, tasks, observer);
    if (job.cancelRequested.load()) {
        report.cancelled = true;
        DeleteFolderTree(job.workFolderPath);
        return;
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        const NormalizeResult& result = results[i];
        if (result.written && result.problem != PictureOutcome::Undecodable) {
            ++report.picturesPrepared;
        }
        if (result.problem) {
            report.pictureProblems.push_back({tasks[i].source, *result.problem, result.reason});
        }
    }
}

} // namespace

void PrepareImagesProc(JobState& job, const StageObserver& observer) {
    try {
        Prepare(job, observer);
    } catch (const std::exception& error) {
        job.report.jobError = std::string("the preparation stopped: ") + error.what();
    }
    if (observer.done) {
        observer.done(WM_PREPARE_DONE);
    }
}
