#include "PrepareImages.h"

#include "FolderScan.h"
#include "PreparePictures.h"
#include "PreparedPages.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace {

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
        const FolderListing listing = ListFolderPictures(folder, job.options.folderOrder);
        if (!listing.error.empty()) {
            job.report.AddPictureProblem(folder, PictureOutcome::Undecodable, listing.error);
            continue;
        }
        const std::vector<std::filesystem::path>& pictures = listing.entries;
        if (pictures.empty()) {
            job.report.emptyGroups.push_back(folder);
            continue;
        }
        const std::string name = UniqueGroupName(GroupNameOf(folder), taken);
        const std::filesystem::path group = job.workFolderPath / name;
        if (::mkdir(group.c_str(), 0700) != 0) {
            const int error = errno;
            const std::string why = "cannot create the scratch folder " + group.string() + ": " +
                                    std::error_code(error, std::generic_category()).message();
            if (error == ENOSPC || error == EDQUOT) {
                throw DiskFull{0, why}; // every group after it would fail the same way
            }
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
// what the worker said of it.
PreparedPage PreparedPageOf(const PrepareTask& task, const RenderedPage& rendered) {
    const PageMade& made = rendered.page;
    PreparedPage page{task.source, task.picture, rendered.part, rendered.partCount};
    page.problem = made.result.problem;
    page.reason = made.result.reason;
    page.scan = made.result.scan;
    if (!page.problem && !made.recognitionFailure.empty()) {
        page.problem = PictureOutcome::NotRecognised;
        page.reason = made.recognitionFailure;
    }
    if (made.result.written) {
        page.file = PartPagePath(task.destination, rendered.part);
        page.keptJpeg = made.keptJpeg;
        page.text = made.text;
        if (made.vectorPage) {
            page.vectorPage = made.vectorPage;
            page.vectorPage->file = VectorPagePath(page.file);
        }
    }
    return page;
}

// The folder the user knows the job's output by: the save folder that holds
// the output folder, or the chosen output file's own folder.
std::filesystem::path FolderTheUserChose(const JobState& job) {
    const std::filesystem::path& output = job.options.outputFolder;
    return job.options.outputFile.empty() && output.has_parent_path() ? output.parent_path() : output;
}

// A size as people read it: "180 KB", "12 MB".
std::string ReadableSize(uint64_t bytes) {
    if (bytes < 1'000'000) {
        return std::to_string(std::max<uint64_t>(bytes / 1000, 1)) + " KB";
    }
    return std::to_string(bytes / 1'000'000) + " MB";
}

// One line for a full disk, in the user's terms: which folder, and what it needed.
std::string DescribeFullDisk(const JobState& job, const DiskFull& full) {
    const std::filesystem::path folder = FolderTheUserChose(job);
    std::string line =
        "the disk that holds " + folder.string() + " is full: writing the pages needs more free space";
    std::vector<std::string> measured;
    if (full.bytesNeeded > 0) {
        measured.push_back("about " + ReadableSize(full.bytesNeeded) + " for this page");
    }
    // Space is worth telling only when space was what a page lacked: a
    // folder that cannot be made may lack room for one more file instead.
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (!error && full.bytesNeeded > 0) {
        measured.push_back(ReadableSize(space.available) + " free");
    }
    for (size_t i = 0; i < measured.size(); ++i) {
        line += (i == 0 ? " (" : ", ") + measured[i];
    }
    return measured.empty() ? line : line + ")";
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
    std::vector<PrepareTask> tasks;
    try {
        tasks = job.options.listMode == ListMode::Folders ? PlanFolders(job) : PlanFiles(job);
    } catch (const DiskFull& full) {
        report.Fail(JobRefusal::Failed, DescribeFullDisk(job, full));
        return;
    }
    report.picturesTotal = static_cast<int>(tasks.size());
    if (observer.progress) {
        observer.progress({Stage::Prepare, 0, report.picturesTotal});
    }
    const ConvertOptions& options = job.options;
    const PrepareSettings settings{{PageSetupOf(options), options.jpegQuality, options.keepJpeg == 1,
                                    options.lossless == 1, options.pdfa == PdfA::A1b,
                                    ScanCleaningOf(options)},
                                   options.ocrLanguages,
                                   job.renderProgram,
                                   job.workFolderPath,
                                   job.workers,
                                   job.pictureTimeLimit};
    std::vector<TaskPages> results;
    try {
        results = PreparePictures(tasks, settings, job.cancelRequested, [&](int done, int total) {
            if (observer.progress) {
                observer.progress({Stage::Prepare, done, total});
            }
        });
    } catch (const DiskFull& full) {
        report.Fail(JobRefusal::Failed, DescribeFullDisk(job, full));
        return;
    }
    if (job.cancelRequested.load()) {
        report.cancelled = true;
        return;
    }
    report.picturesTotal = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        // Text that could not be read is said once for the picture.
        std::string recognitionFailure;
        for (const RenderedPage& rendered : *results[i]) {
            const NormalizeResult& result = rendered.page.result;
            job.prepared[tasks[i].group].pages.push_back(PreparedPageOf(tasks[i], rendered));
            ++report.picturesTotal;
            // A blank page left out was prepared as asked: it is a decision, not a failure.
            if ((result.written && result.problem != PictureOutcome::Undecodable) || result.scan.blank) {
                ++report.picturesPrepared;
            }
            if (result.scan != ScanDecisions{}) {
                report.scanDecisions.push_back(
                    {tasks[i].source, rendered.partCount > 1 ? rendered.part + 1 : 0, result.scan});
            }
            if (result.problem) {
                report.AddPictureProblem(tasks[i].source, *result.problem, result.reason,
                                         rendered.partCount > 1 ? rendered.part + 1 : 0);
            }
            if (recognitionFailure.empty()) {
                recognitionFailure = rendered.page.recognitionFailure;
            }
        }
        if (!recognitionFailure.empty()) {
            report.AddPictureProblem(tasks[i].source, PictureOutcome::NotRecognised, recognitionFailure);
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
