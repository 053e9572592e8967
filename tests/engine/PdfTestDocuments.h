#pragma once

#include "DocumentPlan.h"
#include "PdfAssembly.h"

#include <filesystem>
#include <string>
#include <vector>

// Documents written straight from page pictures, planned as the PDF stage
// plans them, without a job around them.

inline PdfOutcome WritePages(const std::vector<PagePlan>& pages, const std::filesystem::path& target,
                             const DocumentSettings& settings, const std::string& title = {}) {
    DocumentPlan plan = PlanDocument({}, target, title, settings);
    plan.pages = pages;
    if (settings.bookmarks) {
        plan.outline = OutlineOf(plan.pages);
    }
    return WritePdfDocument(plan);
}

// Page pictures over their pages, nothing else.
inline PdfOutcome WriteJpegs(const std::vector<std::filesystem::path>& jpegs,
                             const std::filesystem::path& target, const DocumentSettings& settings,
                             const std::string& title = {}) {
    std::vector<PagePlan> pages;
    for (const auto& jpeg : jpegs) {
        pages.push_back({jpeg, {}, {}, {}});
    }
    return WritePages(pages, target, settings, title);
}

// One page picture alone in its document, titled after the document's name.
inline PdfOutcome JpegToPdf(const std::filesystem::path& jpeg, const std::filesystem::path& pdf,
                            const DocumentSettings& settings) {
    return WriteJpegs({jpeg}, pdf, settings);
}
