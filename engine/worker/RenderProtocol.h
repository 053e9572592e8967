#pragma once

#include "KeptJpeg.h"
#include "NormalizeImage.h"
#include "PageText.h"
#include "VectorPage.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// How every page of a job is rendered.
struct RenderSettings {
    PageSetup page;
    int32_t quality = kDefaultJpegQuality;
    bool keepJpeg = false; // a JPEG the PDF can show as it is goes in byte for byte
    // Every page shows the picture's own pixels, in its own coding where the
    // PDF can show it, never resampled; a metafile, which has none, goes in
    // as vectors.
    bool lossless = false;
    bool pdf14 = false; // the documents stay within PDF 1.4 (PDF/A-1): no JPEG 2000, no 16-bit samples
    ScanCleaning cleaning; // scans straightened, turned upright, blanks left out, black and white
};

// The messages between the preparation stage and a render worker process
// over a local socket: a request for one picture, then the worker's messages
// about it, until it says it is done. Paths travel as bytes, so any file name
// works.
struct RenderRequest {
    bool whitePageOnly = false; // write a white page without reading the source
    RenderSettings settings;
    uint32_t firstPart = 0; // render the picture's pages from this one on (0: all of them)
    std::string source;
    std::string destination; // of the first page; further pages go beside it (PartPagePath)
    // When set, the text of every page is recognised in these languages
    // ("chi_sim+eng") as the page is made, and sent with it.
    std::string ocrLanguages;
};

// One page as the worker made it: whether it was written, and what the PDF
// stage needs of it beyond its pixels.
struct PageMade {
    NormalizeResult result;
    std::optional<KeptJpeg> keptJpeg; // set when the page file is the source JPEG itself
    std::optional<PageText> text;     // the page's recognised text, when it has any
    // Set when the page was drawn as vectors as well, beside its page
    // picture (VectorPagePath). Its file does not travel to the preparation,
    // which knows where it is.
    std::optional<VectorPage> vectorPage;
    std::string
        recognitionFailure; // why its text could not be read; empty when it could, or was not asked for
};

bool SendRequest(int socket, const RenderRequest& request);
std::optional<RenderRequest> ReceiveRequest(int socket);

// What the worker says about a request, in this order: how many pages the
// picture has, the result of each page asked for as soon as it is written,
// then that it is done. A page's result is sent before the next page is
// begun, so a decoder that crashes on a later page costs only that page.
struct RenderMessage {
    enum class Kind : uint8_t { PageCount, Page, Done };
    Kind kind = Kind::Done;
    uint32_t number = 0; // PageCount: how many pages; Page: which page, 0 for the first
    PageMade page;       // Page only
    // How long the worker's log (its standard error) was when it said this:
    // what follows is about what it does next. -1 when it does not say.
    int64_t logSize = -1;
};

bool SendMessage(int socket, const RenderMessage& message);

// Why no message came.
enum class NoReply { WorkerGone, TimedOut, Cancelled };

// Waits for the next message, looking at `cancel` and asking `timeIsUp`
// every few tens of milliseconds. Empty when the worker closed the connection
// (it died), its time was up or `cancel` was set; `why` tells which.
std::optional<RenderMessage> ReceiveMessage(int socket, const std::function<bool()>& timeIsUp,
                                            const std::atomic<bool>& cancel, NoReply& why);
