#include "JobReport.h"

#include "Reason.h"

void JobReport::AddPictureProblem(const std::filesystem::path& source, PictureOutcome outcome,
                                  const std::string& text, size_t page) {
    pictureProblems.push_back({source, outcome, BriefReason(text), BoundedDetail(text), page});
}

void JobReport::AddDocumentProblem(const std::filesystem::path& document, const std::string& text) {
    documentProblems.push_back({document, BriefReason(text), BoundedDetail(text)});
}
