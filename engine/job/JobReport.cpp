#include "JobReport.h"

#include "Reason.h"

void JobReport::AddPictureProblem(const std::filesystem::path& source, PictureOutcome outcome,
                                  const std::string& text, size_t page) {
    // A picture that could not be read is told in the user's words; a page
    // that could not be written or recognised keeps the system's own.
    const bool unread = outcome == PictureOutcome::Damaged || outcome == PictureOutcome::Undecodable;
    pictureProblems.push_back(
        {source, outcome, unread ? PictureReason(text) : BriefReason(text), BoundedDetail(text), page});
}

void JobReport::AddDocumentProblem(const std::filesystem::path& document, const std::string& text) {
    documentProblems.push_back({document, BriefReason(text), BoundedDetail(text)});
}
