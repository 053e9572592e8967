#include "PdfStage.h"

#include "FolderScan.h"
#include "FolderTree.h"
#include "PdfAssembly.h"
#include "PreparedPages.h"

#include <sys/stat.h>

namespace {

class DocumentBuilder {
  public:
    DocumentBuilder(JobState& job, const StageObserver& observer) : job_(job), observer_(observer) {}

    void SetTotal(int total) {
        job_.report.documentsTotal = total;
        Progress();
    }
    bool Cancelled() const { return job_.cancelRequested.load(); }

    void Record(const PdfOutcome& outcome) {
        if (outcome.status == PdfOutcome::Status::Written) {
            job_.report.documentsWritten.push_back(outcome.document);
        } else if (outcome.status == PdfOutcome::Status::Failed) {
            job_.report.documentProblems.push_back({outcome.document, outcome.error});
        }
        ++done_;
        Progress();
    }

    // One document per prepared page, named by the page's number.
    void OnePerPage(const std::vector<PreparedPage>& pages, const std::filesystem::path& target) {
        for (const auto& page : pages) {
            if (Cancelled()) {
                return;
            }
            if (page.number.empty()) {
                continue; // not a page we prepared
            }
            Record(JpegToPdf(page.path, target / (page.number + ".pdf"), job_.options));
        }
    }

  private:
    void Progress() {
        if (observer_.progress) {
            observer_.progress({Stage::BuildPdfs, done_, job_.report.documentsTotal});
        }
    }

    JobState& job_;
    const StageObserver& observer_;
    int done_ = 0;
};

bool StageMayRun(const JobState& job) {
    return job.report.jobError.empty() && !job.report.cancelled && !job.cancelRequested.load() &&
           !job.workFolderPath.empty();
}

void BuildFromFiles(JobState& job, DocumentBuilder& builder) {
    const std::filesystem::path& scratch = job.workFolderPath;
    if (job.options.mergeIntoOne == 1) {
        builder.SetTotal(1);
        builder.Record(MergeFolderToPdf(scratch, job.options.outputFolder, job.options));
        return;
    }
    const std::vector<PreparedPage> pages = ListPreparedPages(scratch).pages;
    builder.SetTotal(static_cast<int>(pages.size()));
    builder.OnePerPage(pages, job.options.outputFolder);
}

void BuildFromFolders(JobState& job, DocumentBuilder& builder) {
    const std::vector<std::filesystem::path> groups = ListSubFolders(job.workFolderPath).entries;
    std::vector<std::vector<PreparedPage>> pagesOfGroup;
    int total = 0;
    for (const auto& group : groups) {
        pagesOfGroup.push_back(ListPreparedPages(group).pages);
        total += job.options.mergeIntoOne == 1 ? 1 : static_cast<int>(pagesOfGroup.back().size());
    }
    builder.SetTotal(total);
    for (size_t g = 0; g < groups.size() && !builder.Cancelled(); ++g) {
        const std::filesystem::path target = job.options.outputFolder / groups[g].filename();
        if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST) {
            PdfOutcome failed{PdfOutcome::Status::Failed, target,
                              "cannot create the folder: " +
                                  std::error_code(errno, std::generic_category()).message()};
            builder.Record(failed);
            continue;
        }
        if (job.options.mergeIntoOne == 1) {
            builder.Record(MergeFolderToPdf(groups[g], target, job.options));
        } else {
            builder.OnePerPage(pagesOfGroup[g], target);
        }
    }
}

template <typename Build> void RunStage(JobState& job, const StageObserver& observer, Build build) {
    try {
        if (StageMayRun(job)) {
            DocumentBuilder builder(job, observer);
            build(job, builder);
        }
    } catch (const std::exception& error) {
        job.report.jobError = std::string("the PDF stage stopped: ") + error.what();
    }
    if (job.cancelRequested.load()) {
        job.report.cancelled = true;
    }
    DeleteFolderTree(job.workFolderPath);
    if (observer.done) {
        observer.done(WM_CONVERT_DONE);
    }
}

} // namespace

void BuildPdfsProc(JobState& job, const StageObserver& observer) {
    RunStage(job, observer, BuildFromFiles);
}

void BuildFolderPdfsProc(JobState& job, const StageObserver& observer) {
    RunStage(job, observer, BuildFromFolders);
}
