#include "Conversion.h"

#include "DocumentProperties.h"
#include "FolderTree.h"
#include "OcrLanguages.h"
#include "OutputFolder.h"
#include "PageOrientation.h"
#include "PageSize.h"
#include "PdfStage.h"
#include "PrepareImages.h"
#include "ScratchFolder.h"
#include "WorkerProgram.h"

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

std::optional<std::string> CheckQuality(int32_t quality) {
    if (quality < 1 || quality > 100) {
        return "the JPEG quality must be from 1 to 100, not " + std::to_string(quality);
    }
    return std::nullopt;
}

// Whether new files can be made in `folder`, asked before anything is made
// there: a job whose documents could not be written must not begin, and the
// user must hear that it is the folder, not the pictures.
std::optional<std::string> CannotWriteIn(const std::filesystem::path& folder) {
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "the folder " + folder.string() + " cannot be written to (" +
               std::error_code(errno, std::generic_category()).message() + "); choose another folder";
    }
    return std::nullopt;
}

// One output file holds one merged document of a list of pictures.
std::optional<std::string> CheckOutputFile(const ConvertOptions& options, JobRefusal& kind) {
    const std::filesystem::path& file = options.outputFile;
    kind = JobRefusal::Options;
    if (options.mergeIntoOne != 1 || options.listMode != ListMode::Files) {
        return "an output file holds one merged document: it cannot be chosen with one document per "
               "picture or with folders";
    }
    std::error_code error;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    if (!file.has_filename() || !std::filesystem::is_directory(folder, error)) {
        return "the output file " + file.string() + " cannot be written: " +
               (file.has_filename() ? "its folder does not exist" : "it names no file");
    }
    if (std::filesystem::is_directory(file, error)) {
        return "the output file " + file.string() + " is a folder";
    }
    if (auto unwritable = CannotWriteIn(folder)) {
        kind = JobRefusal::Unwritable;
        return "the output file " + file.string() + " cannot be written: " + *unwritable;
    }
    if (options.replaceOutputFile != 1 && std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
        kind = JobRefusal::OutputExists;
        return "the output file " + file.string() + " already exists; allow replacing it or choose another name";
    }
    return std::nullopt;
}

std::string DescribeSearch(const RenderProgramSearch& search) {
    std::string places;
    for (const auto& place : search.lookedIn) {
        places += (places.empty() ? "" : ", ") + place.string();
    }
    return "the picture decoder quillmark-render is missing (looked for it at: " + places +
           "); reinstall Quillmark or set QUILLMARK_RENDER to its path";
}

// Removes the empty folders directly inside `folder`, then `folder` itself
// when that leaves it empty. Files are never touched.
void RemoveEmptyFolders(const std::filesystem::path& folder) {
    std::error_code ignored;
    for (std::filesystem::directory_iterator entry(folder, ignored), end; !ignored && entry != end;
         entry.increment(ignored)) {
        std::error_code error;
        if (entry->is_directory(error) && !entry->is_symlink(error)) {
            std::filesystem::remove(entry->path(), error); // only when it is empty
        }
    }
    std::filesystem::remove(folder, ignored);
}

} // namespace

bool BeginJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime) {
    job.report = JobReport{};
    job.cancelRequested.store(false);
    job.workFolderPath.clear();
    job.prepared.clear();
    job.renderProgram.clear();
    job.options.outputFolder.clear();
    // The typed pixel size matters only when no paper size is chosen.
    if (job.options.paper == PaperSize::Custom) {
        if (auto refusal = CheckPageSize(job.options.pageWidth, job.options.pageHeight)) {
            job.report.Fail(JobRefusal::PageSize, *refusal);
            return false;
        }
    }
    const PageSetup page = PageSetupOf(job.options);
    if (auto refusal = CheckResolution(page)) {
        job.report.Fail(JobRefusal::Resolution, *refusal);
        return false;
    }
    if (auto refusal = CheckMargin(page)) {
        job.report.Fail(JobRefusal::Margin, *refusal);
        return false;
    }
    if (auto refusal = CheckQuality(job.options.jpegQuality)) {
        job.report.Fail(JobRefusal::Options, *refusal);
        return false;
    }
    // Refused before anything is made: an archival document cannot be encrypted.
    if (job.options.pdfa != PdfA::None &&
        (job.options.usePassword.load() == 1 || job.options.forbidPrint == 1)) {
        job.report.Fail(JobRefusal::Options, kPdfANoEncryption);
        return false;
    }
    JobRefusal outputRefusal = JobRefusal::None;
    if (auto refusal = job.options.outputFile.empty() ? std::nullopt : CheckOutputFile(job.options, outputRefusal)) {
        job.report.Fail(outputRefusal, *refusal);
        return false;
    }
    if (job.options.outputFile.empty()) {
        if (auto unwritable = CannotWriteIn(saveFolder)) {
            job.report.Fail(JobRefusal::Unwritable, "cannot create the output folder: " + *unwritable);
            return false;
        }
    }
    if (!job.options.ocrLanguages.empty()) {
        if (auto missing = CheckOcrLanguages(job.options.ocrLanguages)) {
            job.report.Fail(JobRefusal::OcrLanguages, *missing);
            return false;
        }
    }
    if (job.options.autoRotate == 1) {
        if (auto missing = CheckOrientationData()) {
            job.report.Fail(JobRefusal::OcrLanguages, *missing);
            return false;
        }
    }
    const RenderProgramSearch search = FindRenderWorkerProgram();
    if (search.found.empty()) {
        job.report.Fail(JobRefusal::NoDecoder, DescribeSearch(search));
        return false;
    }
    job.renderProgram = search.found;
    if (const std::filesystem::path& file = job.options.outputFile; !file.empty()) {
        job.options.outputFolder = file.has_parent_path() ? file.parent_path() : ".";
        RemoveDeadScratchFolders(job.options.outputFolder);
        return true;
    }
    RemoveLeftoversOfDeadJobs(saveFolder);
    try {
        job.options.outputFolder = CreateOutputFolder(saveFolder, startTime);
    } catch (const std::filesystem::filesystem_error& error) {
        job.report.Fail(JobRefusal::OutputFolder, "cannot create the output folder in " +
                                                      saveFolder.string() + ": " + error.code().message());
        return false;
    }
    return true;
}

void BuildPdfsStage(JobState& job, const StageObserver& observer) {
    if (job.options.listMode == ListMode::Folders) {
        BuildFolderPdfsProc(job, observer);
    } else {
        BuildPdfsProc(job, observer);
    }
}

void EndJob(JobState& job) {
    if (job.cancelRequested.load()) {
        job.report.cancelled = true;
    }
    if (!job.workFolderPath.empty()) {
        DeleteFolderTree(job.workFolderPath);
        job.workFolderPath.clear();
    }
    // The folder of a chosen output file is the user's, never ours to tidy.
    if (!job.options.outputFolder.empty() && job.options.outputFile.empty()) {
        RemoveEmptyFolders(job.options.outputFolder);
    }
}

bool RunJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime,
            const StageObserver& observer) {
    if (!BeginJob(job, saveFolder, startTime)) {
        EndJob(job);
        return false;
    }
    PrepareImagesProc(job, observer);
    if (JobGoesOn(job)) {
        BuildPdfsStage(job, observer);
    }
    EndJob(job);
    return true;
}
