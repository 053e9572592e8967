#include "PdfStage.h"

#include "FolderScan.h"
#include "PageNotes.h"
#include "PdfAssembly.h"
#include "PreparedPages.h"

#include <cerrno>
#include <set>
#include <sys/stat.h>
#include <system_error>

namespace {

// The picture a page was made from, as its notes say; empty when not known.
std::filesystem::path SourceOf(const PageFile& page) {
    return ReadPageNotes(page.path).notes.source;
}

// The name of the folder that holds every one of `pages`' pictures; empty
// when they come from several folders or are not known.
std::string CommonFolderName(const std::vector<PageFile>& pages) {
    std::filesystem::path folder;
    for (const auto& page : pages) {
        const std::filesystem::path source = SourceOf(page);
        if (source.empty() || (!folder.empty() && source.parent_path() != folder)) {
            return {};
        }
        folder = source.parent_path();
    }
    return folder.filename().string();
}

// "IMG_0001.pdf", then "IMG_0001 (2).pdf", "IMG_0001 (3).pdf": two pictures
// of the same name never share (and overwrite) one document.
std::string UniqueDocumentName(const std::string& stem, std::set<std::string>& taken) {
    std::string name = stem + ".pdf";
    for (int n = 2; taken.count(name) != 0; ++n) {
        name = stem + " (" + std::to_string(n) + ").pdf";
    }
    taken.insert(name);
    return name;
}

// Counts the documents of the stage and records each one's outcome.
class DocumentTally {
  public:
    DocumentTally(JobState& job, const StageObserver& observer) : job_(job), observer_(observer) {}

    void SetTotal(int total) {
        job_.report.documentsTotal = total;
        Progress();
    }
    bool Cancelled() const { return job_.cancelRequested.load(); }

    void Record(const PdfOutcome& outcome) {
        switch (outcome.status) {
        case PdfOutcome::Status::Written:
            job_.report.documentsWritten.push_back(outcome.document);
            break;
        case PdfOutcome::Status::Failed:
            job_.report.AddDocumentProblem(outcome.document, outcome.error);
            break;
        case PdfOutcome::Status::NothingToDo:
        case PdfOutcome::Status::Cancelled:
            break;
        }
        ++done_;
        Progress();
    }

    // One document per picture, holding all the pages prepared for it, named
    // by the picture's place or, when asked, after the picture itself.
    void OnePerPicture(const std::vector<PageFile>& pages, const std::filesystem::path& target) {
        std::set<std::string> taken;
        for (const auto& picture : PagesByPicture(pages)) {
            if (Cancelled()) {
                return;
            }
            const std::string stem = SourceOf(picture.front()).stem().string();
            const std::string name = job_.options.documentNames == DocumentNames::BySource && !stem.empty()
                                         ? UniqueDocumentName(stem, taken)
                                         : picture.front().number + ".pdf";
            Record(WritePdfDocument({picture, target / name, stem}, DocumentSettingsFor(job_.options), &job_.cancelRequested));
        }
    }

    // One document of all `pages` in `target`, titled after the folder its
    // pictures share (else after `target`); with an output file chosen,
    // exactly there and titled after it.
    void Merge(const std::vector<PageFile>& pages, const std::filesystem::path& target) {
        DocumentPlan plan{pages, target / kMergedDocumentName, CommonFolderName(pages)};
        if (!job_.options.outputFile.empty()) {
            plan.target = job_.options.outputFile;
            plan.title = job_.options.outputFile.stem().string();
            plan.replaceExisting = job_.options.replaceOutputFile == 1;
        }
        if (plan.title.empty()) {
            plan.title = target.filename().string();
        }
        Record(WritePdfDocument(plan, DocumentSettingsFor(job_.options), &job_.cancelRequested));
    }

  private:
    void Progress() {
        if (observer_.progress) {
            observer_.progress({Stage::Build, done_, job_.report.documentsTotal});
        }
    }

    JobState& job_;
    const StageObserver& observer_;
    int done_ = 0;
};

// The pages of a folder the preparation made; a folder that is gone or
// cannot be read loses pictures, so it is an error, never "nothing to do".
std::vector<PageFile> PagesOf(const std::filesystem::path& folder, std::string& error) {
    PreparedPages listing = ListPreparedPages(folder);
    if (listing.folderMissing) {
        error = "the prepared pages in \"" + folder.string() + "\" are gone";
    } else {
        error = listing.error;
    }
    return std::move(listing.pages);
}

void BuildFromFiles(JobState& job, DocumentTally& tally) {
    std::string error;
    const std::vector<PageFile> pages = PagesOf(job.workFolderPath, error);
    if (!error.empty()) {
        job.report.Fail(JobRefusal::Failed, error);
        return;
    }
    if (job.options.mergeIntoOne == 1) {
        tally.SetTotal(1);
        tally.Merge(pages, job.options.outputFolder);
        return;
    }
    tally.SetTotal(static_cast<int>(PagesByPicture(pages).size()));
    tally.OnePerPicture(pages, job.options.outputFolder);
}

void BuildFromFolders(JobState& job, DocumentTally& tally) {
    const FolderListing groups = ListSubFolders(job.workFolderPath);
    if (!groups.error.empty()) {
        job.report.Fail(JobRefusal::Failed, groups.error);
        return;
    }
    std::vector<std::vector<PageFile>> pagesOfGroup;
    std::vector<std::string> errorOfGroup;
    int total = 0;
    for (const auto& group : groups.entries) {
        pagesOfGroup.push_back(PagesOf(group, errorOfGroup.emplace_back()));
        total +=
            job.options.mergeIntoOne == 1 ? 1 : static_cast<int>(PagesByPicture(pagesOfGroup.back()).size());
    }
    tally.SetTotal(total);
    for (size_t g = 0; g < groups.entries.size() && !tally.Cancelled(); ++g) {
        const std::filesystem::path target = job.options.outputFolder / groups.entries[g].filename();
        if (!errorOfGroup[g].empty()) {
            tally.Record({PdfOutcome::Status::Failed, target, errorOfGroup[g]});
            continue;
        }
        if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST) {
            tally.Record(
                {PdfOutcome::Status::Failed, target,
                 "cannot create the folder: " + std::error_code(errno, std::generic_category()).message()});
            continue;
        }
        if (job.options.mergeIntoOne == 1) {
            tally.Merge(pagesOfGroup[g], target);
        } else {
            tally.OnePerPicture(pagesOfGroup[g], target);
        }
    }
}

template <typename Build> void RunStage(JobState& job, const StageObserver& observer, Build build) {
    try {
        if (JobGoesOn(job)) {
            DocumentTally tally(job, observer);
            build(job, tally);
        }
    } catch (const std::exception& error) {
        job.report.Fail(JobRefusal::Failed, std::string("the PDF stage stopped: ") + error.what());
    } catch (...) {
        job.report.Fail(JobRefusal::Failed, "the PDF stage stopped for an unknown reason");
    }
    if (job.cancelRequested.load()) {
        job.report.cancelled = true;
    }
    if (observer.done) {
        observer.done(Stage::Build);
    }
}

} // namespace

void BuildPdfsProc(JobState& job, const StageObserver& observer) {
    RunStage(job, observer, BuildFromFiles);
}

void BuildFolderPdfsProc(JobState& job, const StageObserver& observer) {
    RunStage(job, observer, BuildFromFolders);
}
