#pragma once

#include "NormalizeImage.h"
#include "RenderProtocol.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One page of a picture as a worker rendered it.
struct RenderedPage {
    size_t part = 0;      // which page of the picture, 0 for the first
    size_t partCount = 1; // how many pages the picture has, as far as known
    PageMade page;
};

// Pictures are decoded, and their text recognised, in worker processes
// ("quillmark-render"), one per preparation thread: a decoder that crashes or
// hangs on a hostile file costs
// that picture a white page and a line in the report, never the job or the
// window; and each worker's libvips keeps its own error messages, so every
// failure carries its own reason.
//
// Each worker runs in a process group of its own, so a terminal's Ctrl-C
// reaches only the program that started it; that program's cancel request
// then ends the worker (and anything the decoder started) at once, exactly as
// a stop asked for by the window does.
class RenderWorker {
  public:
    // `log` receives the worker's standard error: the part written while a
    // picture was decoded explains that picture's crash. `cancel` is watched
    // while a picture is being decoded.
    RenderWorker(std::filesystem::path program, std::filesystem::path log, std::chrono::seconds timeLimit,
                 const std::atomic<bool>& cancel);
    ~RenderWorker();
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    // Renders every page of one picture as RenderPages does: the first into
    // `destination`, the others beside it (PartPagePath), with their text
    // when `ocrLanguages` names languages, calling `onPage` as each is done.
    // The time limit holds for each page, counted in the processor time the
    // worker had (a worker starved on a busy machine is not to blame), with
    // ten times the limit on the clock for a worker that waits for ever. A
    // page whose worker dies or runs past the limit gets a white page and the
    // reason, and a
    // fresh worker goes on with the next page. Returns the pages in order;
    // empty when the cancel flag was set meanwhile: the worker is killed
    // within a few tens of milliseconds and nothing more is written.
    std::optional<std::vector<RenderedPage>>
    Render(const RenderSettings& settings, const std::string& ocrLanguages,
           const std::filesystem::path& source, const std::filesystem::path& destination,
           const std::function<void(const RenderedPage&)>& onPage = {});

  private:
    struct Reply {
        bool done = false; // the worker answered the whole request
        bool cancelled = false;
        std::string failure; // why it did not, when not cancelled
    };
    bool Start(std::string& failure);
    void Stop(bool kill);
    Reply Ask(const RenderRequest& request, const std::function<void(const RenderMessage&)>& onMessage);
    NormalizeResult WhitePageAfter(const std::string& failure, const RenderSettings& settings,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination, bool& cancelled);
    std::string LogSince(off_t offset) const;

    std::filesystem::path program_;
    std::filesystem::path log_;
    std::chrono::seconds timeLimit_;
    const std::atomic<bool>& cancel_;
    pid_t pid_ = -1;
    int socket_ = -1;
};
