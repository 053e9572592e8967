#include "JsonReport.h"

#include <nlohmann/json.hpp>

namespace {

const char* OutcomeKey(PictureOutcome outcome) {
    switch (outcome) {
    case PictureOutcome::Damaged:
        return "damaged";
    case PictureOutcome::Undecodable:
        return "undecodable";
    case PictureOutcome::NotPrepared:
        return "not-prepared";
    case PictureOutcome::NotRecognised:
        return "not-recognised";
    case PictureOutcome::ProfileUnused:
        return "profile-unused";
    }
    return "unknown";
}

} // namespace

std::string JsonReport(const JobReport& report, const std::filesystem::path& outputFolder) {
    nlohmann::json json;
    json["outputFolder"] = outputFolder.string();
    json["allConverted"] = report.AllWell() && report.emptyGroups.empty();
    json["cancelled"] = report.cancelled;
    json["error"] = report.jobError.empty() ? nlohmann::json() : nlohmann::json(report.jobError);
    json["picturesTotal"] = report.picturesTotal;
    json["picturesPrepared"] = report.picturesPrepared;
    json["documentsTotal"] = report.documentsTotal;
    json["documents"] = nlohmann::json::array();
    for (const auto& document : report.documentsWritten) {
        json["documents"].push_back(document.string());
    }
    json["pictureProblems"] = nlohmann::json::array();
    for (const auto& problem : report.pictureProblems) {
        json["pictureProblems"].push_back(
            {{"source", problem.source.string()},
             {"page", problem.page > 0 ? nlohmann::json(problem.page) : nlohmann::json()},
             {"outcome", OutcomeKey(problem.outcome)},
             {"reason", problem.reason},
             {"detail", problem.detail}});
    }
    json["scanDecisions"] = nlohmann::json::array();
    for (const auto& decision : report.scanDecisions) {
        json["scanDecisions"].push_back(
            {{"source", decision.source.string()},
             {"page", decision.page > 0 ? nlohmann::json(decision.page) : nlohmann::json()},
             {"blank", decision.scan.blank},
             {"turnedBy", decision.scan.turnedBy},
             {"straightenedBy", decision.scan.straightenedBy}});
    }
    json["documentProblems"] = nlohmann::json::array();
    for (const auto& problem : report.documentProblems) {
        json["documentProblems"].push_back({{"document", problem.document.string()},
                                            {"reason", problem.reason},
                                            {"detail", problem.detail}});
    }
    json["emptyGroups"] = nlohmann::json::array();
    for (const auto& group : report.emptyGroups) {
        json["emptyGroups"].push_back(group.string());
    }
    // File names need not be UTF-8 on Linux: replace what JSON cannot hold.
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}
