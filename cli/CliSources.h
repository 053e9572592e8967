#pragma once

#include "CliOptions.h"
#include "ConvertOptions.h"

// The job's source list: pictures as given, and for each folder its pictures
// in the order the window's folder scan would list them (oldest first). With
// --folders the folders themselves.
SourceList ExpandSources(const CliRequest& request);
