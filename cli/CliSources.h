#pragma once

#include "CliOptions.h"
#include "ConvertOptions.h"

#include <filesystem>
#include <string>
#include <vector>

// The job's sources as the command line names them, expanded.
struct ExpandedSources {
    SourceList list;
    // Folders named beside pictures that hold no picture: they give no page,
    // and the user is told so.
    std::vector<std::filesystem::path> emptyFolders;
    std::string error;
};

// The job's source list: pictures as given, and for each folder its pictures
// in the order the window's folder scan would list them (oldest first, or as
// --order says). With --folders the folders themselves. A folder that cannot be read fills
// `error` with its name and the system's reason; the list is then empty.
ExpandedSources ExpandSources(const CliRequest& request);
