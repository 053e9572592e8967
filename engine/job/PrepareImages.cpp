#include "PrepareImages.h"

#include "FolderScan.h"
#include "PageNotes.h"
#include "PictureTest.h"
#include "PreparedPages.h"
#include "RenderWorker.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

struct PrepareTask {
    std::filesystem::path source;
    std::filesystem::path destination;
    size_t group = 0;   // in job.prepared
    size_t picture = 0; // its place in that group
};

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

std::vector<PrepareTask> PlanFiles(JobState& job) {
    std::vector<PrepareTask> tasks;
    job.prepared.emplace_back();
    for (size_t n = 0; n < job.sourceList.size(); ++n) {
        tasks.push_back({job.sourceList[n], PreparedPagePath(job.workFolderPath, n), 0, n});
    }
    return tasks;
}

std::vector<PrepareTask> PlanFolders(JobState& job) {
    std::vector<PrepareTask> tasks;
    std::set<std::string> taken;
    for (const auto& folder : job.sourceList) {
        const FolderListing listing = ListFolder(folder);
        if (!listing.error.empty()) {
            job.report.AddPictureProblem(folder, PictureOutcome::Undecodable, listing.error);
            continue;
        }
        std::vector<std::filesystem::path> pictures;
        std::copy_if(listing.entries.begin(), listing.entries.end(), std::back_inserter(pictures),
                     [](const auto& entry) { return IsPictureFile(entry); });
        OrderPictures(pictures, job.options.folderOrder);
        if (pictures.empty()) {
            job.report.emptyGroups.push_back(folder);
            continue;
        }
        const std::string name = UniqueGroupName(GroupNameOf(folder), taken);
        const std::filesystem::path group = job.workFolderPath / name;
        if (::mkdir(group.c_str(), 0700) != 0) {
            const std::string why = "cannot create the scratch folder " + group.string() + ": " +
                                    std::error_code(errno, std::generic_category()).message();
            for (const auto& picture : pictures) {
                job.report.AddPictureProblem(picture, PictureOutcome::NotPrepared, why);
            }
            continue;
        }
        job.prepared.push_back({folder, name, {}});
        for (size_t k = 0; k < pictures.size(); ++k) {
            tasks.push_back({pictures[k], PreparedPagePath(group, k), job.prepared.size() - 1, k});
        }
    }
    return tasks;
}

// The page as the PDF stage takes it: its file, where it was written, and
// what its notes say of it.
PreparedPage PreparedPageOf(const PrepareTask& task, const RenderedPage& rendered) {
    PreparedPage page{task.source, task.picture, rendered.part, rendered.partCount};
    page.problem = rendered.result.problem;
    page.reason = rendered.result.reason;
    if (rendered.result.written) {
        page.file = PartPagePath(task.destination, rendered.part);
        PageNotesRead read = ReadPageNotes(page.file);
        if (!read.error.empty()) {
            throw std::runtime_error(read.error);
        }
        page.keptJpeg = std::move(read.notes.keptJpeg);
        page.text = std::move(read.notes.text);
    }
    return page;
}

int WorkerCount(const JobState& job, size_t tasks) {
    const int workers = job.workers > 0 ? job.workers : static_cast<int>(std::thread::hardware_concurrency());
    return static_cast<int>(std::clamp<size_t>(tasks, 1, static_cast<size_t>(std::max(workers, 1))));
}

// The observer failed while a picture was being rendered: the stage fails, as
// it would for any other failure of its own; never a problem of the picture.
struct ProgressFailure {
    std::string what;
};

// What a task ended with: the pages its picture became and, when their text
// was to be recognised and that failed, why.
struct TaskOutcome {
    std::vector<RenderedPage> pages;
    std::string recognitionFailure;
};

// A task's outcome, or nothing when the job was cancelled before or while its
// picture was rendered or read.
using TaskResult = std::optional<TaskOutcome>;

bool ShowsThePicture(const NormalizeResult& result) {
    return result.written && result.problem != PictureOutcome::Undecodable &&
           result.problem != PictureOutcome::NotPrepared;
}

