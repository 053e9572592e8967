#include "JobReport.h"

#include "Reason.h"

void JobReport::AddPictureProblem(const std::filesystem::path& source, PictureOutcome outcome,
                                  const std::string& text, size_t page) {
    pictureProblems.push_back({source, outcome, BriefReason(text), BoundedDetail(text), page});
}

void JobReport::AddDocumentProblem(const std::filesystem::path& document, const std::string& text) {
    documentProblems.push_back({document, BriefReason(text), BoundedDetail(text)});
}

const char* DescribeOutcome(PictureOutcome outcome) {
    switch (outcome) {
    case PictureOutcome::Damaged:
        return "damaged, shown in part";
    case PictureOutcome::Undecodable:
        return "could not be read, white page";
    case PictureOutcome::NotPrepared:
        return "page could not be written";
    case PictureOutcome::NotRecognised:
        return "text not recognised, page not searchable";
    case PictureOutcome::ProfileUnused:
        return "colour profile not used, colours may be off";
    }
    return "unknown";
}
