#include "RenderProtocol.h"

#include "PageNotes.h"
#include "ScanPictures.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A reply larger than this is not from our worker (a page's notes, with all
// the words of a dense page, are the largest part).
constexpr uint32_t kMaxText = 16u << 20;

// How often a wait for the worker looks at the cancel flag: a stop never
// waits longer than this for a picture under way.
constexpr int kCancelPollMs = 50;

class Writer {
  public:
    void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void I32(int32_t v) { Raw(&v, sizeof v); }
    void F64(double v) { Raw(&v, sizeof v); }
    void U32(uint32_t v) { Raw(&v, sizeof v); }
    void I64(int64_t v) { Raw(&v, sizeof v); }
    void Text(const std::string& text) {
        const uint32_t size = static_cast<uint32_t>(text.size());
        Raw(&size, sizeof size);
        bytes_ += text;
    }
    bool SendTo(int socket) const {
        size_t sent = 0;
        while (sent < bytes_.size()) {
            // MSG_NOSIGNAL: a worker that died must not take this process with it.
            const ssize_t n = ::send(socket, bytes_.data() + sent, bytes_.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return true;
    }

  private:
    void Raw(const void* data, size_t size) { bytes_.append(static_cast<const char*>(data), size); }
    std::string bytes_;
};

class Reader {
  public:
    Reader(int socket, const std::function<bool()>* timeIsUp, const std::atomic<bool>* cancel)
        : socket_(socket), timeIsUp_(timeIsUp), cancel_(cancel) {}

    NoReply why = NoReply::WorkerGone;

    bool Raw(void* data, size_t size) {
        char* out = static_cast<char*>(data);
        size_t got = 0;
        while (got < size) {
            if (timeIsUp_ != nullptr && !WaitReadable()) {
                return false;
            }
            const ssize_t n = ::recv(socket_, out + got, size - got, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            got += static_cast<size_t>(n);
        }
        return true;
    }
    bool U8(uint8_t& v) { return Raw(&v, sizeof v); }
    bool I32(int32_t& v) { return Raw(&v, sizeof v); }
    bool F64(double& v) { return Raw(&v, sizeof v); }
    template <typename Enum> bool EnumI32(Enum& v) {
        int32_t raw = 0;
        if (!I32(raw)) {
            return false;
        }
        v = static_cast<Enum>(raw);
        return true;
    }
    bool U32(uint32_t& v) { return Raw(&v, sizeof v); }
    bool I64(int64_t& v) { return Raw(&v, sizeof v); }
    bool Text(std::string& text) {
        uint32_t size = 0;
        if (!Raw(&size, sizeof size) || size > kMaxText) {
            return false;
        }
        text.resize(size);
        return Raw(text.data(), size);
    }

  private:
    bool WaitReadable() {
        for (;;) {
            if (cancel_ != nullptr && cancel_->load()) {
                why = NoReply::Cancelled;
                return false;
            }
            if ((*timeIsUp_)()) {
                why = NoReply::TimedOut;
                return false;
            }
            pollfd entry{socket_, POLLIN, 0};
            const int ready = ::poll(&entry, 1, kCancelPollMs);
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    int socket_;
    const std::function<bool()>* timeIsUp_;
    const std::atomic<bool>* cancel_;
};

} // namespace

bool SendRequest(int socket, const RenderRequest& request) {
    Writer out;
    out.U8(request.whitePageOnly ? 1 : 0);
    const PageSetup& page = request.settings.page;
    out.I32(static_cast<int32_t>(page.paper));
    out.I32(page.pageWidth);
    out.I32(page.pageHeight);
    out.I32(page.dpi);
    out.I32(static_cast<int32_t>(page.orientation));
    out.F64(page.margin);
    out.I32(static_cast<int32_t>(page.fit));
    out.I32(request.settings.quality);
    out.U8(request.settings.keepJpeg ? 1 : 0);
    out.U8(request.settings.lossless ? 1 : 0);
    out.U8(request.settings.pdf14 ? 1 : 0);
    const ScanCleaning& cleaning = request.settings.cleaning;
    out.U8((cleaning.deskew ? 1 : 0) | (cleaning.autoRotate ? 2 : 0) | (cleaning.skipBlank ? 4 : 0) |
           (cleaning.bilevel ? 8 : 0));
    out.U32(request.firstPart);
    out.Text(request.source);
    out.Text(request.destination);
    out.Text(request.ocrLanguages);
    return out.SendTo(socket);
}

std::optional<RenderRequest> ReceiveRequest(int socket) {
    Reader in(socket, nullptr, nullptr);
    RenderRequest request;
    uint8_t white = 0, keepJpeg = 0, lossless = 0, pdf14 = 0, cleaning = 0;
    PageSetup& page = request.settings.page;
    if (!in.U8(white) || !in.EnumI32(page.paper) || !in.I32(page.pageWidth) || !in.I32(page.pageHeight) ||
        !in.I32(page.dpi) || !in.EnumI32(page.orientation) || !in.F64(page.margin) || !in.EnumI32(page.fit) ||
        !in.I32(request.settings.quality) || !in.U8(keepJpeg) || !in.U8(lossless) || !in.U8(pdf14) ||
        !in.U8(cleaning) || !in.U32(request.firstPart) ||
        !in.Text(request.source) || !in.Text(request.destination) || !in.Text(request.ocrLanguages)) {
        return std::nullopt;
    }
    request.whitePageOnly = white != 0;
    request.settings.keepJpeg = keepJpeg != 0;
    request.settings.lossless = lossless != 0;
    request.settings.pdf14 = pdf14 != 0;
    request.settings.cleaning = {(cleaning & 1) != 0, (cleaning & 2) != 0, (cleaning & 4) != 0, (cleaning & 8) != 0};
    return request;
}

bool SendMessage(int socket, const RenderMessage& message) {
    Writer out;
    out.U8(static_cast<uint8_t>(message.kind));
    out.U32(message.number);
    out.I64(message.logSize);
    if (message.kind == RenderMessage::Kind::Page) {
        const NormalizeResult& result = message.page.result;
        out.U8(result.written ? 1 : 0);
        out.U8(result.problem ? static_cast<uint8_t>(*result.problem) + 1 : 0);
        out.Text(result.reason);
        out.I64(static_cast<int64_t>(result.diskFullNeeding));
        out.F64(result.scan.straightenedBy);
        out.I32(result.scan.turnedBy);
        out.U8(result.scan.blank ? 1 : 0);
        const PageMade& page = message.page;
        const bool hasNotes = page.keptJpeg || page.text || page.vectorPage;
        out.Text(hasNotes ? PageNotesToJson({{}, page.keptJpeg, page.text, page.vectorPage}) : std::string());
        out.Text(message.page.recognitionFailure);
    }
    return out.SendTo(socket);
}

std::optional<RenderMessage> ReceiveMessage(int socket, const std::function<bool()>& timeIsUp,
                                            const std::atomic<bool>& cancel, NoReply& why) {
    Reader in(socket, &timeIsUp, &cancel);
    RenderMessage message;
    uint8_t kind = 0;
    bool complete = in.U8(kind) && kind <= static_cast<uint8_t>(RenderMessage::Kind::Done) &&
                    in.U32(message.number) && in.I64(message.logSize);
    message.kind = static_cast<RenderMessage::Kind>(kind);
    if (complete && message.kind == RenderMessage::Kind::Page) {
        uint8_t written = 0, problem = 0, blank = 0;
        int64_t diskFull = 0;
        ScanDecisions& scan = message.page.result.scan;
        std::string notes;
        NormalizeResult& result = message.page.result;
        complete = in.U8(written) && in.U8(problem) &&
                   problem <= static_cast<uint8_t>(PictureOutcome::ProfileUnused) + 1 &&
                   in.Text(result.reason) && in.I64(diskFull) && in.F64(scan.straightenedBy) &&
                   in.I32(scan.turnedBy) && in.U8(blank) && in.Text(notes) &&
                   in.Text(message.page.recognitionFailure);
        result.diskFullNeeding = static_cast<uint64_t>(std::max<int64_t>(diskFull, 0));
        result.written = written != 0;
        scan.blank = blank != 0;
        // Decisions no cleaning makes are not ours: the report would tell them.
        if (!(std::abs(scan.straightenedBy) <= kMaxSkewDegrees) ||
            (scan.turnedBy != 0 && scan.turnedBy != 90 && scan.turnedBy != 180 && scan.turnedBy != 270)) {
            complete = false;
        }
        if (problem != 0) {
            result.problem = static_cast<PictureOutcome>(problem - 1);
        }
        if (complete && !notes.empty()) {
            // Notes that are not ours to trust make no page: the page is
            // placed from them, so half-read numbers must never reach it.
            PageNotesRead read = PageNotesFromJson(notes);
            if (read.error.empty()) {
                message.page.keptJpeg = std::move(read.notes.keptJpeg);
                message.page.text = std::move(read.notes.text);
                message.page.vectorPage = std::move(read.notes.vectorPage);
            } else {
                result.written = false;
                result.problem = PictureOutcome::NotPrepared;
                result.reason = "the decoder's notes on the page cannot be read: " + read.error;
            }
        }
    }
    why = in.why;
    if (!complete) {
        return std::nullopt;
    }
    return message;
}
