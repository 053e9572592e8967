#pragma once

#include "NormalizeImage.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <sys/types.h>

// Pictures are decoded in worker processes ("quillmark-render"), one per
// preparation thread: a decoder that crashes or hangs on a hostile file costs
// that picture a white page and a line in the report, never the job or the
// window; and each worker's libvips keeps its own error messages, so every
// failure carries its own reason.
class RenderWorker {
  public:
    // `log` receives the worker's standard error; its last line explains a crash.
    RenderWorker(std::filesystem::path program, std::filesystem::path log, std::chrono::seconds timeLimit);
    ~RenderWorker();
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    // Renders one picture as NormalizeImage does. A worker that dies or runs past
    // the time limit is replaced, and the picture gets a white page.
    NormalizeResult Render(int32_t pageWidth, int32_t pageHeight, const std::filesystem::path& source,
                           const std::filesystem::path& destination);

  private:
    bool Start();
    void Stop(bool kill);
    std::optional<NormalizeResult> Ask(bool whitePageOnly, int32_t pageWidth, int32_t pageHeight,
                                       const std::filesystem::path& source,
                                       const std::filesystem::path& destination, std::string& failure);
    std::string LastLogLine() const;

    std::filesystem::path program_;
    std::filesystem::path log_;
    std::chrono::seconds timeLimit_;
    pid_t pid_ = -1;
    int socket_ = -1;
};

// The worker program: $QUILLMARK_RENDER when set, else "quillmark-render" beside
// the running program, else the one this build made. Empty when none exists;
// the stage then renders in its own process.
std::filesystem::path FindRenderWorkerProgram();

// The worker's main loop: answers requests on `socket` until it closes.
int RunRenderWorker(int socket);
