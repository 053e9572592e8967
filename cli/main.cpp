// quillmark-cli: the command-line converter. It fills the engine's job, runs
// the same two stages as the window and prints the engine's report.
#include "CliOptions.h"
#include "CliSources.h"
#include "Conversion.h"
#include "JsonReport.h"
#include "ProgressBar.h"
#include "TextReport.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

std::atomic<bool>* cancelFlag = nullptr;

// The first Ctrl-C asks the job to stop: the engine ends the pictures being
// decoded and the job within half a second, leaving no partial file; a second
// one ends the process at once.
void OnInterrupt(int signal) {
    if (cancelFlag != nullptr) {
        cancelFlag->store(true);
    }
    std::signal(signal, SIG_DFL);
}

void FillJob(JobState& job, const CliRequest& request, SourceList sources) {
    ConvertOptions& options = job.options;
    options.pageWidth = request.pageWidth;
    options.pageHeight = request.pageHeight;
    options.mergeIntoOne = request.separate ? 0 : 1;
    options.forbidPrint = request.forbidPrint ? 1 : 0;
    options.usePassword.store(request.password ? 1 : 0);
    options.password = request.password.value_or(u"");
    options.listMode = request.folders ? ListMode::Folders : ListMode::Files;
    options.paper = request.paper;
    options.dpi = request.dpi;
    options.orientation = request.orientation;
    options.margin = request.margin;
    options.fit = request.fit;
    options.folderOrder = request.order;
    options.jpegQuality = request.quality;
    options.keepJpeg = request.keepJpeg ? 1 : 0;
    options.lossless = request.lossless ? 1 : 0;
    options.encryption = request.aes256 ? Encryption::Aes256 : Encryption::Rc4;
    options.documentNames = request.namesBySource ? DocumentNames::BySource : DocumentNames::Numbered;
    options.outputFile = request.outputFile;
    options.replaceOutputFile = request.force ? 1 : 0;
    options.ocrLanguages = request.ocrLanguages;
    options.properties = request.properties;
    options.bookmarks = request.bookmarks ? 1 : 0;
    options.deskew = request.cleaning.deskew ? 1 : 0;
    options.autoRotate = request.cleaning.autoRotate ? 1 : 0;
    options.skipBlank = request.cleaning.skipBlank ? 1 : 0;
    options.bilevel = request.cleaning.bilevel ? 1 : 0;
    options.pdfa = request.pdfa;
    job.sourceList = std::move(sources);
    job.workers = request.jobs;
}

int ExitCodeOf(const JobReport& report) {
    if (report.cancelled) {
        return kExitCancelled;
    }
    if (report.refusal == JobRefusal::PageSize || report.refusal == JobRefusal::Resolution ||
        report.refusal == JobRefusal::Margin || report.refusal == JobRefusal::Options ||
        report.refusal == JobRefusal::OutputExists || report.refusal == JobRefusal::OcrLanguages) {
        return kExitBadUsage;
    }
    // A folder that gave no page failed the user as much as a picture that did.
    return report.AllWell() && report.emptyGroups.empty() ? kExitAllConverted : kExitSomeFailed;
}

// The engine words its refusals for any front end; where the command line
// has an option that settles the matter, the user is told its name.
void UseCommandLineWords(JobReport& report, const CliRequest& request) {
    if (report.refusal == JobRefusal::OutputExists) {
        report.jobError = "the output file " + request.outputFile.string() +
                          " already exists; add --force to replace it, or choose another name";
    }
}

std::string NoPicturesMessage(const std::vector<std::filesystem::path>& emptyFolders) {
    std::string message = "no pictures to convert";
    for (size_t i = 0; i < emptyFolders.size(); ++i) {
        message += (i == 0 ? ": no pictures in " : ", ") + emptyFolders[i].string();
    }
    return message;
}

} // namespace

int main(int argc, char** argv) {
    const CliParse parse = ParseCommandLine(argc, argv);
    if (!parse.request) {
        if (parse.exitCode != 0) {
            return ReportUsageError(parse.message, parse.json);
        }
        std::printf("%s\n", parse.message.c_str());
        return parse.exitCode;
    }
    const CliRequest& request = *parse.request;
    ExpandedSources sources = ExpandSources(request);
    if (!sources.error.empty()) {
        return ReportUsageError(sources.error, request.json);
    }
    if (sources.list.empty()) {
        return ReportUsageError(NoPicturesMessage(sources.emptyFolders), request.json);
    }
    static JobState job;
    FillJob(job, request, std::move(sources.list));

    cancelFlag = &job.cancelRequested;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    ProgressBar bar(stderr);
    const bool showProgress = !request.quiet && ::isatty(STDERR_FILENO);
    StageObserver observer;
    if (showProgress) {
        observer.progress = [&bar](const StageProgress& progress) { bar.Show(progress); };
    }
    RunJob(job, request.saveFolder, std::time(nullptr), observer);
    bar.Finish();
    UseCommandLineWords(job.report, request);
    if (job.report.refusal == JobRefusal::None) {
        job.report.emptyGroups.insert(job.report.emptyGroups.end(), sources.emptyFolders.begin(),
                                      sources.emptyFolders.end());
    }

    if (request.json) {
        std::printf("%s\n", JsonReport(job.report, job.options.outputFolder).c_str());
    } else {
        PrintTextReport(stderr, job.report, request.quiet);
        if (!job.report.documentsWritten.empty()) {
            // Where the user looks next: the chosen file, or the new folder.
            const auto& shown = request.outputFile.empty() ? job.options.outputFolder : job.options.outputFile;
            std::printf("%s\n", shown.c_str());
        }
    }
    return ExitCodeOf(job.report);
}
