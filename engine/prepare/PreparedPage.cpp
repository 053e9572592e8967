#include "PreparedPage.h"

std::vector<std::vector<const PreparedPage*>> PagesByPicture(const PreparedGroup& group) {
    std::vector<std::vector<const PreparedPage*>> pictures;
    const PreparedPage* previous = nullptr;
    for (const PreparedPage& page : group.pages) {
        if (page.file.empty()) {
            continue;
        }
        if (previous == nullptr || previous->picture != page.picture) {
            pictures.emplace_back();
        }
        pictures.back().push_back(&page);
        previous = &page;
    }
    return pictures;
}
