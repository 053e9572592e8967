// A stand-in for quillmark-render that renders as the real one does, but
// fails as $QUILLMARK_STAND_IN asks, each time:
//   (unset)                 its decoder dies on the second page of every
//                           picture: such a crash must cost that page alone;
//   unwritable-second-page  the second page of every picture cannot be stored;
//   crash-reading-second-page  it dies on the second page only while reading
//                           its text, as a recognizer that crashes would;
//   slow                    it waits three seconds, using no processor, before
//                           each request, as a starved decoder does;
//   endless                 a picture whose name begins with "endless" is never
//                           finished: its decoder waits for ever, using no
//                           processor; other pictures are rendered as usual.
#include "PreparedPages.h"
#include "RenderPage.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

int main() {
    using Kind = RenderMessage::Kind;
    constexpr int kSocket = 3; // as quillmark-render is started
    const char* mode = std::getenv("QUILLMARK_STAND_IN");
    const std::string failure = mode != nullptr ? mode : "";
    TextRecognizer recognizer;
    while (const auto request = ReceiveRequest(kSocket)) {
        if (failure == "slow") {
            std::this_thread::sleep_for(std::chrono::seconds(3));
        }
        if (failure == "endless" && std::filesystem::path(request->source).filename().string().starts_with("endless")) {
            for (;;) {
                ::pause();
            }
        }
        RenderPages(
            *request, recognizer,
            [](size_t count) {
                return SendMessage(kSocket, {Kind::PageCount, static_cast<uint32_t>(count), {}});
            },
            [&](size_t part, const PageMade& page) {
                if (part == 1 && (failure.empty() || (failure == "crash-reading-second-page" &&
                                                      !request->ocrLanguages.empty()))) {
                    std::abort(); // before a word about the page
                }
                PageMade told = page;
                if (part == 1 && failure == "unwritable-second-page") {
                    const std::filesystem::path file = PartPagePath(request->destination, part);
                    ::unlink(file.c_str());
                    told = {};
                    told.result.problem = PictureOutcome::NotPrepared;
                    told.result.reason = "cannot write the page " + file.string() + ": Permission denied";
                }
                return SendMessage(kSocket, {Kind::Page, static_cast<uint32_t>(part), told});
            });
        SendMessage(kSocket, {Kind::Done, 0, {}});
    }
    return 0;
}
