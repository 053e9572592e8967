#pragma once

#include <filesystem>
#include <vector>

// Where the worker program was looked for, and what was found there.
struct RenderProgramSearch {
    std::filesystem::path found;                 // empty when none of the places has it
    std::vector<std::filesystem::path> lookedIn; // every place tried, in order
};

// The worker program: $QUILLMARK_RENDER when set, else the installed one
// (libexec/quillmark/quillmark-render beside the running program's bin
// folder), else "quillmark-render" beside the running program, else, for
// programs run from the build folder, the one this build made.
RenderProgramSearch FindRenderWorkerProgram();