// Recognises the text of every page the task's picture became. Empty when
// the job was cancelled meanwhile; otherwise why recognition failed, or
// nothing when it did not.
std::optional<std::string> RecognizeTask(RenderWorker& worker, const JobState& job, const PrepareTask& task) {
    std::string failure;
    try {
        for (const auto& page : PagesOfPicture(task.destination)) {
            const std::optional<NormalizeResult> text = worker.Recognize(page, job.options.ocrLanguages);
            if (!text) {
                return std::nullopt;
            }
            if (text->problem && failure.empty()) {
                failure = text->reason;
            }
        }
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return failure;
}

TaskResult RenderTask(RenderWorker& worker, const JobState& job, const PrepareTask& task,
                      const std::function<void(const RenderedPage&)>& onPage) {
    TaskOutcome outcome;
    try {
        const ConvertOptions& options = job.options;
        const RenderSettings settings{PageSetupOf(options), options.jpegQuality, options.keepJpeg == 1};
        std::optional<std::vector<RenderedPage>> pages =
            worker.Render(settings, task.source, task.destination, onPage);
        if (!pages) {
            return std::nullopt;
        }
        outcome.pages = std::move(*pages);
    } catch (const std::exception& error) {
        outcome.pages = {{0, 1, {false, PictureOutcome::NotPrepared, error.what()}}};
    }
    // Recognition is part of a picture's preparation: the picture counts as
    // done once the text of every page it became is read.
    if (!job.options.ocrLanguages.empty() &&
        std::any_of(outcome.pages.begin(), outcome.pages.end(),
                    [](const RenderedPage& page) { return ShowsThePicture(page.result); })) {
        std::optional<std::string> failure = RecognizeTask(worker, job, task);
        if (!failure) {
            return std::nullopt;
        }
        outcome.recognitionFailure = std::move(*failure);
    }
    return outcome;
}

// Prepares the tasks with several workers; each picture is independent, so
// the files are the same as one worker would write, only sooner.
std::vector<TaskResult> PreparePictures(JobState& job, const std::vector<PrepareTask>& tasks,
                                        const StageObserver& observer) {
    std::vector<TaskResult> results(tasks.size());
    std::atomic<size_t> next{0};
    std::mutex lock;
    // Progress counts pages: a picture of several pages adds its others to
    // the total as soon as its worker has counted them. A page is done once
    // rendered or, when its text is to be recognised, once that is read too.
    int done = 0;
    int total = static_cast<int>(tasks.size());
    const bool recognising = !job.options.ocrLanguages.empty();
    std::string failure; // what stopped a thread, other than a picture
    auto report = [&] {  // with `lock` held
        if (!observer.progress) {
            return;
        }
        try {
            observer.progress({Stage::Prepare, done, total});
        } catch (const std::exception& error) {
            throw ProgressFailure{error.what()};
        } catch (...) {
            throw ProgressFailure{"the progress display failed"};
        }
    };
    auto onPage = [&](const RenderedPage& page) {
        std::lock_guard guard(lock);
        if (page.part == 0) {
            total += static_cast<int>(page.partCount) - 1;
        }
        done += recognising ? 0 : 1;
        report();
    };
    auto prepare = [&](int number) {
        try {
            RenderWorker worker(job.renderProgram,
                                job.workFolderPath / (".render-" + std::to_string(number) + ".log"),
                                job.pictureTimeLimit, job.cancelRequested);
            for (size_t i = next++; i < tasks.size() && !job.cancelRequested.load(); i = next++) {
                results[i] = RenderTask(worker, job, tasks[i], onPage);
                if (!results[i]) {
                    return;
                }
                if (recognising) {
                    std::lock_guard guard(lock);
                    done += static_cast<int>(results[i]->pages.size());
                    report();
                }
            }
        } catch (const std::exception& error) {
            std::lock_guard guard(lock);
            failure = error.what();
            next = tasks.size(); // the others stop too: the stage fails as a whole
        } catch (const ProgressFailure& error) {
            std::lock_guard guard(lock);
            failure = error.what;
            next = tasks.size();
        }
    };
    {
        // Declared after what they use, so they are joined before it goes,
        // also when starting one of them throws.
        std::vector<std::jthread> helpers;
        try {
            for (int w = 1; w < WorkerCount(job, tasks.size()); ++w) {
                helpers.emplace_back(prepare, w);
            }
        } catch (const std::system_error&) {
            // Fewer threads than wished for: the ones there share the work.
        }
        prepare(0);
    }
    if (!failure.empty()) {
        throw std::runtime_error(failure);
    }
    return results;
}

void Prepare(JobState& job, const StageObserver& observer) {
    JobReport& report = job.report;
    if (!report.jobError.empty() || job.options.outputFolder.empty() || job.renderProgram.empty()) {
        report.Fail(JobRefusal::Failed, "the job was not begun");
        return;
    }
    try {
        job.workFolderPath = CreateScratchFolder(job.options.outputFolder);
    } catch (const std::filesystem::filesystem_error& error) {
        report.Fail(JobRefusal::Failed, "cannot create a scratch folder in " +
                                            job.options.outputFolder.string() + ": " +
                                            error.code().message());
        return;
    }
    const std::vector<PrepareTask> tasks =
        job.options.listMode == ListMode::Folders ? PlanFolders(job) : PlanFiles(job);
    report.picturesTotal = static_cast<int>(tasks.size());
    if (observer.progress) {
        observer.progress({Stage::Prepare, 0, report.picturesTotal});
    }
    const std::vector<TaskResult> results = PreparePictures(job, tasks, observer);
    if (job.cancelRequested.load()) {
        report.cancelled = true;
        return;
    }
    report.picturesTotal = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        for (const RenderedPage& page : results[i]->pages) {
            const NormalizeResult& result = page.result;
            job.prepared[tasks[i].group].pages.push_back(PreparedPageOf(tasks[i], page));
            ++report.picturesTotal;
            if (result.written && result.problem != PictureOutcome::Undecodable) {
                ++report.picturesPrepared;
            }
            if (result.problem) {
                report.AddPictureProblem(tasks[i].source, *result.problem, result.reason,
                                         page.partCount > 1 ? page.part + 1 : 0);
            }
        }
        if (!results[i]->recognitionFailure.empty()) {
            report.AddPictureProblem(tasks[i].source, PictureOutcome::NotRecognised,
                                     results[i]->recognitionFailure);
        }
    }
}

} // namespace

void PrepareImagesProc(JobState& job, const StageObserver& observer) {
    try {
        Prepare(job, observer);
    } catch (const std::exception& error) {
        job.report.Fail(JobRefusal::Failed, std::string("the preparation stopped: ") + error.what());
    } catch (...) {
        job.report.Fail(JobRefusal::Failed, "the preparation stopped for an unknown reason");
    }
    if (observer.done) {
        observer.done(Stage::Prepare);
    }
}
