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
        // The scan gives newest first, the order in which the window puts them
        // one by one at the top of its list; read back, that list is oldest first.
        const FolderListing scan = ScanFolderForPictures(source);
        if (!scan.error.empty()) {
            error = scan.error;
            return {};
        }
        list.insert(list.end(), scan.entries.rbegin(), scan.entries.rend());
    }
    return list;
}
