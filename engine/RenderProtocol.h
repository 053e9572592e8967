#pragma once

#include "NormalizeImage.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The messages between the preparation stage and a render worker process: one
// request, one reply, in turn, over a local socket. Paths travel as bytes, so
// any file name works.
// How every page of a job is rendered.
struct RenderSettings {
    PageSetup page;
    int32_t quality = kDefaultJpegQuality;
    bool keepJpeg = false; // a JPEG the PDF can show as it is goes in byte for byte
};

struct RenderRequest {
    bool whitePageOnly = false; // write a white page without reading the source
    RenderSettings settings;
    std::string source;
    std::string destination;
    // When set, the request is to recognise the text of the page already at
    // `destination` in these languages ("chi_sim+eng") and to store it in the
    // page's side file, not to render anything.
    std::string ocrLanguages;
};

bool SendRequest(int socket, const RenderRequest& request);
std::optional<RenderRequest> ReceiveRequest(int socket);

bool SendResult(int socket, const NormalizeResult& result);

// Why no reply came.
enum class NoReply { WorkerGone, TimedOut, Cancelled };

// Waits for the reply until `deadline`, looking at `cancel` every few tens of
// milliseconds. Empty when the worker closed the connection (it died), the
// deadline passed or `cancel` was set; `why` tells which.
std::optional<NormalizeResult> ReceiveResult(int socket, std::chrono::steady_clock::time_point deadline,
                                             const std::atomic<bool>& cancel, NoReply& why);
