#include "CliSources.h"

#include "FolderScan.h"

#include <system_error>

ExpandedSources ExpandSources(const CliRequest& request) {
    ExpandedSources expanded;
    if (request.folders) {
        expanded.list.assign(request.sources.begin(), request.sources.end());
        return expanded;
    }
    for (const auto& source : request.sources) {
        std::error_code ignored;
        if (!std::filesystem::is_directory(source, ignored)) {
            expanded.list.push_back(source);
            continue;
        }
        const FolderListing scan = ScanFolderForPictures(source, request.order);
        if (!scan.error.empty()) {
            return {{}, {}, scan.error};
        }
        if (scan.entries.empty()) {
            expanded.emptyFolders.push_back(source);
        }
        expanded.list.insert(expanded.list.end(), scan.entries.begin(), scan.entries.end());
    }
    return expanded;
}
