// A stand-in for quillmark-render whose decoder dies on the second page of
// every picture, each time it is asked for it: such a crash must cost that
// page alone.
#include "RenderPage.h"

#include <cstdlib>

int main() {
    using Kind = RenderMessage::Kind;
    constexpr int kSocket = 3; // as quillmark-render is started
    while (const auto request = ReceiveRequest(kSocket)) {
        RenderPages(
            *request,
            [](size_t count) {
                return SendMessage(kSocket, {Kind::PageCount, static_cast<uint32_t>(count), {}});
            },
            [](size_t part, const NormalizeResult& result) {
                if (part == 1) {
                    std::abort(); // before a word about the page
                }
                return SendMessage(kSocket, {Kind::Page, static_cast<uint32_t>(part), result});
            });
        SendMessage(kSocket, {Kind::Done, 0, {}});
    }
    return 0;
}
