#include "WorkerProgram.h"

#include <cstdlib>
#include <unistd.h>

RenderProgramSearch FindRenderWorkerProgram() {
    RenderProgramSearch search;
    if (const char* chosen = std::getenv("QUILLMARK_RENDER"); chosen != nullptr && *chosen != '\0') {
        search.lookedIn.emplace_back(chosen);
    } else {
        std::error_code ignored;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
        if (!self.empty()) {
            search.lookedIn.push_back(
                (self.parent_path() / QUILLMARK_WORKER_FROM_BIN / "quillmark-render").lexically_normal());
            search.lookedIn.push_back(self.parent_path() / "quillmark-render");
        }
        // The worker this build made serves only programs that run from the
        // build folder: an installed copy must never pick up a stale build.
        if (self.string().starts_with(QUILLMARK_BUILD_TREE "/")) {
            search.lookedIn.emplace_back(QUILLMARK_RENDER_BUILT);
        }
    }
    for (const auto& candidate : search.lookedIn) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            search.found = candidate;
            break;
        }
    }
    return search;
}
