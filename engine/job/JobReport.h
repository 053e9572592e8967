#pragma once

#include "PictureOutcome.h"
#include "ScanCleaning.h"

#include <filesystem>
#include <string>
#include <vector>

// Why a job did not run at all, for front ends that word it themselves.
enum class JobRefusal {
    None,
    PageSize,     // a side of the page is outside what a PDF page can have
    Resolution,   // the resolution of a preset page is outside 72 to 600 dpi
    Margin,       // the margin is negative or leaves no room for the picture
    NoDecoder,    // the decoder worker program is missing
    OutputFolder, // the output folder could not be created
    Unwritable,   // the save folder, or the folder of the output file, cannot be written to
    Options,      // an option is out of range or does not go with another
    OutputExists, // the chosen output file exists and may not be replaced
    OcrLanguages, // text recognition was asked for in a language that is not installed
    Failed,       // the job began but a stage could not go on (see jobError)
};

// Every problem carries a one-line `reason` for people and the decoder's or
// system's whole text in `detail`, for logs and scripts.
struct PictureProblem {
    std::filesystem::path source;
    PictureOutcome outcome;
    std::string reason;
    std::string detail;
    size_t page = 0; // for a picture of several pages, which one (from 1); 0 for the whole picture
};

// What cleaning the scans did to a page that it changed or left out.
struct ScanDecision {
    std::filesystem::path source;
    size_t page = 0; // for a picture of several pages, which one (from 1); 0 for the whole picture
    ScanDecisions scan;
};

struct DocumentProblem {
    std::filesystem::path document;
    std::string reason;
    std::string detail;
};

// The account of one job that the window and the command line render: it is
// data, not text, so each front end words it in its own way.
struct JobReport {
    std::string jobError; // set when the job was refused or a stage could not go on
    JobRefusal refusal = JobRefusal::None;
    bool cancelled = false;
    // Pages, not files: a multi-page TIFF counts each of its pages.
    int picturesTotal = 0;    // pages the preparation stage set out to make
    int picturesPrepared = 0; // pages made from a picture (cleanly or in part)
    int documentsTotal = 0;
    std::vector<std::filesystem::path> documentsWritten;
    std::vector<PictureProblem> pictureProblems;    // in list order
    std::vector<DocumentProblem> documentProblems;  // in the order they were built
    std::vector<std::filesystem::path> emptyGroups; // folders without a picture, skipped
    std::vector<ScanDecision> scanDecisions;        // in list order

    // A job that set out to convert pictures and wrote not one document.
    bool NothingWritten() const { return picturesTotal > 0 && documentsWritten.empty(); }

    // True when every picture converted cleanly and every document was written.
    bool AllWell() const {
        return jobError.empty() && !cancelled && pictureProblems.empty() && documentProblems.empty() &&
               !NothingWritten();
    }

    // Records a failure of the whole job; the first one is kept.
    void Fail(JobRefusal kind, std::string why) {
        if (jobError.empty()) {
            refusal = kind;
            jobError = std::move(why);
        }
    }
    void AddPictureProblem(const std::filesystem::path& source, PictureOutcome outcome,
                           const std::string& text, size_t page = 0);
    void AddDocumentProblem(const std::filesystem::path& document, const std::string& text);
};

