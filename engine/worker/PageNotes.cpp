#include "PageNotes.h"

#include "Utf8.h"

#include <nlohmann/json.hpp>


namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Far beyond anything a worker sends; a larger reply is not ours.
constexpr std::uintmax_t kMaxNotesBytes = 16u << 20;

// The largest side a JPEG can have, for the picture and its page picture alike.
constexpr int64_t kMaxJpegSide = 65535;

// File names need not be UTF-8 here: such a name travels as its bytes.
void PutPath(json& out, const char* key, const fs::path& path) {
    const std::string bytes = path.string();
    if (Utf8ToUtf16(bytes)) {
        out[key] = bytes;
        return;
    }
    out[std::string(key) + "Bytes"] = std::vector<uint8_t>(bytes.begin(), bytes.end());
}

fs::path GetPath(const json& in, const char* key) {
    if (auto text = in.find(key); text != in.end()) {
        return fs::path(text->get<std::string>());
    }
    if (auto bytes = in.find(std::string(key) + "Bytes"); bytes != in.end()) {
        const auto values = bytes->get<std::vector<uint8_t>>();
        return fs::path(std::string(values.begin(), values.end()));
    }
    return {};
}

int32_t Bounded(const json& in, const char* key, int64_t low, int64_t high) {
    const int64_t value = in.at(key).get<int64_t>();
    if (value < low || value > high) {
        throw std::out_of_range(std::string(key) + " is " + std::to_string(value) + ", outside " +
                                std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<int32_t>(value);
}

// A rectangle that lies inside a page picture of `width` x `height` pixels.
PagePlacement ReadPlace(const json& place, int32_t width, int32_t height) {
    PagePlacement read;
    read.left = Bounded(place, "left", 0, width - 1);
    read.top = Bounded(place, "top", 0, height - 1);
    read.width = Bounded(place, "width", 1, width - read.left);
    read.height = Bounded(place, "height", 1, height - read.top);
    return read;
}

json PlaceToJson(const PagePlacement& place) {
    return {{"left", place.left}, {"top", place.top}, {"width", place.width}, {"height", place.height}};
}

VectorPage ReadVectorPage(const json& in) {
    VectorPage page;
    page.pageWidth = Bounded(in, "pageWidth", 1, kMaxJpegSide);
    page.pageHeight = Bounded(in, "pageHeight", 1, kMaxJpegSide);
    page.place = ReadPlace(in.at("place"), page.pageWidth, page.pageHeight);
    return page;
}

KeptJpeg ReadKeptJpeg(const json& in) {
    KeptJpeg kept;
    kept.width = Bounded(in, "width", 1, kMaxJpegSide);
    kept.height = Bounded(in, "height", 1, kMaxJpegSide);
    kept.orientation = Bounded(in, "orientation", 1, 8);
    kept.pageWidth = Bounded(in, "pageWidth", 1, kMaxJpegSide);
    kept.pageHeight = Bounded(in, "pageHeight", 1, kMaxJpegSide);
    kept.place = ReadPlace(in.at("place"), kept.pageWidth, kept.pageHeight);
    if (auto linked = in.find("linked"); linked != in.end()) {
        LinkedSource source;
        source.bytes = linked->at("bytes").get<uint64_t>();
        source.modifiedNs = linked->at("modifiedNs").get<int64_t>();
        uint64_t end = 0;
        for (const json& range : linked->at("leaveOut")) {
            const auto offset = range.at(0).get<uint64_t>();
            const auto length = range.at(1).get<uint64_t>();
            // In order, apart and inside the file: anything else is not ours.
            if (offset < end || length == 0 || length > source.bytes || offset > source.bytes - length) {
                throw std::out_of_range("a part to leave out lies outside the picture");
            }
            end = offset + length;
            source.leaveOut.emplace_back(offset, length);
        }
        kept.linked = std::move(source);
    }
    return kept;
}

} // namespace

std::string PageNotesToJson(const PageNotes& notes) {
    json out = json::object();
    if (!notes.source.empty()) {
        PutPath(out, "source", notes.source);
    }
    if (const auto& kept = notes.keptJpeg) {
        out["keptJpeg"] = {{"width", kept->width},
                           {"height", kept->height},
                           {"orientation", kept->orientation},
                           {"pageWidth", kept->pageWidth},
                           {"pageHeight", kept->pageHeight},
                           {"place", PlaceToJson(kept->place)}};
        if (kept->linked) {
            out["keptJpeg"]["linked"] = {{"bytes", kept->linked->bytes},
                                         {"modifiedNs", kept->linked->modifiedNs},
                                         {"leaveOut", kept->linked->leaveOut}};
        }
    }
    if (notes.text) {
        out["text"] = PageTextToJson(*notes.text);
    }
    if (const auto& vector = notes.vectorPage) {
        out["vectorPage"] = {{"pageWidth", vector->pageWidth},
                             {"pageHeight", vector->pageHeight},
                             {"place", PlaceToJson(vector->place)}};
    }
    return out.dump();
}

PageNotesRead PageNotesFromJson(const std::string& text) {
    PageNotesRead read;
    if (text.size() > kMaxNotesBytes) {
        read.error = "they are too large";
        return read;
    }
    try {
        const json in = json::parse(text);
        read.notes.source = GetPath(in, "source");
        if (auto kept = in.find("keptJpeg"); kept != in.end()) {
            read.notes.keptJpeg = ReadKeptJpeg(*kept);
        }
        if (auto recognised = in.find("text"); recognised != in.end()) {
            read.notes.text = PageTextFromJson(*recognised);
        }
        if (auto vector = in.find("vectorPage"); vector != in.end()) {
            read.notes.vectorPage = ReadVectorPage(*vector);
        }
    } catch (const std::exception& problem) {
        read.notes = {};
        read.error = problem.what();
    }
    return read;
}
