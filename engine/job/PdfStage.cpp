#include "PdfStage.h"

#include "PdfAssembly.h"

#include <cerrno>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <system_error>

namespace {

using Pages = std::vector<const PreparedPage*>;

// The name of the folder that holds every one of `pages`' pictures; empty
// when they come from several folders or are not known.
std::string CommonFolderName(const Pages& pages) {
    std::filesystem::path folder;
    for (const PreparedPage* page : pages) {
        if (page->source.empty() || (!folder.empty() && page->source.parent_path() != folder)) {
            return {};
        }
        folder = page->source.parent_path();
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

// Every page of `group` that has a page picture, in order.
Pages PagesOf(const PreparedGroup& group) {
    Pages pages;
    for (const PreparedPage& page : group.pages) {
        if (!page.file.empty()) {
            pages.push_back(&page);
        }
    }
    return pages;
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

    // The documents of one group: merged into one, or one per picture.
    int DocumentsOf(const PreparedGroup& group) const {
        if (job_.options.mergeIntoOne == 1) {
            return 1;
        }
        return static_cast<int>(PagesByPicture(group).size());
    }

    void Build(const PreparedGroup& group, const std::filesystem::path& target) {
        if (job_.options.mergeIntoOne == 1) {
            Merge(group, target);
        } else {
            OnePerPicture(group, target);
        }
    }

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

  private:
    // One document per picture, holding all the pages prepared for it, named
    // by the picture's place or, when asked, after the picture itself.
    void OnePerPicture(const PreparedGroup& group, const std::filesystem::path& target) {
        std::set<std::string> taken;
        for (const Pages& picture : PagesByPicture(group)) {
            if (Cancelled()) {
                return;
            }
            const std::string stem = picture.front()->source.stem().string();
            const std::string name = job_.options.documentNames == DocumentNames::BySource && !stem.empty()
                                         ? UniqueDocumentName(stem, taken)
                                         : std::to_string(picture.front()->picture) + ".pdf";
            Write(PlanDocument(picture, target / name, stem, DocumentSettingsFor(job_.options)));
        }
    }

    // One document of the group's pages in `target`, titled after the folder
    // its pictures share (else after `target`); with an output file chosen,
    // exactly there and titled after it.
    void Merge(const PreparedGroup& group, const std::filesystem::path& target) {
        const Pages pages = PagesOf(group);
        std::filesystem::path file = target / kMergedDocumentName;
        std::string title = CommonFolderName(pages);
        const bool chosenFile = !job_.options.outputFile.empty();
        if (chosenFile) {
            file = job_.options.outputFile;
            title = job_.options.outputFile.stem().string();
        }
        if (title.empty()) {
            title = target.filename().string();
        }
        DocumentPlan plan = PlanDocument(pages, file, title, DocumentSettingsFor(job_.options));
        if (chosenFile) {
            plan.replaceExisting = job_.options.replaceOutputFile == 1;
        }
        Write(plan);
    }

    void Write(const DocumentPlan& plan) { Record(WritePdfDocument(plan, &job_.cancelRequested)); }

    void Progress() {
        if (observer_.progress) {
            observer_.progress({Stage::Build, done_, job_.report.documentsTotal});
        }
    }

    JobState& job_;
    const StageObserver& observer_;
    int done_ = 0;
};

// Builds the documents of every group in turn, each into the folder
// `folderOf` gives it (none: the group is left out, its failure recorded there).
template <typename FolderOf> void BuildGroups(JobState& job, DocumentTally& tally, FolderOf folderOf) {
    int total = 0;
    for (const PreparedGroup& group : job.prepared) {
        total += tally.DocumentsOf(group);
    }
    tally.SetTotal(total);
    for (const PreparedGroup& group : job.prepared) {
        if (tally.Cancelled()) {
            return;
        }
        if (const std::optional<std::filesystem::path> target = folderOf(group)) {
            tally.Build(group, *target);
        }
    }
}

void BuildFromFiles(JobState& job, DocumentTally& tally) {
    BuildGroups(job, tally, [&](const PreparedGroup&) { return std::optional(job.options.outputFolder); });
}

// Each group into a sub-folder of its own name; one that cannot be made fails
// the group's documents, as one.
void BuildFromFolders(JobState& job, DocumentTally& tally) {
    BuildGroups(job, tally, [&](const PreparedGroup& group) -> std::optional<std::filesystem::path> {
        const std::filesystem::path target = job.options.outputFolder / group.name;
        if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST) {
            tally.Record(
                {PdfOutcome::Status::Failed, target,
                 "cannot create the folder: " + std::error_code(errno, std::generic_category()).message()});
            return std::nullopt;
        }
        return target;
    });
}

// The page pictures live in the job's scratch folder: without it every page
// is lost, which is a failure of the job, never a string of failed documents.
bool PagesStillThere(JobState& job) {
    std::error_code error;
    if (job.workFolderPath.empty() || std::filesystem::is_directory(job.workFolderPath, error)) {
        return true;
    }
    job.report.Fail(JobRefusal::Failed,
                    "the prepared pages in \"" + job.workFolderPath.string() + "\" are gone");
    return false;
}

template <typename Build> void RunStage(JobState& job, const StageObserver& observer, Build build) {
    try {
        if (JobGoesOn(job) && PagesStillThere(job)) {
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
