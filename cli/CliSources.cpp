#include "CliSources.h"

#include "FolderScan.h"

#include <system_error>

SourceList ExpandSources(const CliRequest& request, std::string& error) {
    if (request.folders) {
        return SourceList(request.sources.begin(), request.sources.end());
    }
    SourceList list;
    for (const auto& source : request.sources) {
        std::error_code ignored;
        if (!std::filesystem::is_directory(source, ignored)) {
            list.push_back(source);
            continue;
        }
        const FolderListing scan = ScanFolderForPictures(source, request.order);
        if (!scan.error.empty()) {
            error = scan.error;
            return {};
        }
        list.insert(list.end(), scan.entries.begin(), scan.entries.end());
    }
    return list;
}
