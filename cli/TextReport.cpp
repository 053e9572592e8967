#include "TextReport.h"

void PrintTextReport(std::FILE* out, const JobReport& report, bool quiet) {
    if (!report.jobError.empty()) {
        std::fprintf(out, "quillmark-cli: %s\n", report.jobError.c_str());
        if (report.refusal != JobRefusal::Failed) {
            return; // refused before any work: there is nothing else to tell
        }
    }
    if (report.NothingWritten() && !report.cancelled) {
        std::fprintf(out, "quillmark-cli: no document was written\n");
    }
    if (!quiet) {
        std::fprintf(out, "%d of %d pages prepared, %zu of %d documents written%s\n", report.picturesPrepared,
                     report.picturesTotal, report.documentsWritten.size(), report.documentsTotal,
                     report.cancelled ? " (cancelled)" : "");
    }
    // A warning, not a summary line: quiet or not, a folder that gave
    // nothing is named.
    for (const auto& group : report.emptyGroups) {
        std::fprintf(out, "  %s: skipped, the folder holds no pictures\n", group.c_str());
    }
    for (const auto& problem : report.pictureProblems) {
        const std::string page = problem.page > 0 ? "page " + std::to_string(problem.page) + " of " : "";
        std::fprintf(out, "  %s%s: %s: %s\n", page.c_str(), problem.source.c_str(),
                     DescribeOutcome(problem.outcome), problem.reason.c_str());
    }
    if (!quiet) {
        for (const auto& decision : report.scanDecisions) {
            const std::string page = decision.page > 0 ? "page " + std::to_string(decision.page) + " of " : "";
            std::fprintf(out, "  %s%s: %s\n", page.c_str(), decision.source.c_str(),
                         DescribeScanDecisions(decision.scan).c_str());
        }
    }
    for (const auto& problem : report.documentProblems) {
        std::fprintf(out, "  %s: not written: %s\n", problem.document.c_str(), problem.reason.c_str());
    }
}
