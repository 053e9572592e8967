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

json CodingToJson(const StreamCoding& coding) {
    return {{"filter", static_cast<int>(coding.filter)},
            {"components", coding.components},
            {"bits", coding.bits},
            {"pngPredictors", coding.pngPredictors},
            {"blackIs1", coding.blackIs1},
            {"palette", std::vector<uint8_t>(coding.palette.begin(), coding.palette.end())}};
}

// Only what a PDF image can be: a reader shown anything else would show noise.
StreamCoding ReadCoding(const json& in) {
    StreamCoding coding;
    coding.filter = static_cast<StreamCoding::Filter>(
        Bounded(in, "filter", 0, static_cast<int>(StreamCoding::Filter::Jpx)));
    coding.components = Bounded(in, "components", 1, 3);
    coding.bits = Bounded(in, "bits", 1, 16);
    coding.pngPredictors = in.at("pngPredictors").get<bool>();
    coding.blackIs1 = in.at("blackIs1").get<bool>();
    const auto palette = in.at("palette").get<std::vector<uint8_t>>();
    coding.palette.assign(palette.begin(), palette.end());
    const int bits = coding.bits;
    const bool depthFits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
    const bool shapeFits = coding.components != 2 && (coding.palette.empty() || coding.components == 1);
    const size_t entries = coding.palette.size() / 3;
    const bool paletteFits = coding.palette.empty() ||
                             (coding.palette.size() % 3 == 0 && bits <= 8 && entries <= (size_t{1} << bits));
    const bool g4Fits = coding.filter != StreamCoding::Filter::G4 || (bits == 1 && coding.components == 1);
    if (!depthFits || !shapeFits || !paletteFits || !g4Fits) {
        throw std::out_of_range("the page's image coding is not one a document can show");
    }
    return coding;
}

KeptJpeg ReadKeptJpeg(const json& in) {
    KeptJpeg kept;
    kept.width = Bounded(in, "width", 1, kMaxJpegSide);
    kept.height = Bounded(in, "height", 1, kMaxJpegSide);
    kept.orientation = Bounded(in, "orientation", 1, 8);
    kept.pageWidth = Bounded(in, "pageWidth", 1, kMaxJpegSide);
    kept.pageHeight = Bounded(in, "pageHeight", 1, kMaxJpegSide);
    const json& place = in.at("place");
    kept.place.left = Bounded(place, "left", 0, kept.pageWidth - 1);
    kept.place.top = Bounded(place, "top", 0, kept.pageHeight - 1);
    kept.place.width = Bounded(place, "width", 1, kept.pageWidth - kept.place.left);
    kept.place.height = Bounded(place, "height", 1, kept.pageHeight - kept.place.top);
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
    if (auto coding = in.find("coding"); coding != in.end()) {
        kept.coding = ReadCoding(*coding);
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
                           {"place",
                            {{"left", kept->place.left},
                             {"top", kept->place.top},
                             {"width", kept->place.width},
                             {"height", kept->place.height}}}};
        if (kept->linked) {
            out["keptJpeg"]["linked"] = {{"bytes", kept->linked->bytes},
                                         {"modifiedNs", kept->linked->modifiedNs},
                                         {"leaveOut", kept->linked->leaveOut}};
        }
        if (kept->coding) {
            out["keptJpeg"]["coding"] = CodingToJson(*kept->coding);
        }
    }
    if (notes.text) {
        out["text"] = PageTextToJson(*notes.text);
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
    } catch (const std::exception& problem) {
        read.notes = {};
        read.error = problem.what();
    }
    return read;
}
