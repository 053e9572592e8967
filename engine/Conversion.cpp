#include "Conversion.h"

#include "OutputFolder.h"
#include "PageSize.h"
#include "PdfStage.h"
#include "PrepareImages.h"
#include "ScratchFolder.h"

bool BeginJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime) {
    job.report = JobReport{};
    job.cancelRequested.store(false);
    job.workFolderPath.clear();
    if (auto refusal = CheckPageSize(job.options.pageWidth, job.options.pageHeight)) {
        job.report.jobError = *refusal;
        return false;
    }
    RemoveLeftoversOfDeadJobs(saveFolder);
    try {
        job.options.outputFolder = CreateOutputFolder(saveFolder, startTime);
    } catch (const std::filesystem::filesystem_error& error) {
        job.report.jobError =
            "cannot create the output folder in " + saveFolder.string() + ": " + error.code().message();
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

void RunConversion(JobState& job, const StageObserver& observer) {
    PrepareImagesProc(job, observer);
    BuildPdfsStage(job, observer);
}
