#pragma once

#include "CliOptions.h"
#include "ConvertOptions.h"

#include <string>

// The job's source list: pictures as given, and for each folder its pictures
// in the order the window's folder scan would list them (oldest first, or as
// --order says). With --folders the folders themselves. A folder that cannot be read fills
// `error` with its name and the system's reason; the list is then empty.
SourceList ExpandSources(const CliRequest& request, std::string& error);
