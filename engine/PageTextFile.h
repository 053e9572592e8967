#pragma once

#include "PageText.h"

#include <filesystem>
#include <optional>
#include <string>

// The recognised text of a prepared page travels to the PDF stage in the
// page's side file ("n.json" beside "n.jpg"), under its own key, so that it
// sits beside whatever else the side file tells about the page.

// Adds `text` to the side file of `page`, keeping what the file already
// holds. The file is replaced in one step, so a reader never sees half of it.
// Empty on success, otherwise why not, for the user.
std::string StorePageText(const std::filesystem::path& page, const PageText& text);

struct PageTextRead {
    std::optional<PageText> text; // empty when the page has no recognised text
    std::string error;            // set when a side file exists but cannot be trusted
};

// The recognised text of `page`, if the preparation stored any.
PageTextRead LoadPageText(const std::filesystem::path& page);
