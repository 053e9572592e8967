#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What became of a picture that did not convert cleanly.
enum class PictureOutcome {
    Damaged,     // only part of it could be read; the page shows that part
    Undecodable, // nothing could be read; the page is white
    NotPrepared, // its page could not be written to the scratch folder
};

struct PictureProblem {
    std::filesystem::path source;
    PictureOutcome outcome;
    std::string reason;
};

struct DocumentProblem {
    std::filesystem::path document;
    std::string reason;
};

// The account of one job that the window and the command line render: it is
// data, not text, so each front end words it in its own way.
struct JobReport {
    std::string jobError; // set when the job was refused or could not start
    bool cancelled = false;
    int picturesTotal = 0;    // pages the preparation stage set out to make
    int picturesPrepared = 0; // pages made from a picture (cleanly or in part)
    int documentsTotal = 0;
    std::vector<std::filesystem::path> documentsWritten;
    std::vector<PictureProblem> pictureProblems;    // in list order
    std::vector<DocumentProblem> documentProblems;  // in the order they were built
    std::vector<std::filesystem::path> emptyGroups; // folders without a picture, skipped

    // True when every picture converted cleanly and every document was written.
    bool AllWell() const {
        return jobError.empty() && !cancelled && pictureProblems.empty() && documentProblems.empty();
    }
};

// A short English phrase for an outcome, for logs and the command line.
const char* DescribeOutcome(PictureOutcome outcome);
