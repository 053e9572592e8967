#include "BilevelPage.h"

#include "NormalizeImage.h"
#include "TiffOpen.h"
#include "VipsRuntime.h"

#include <tiffio.h>
#include <vips/vips8>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// One bit a pixel, rows padded to whole bytes, 1 for black: how libtiff's
// Group 4 codec takes a picture whose smallest value is white.
std::vector<uint8_t> PackBlackAsOne(const uint8_t* grey, int width, int height) {
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    std::vector<uint8_t> packed(rowBytes * height, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = grey + static_cast<size_t>(y) * width;
        uint8_t* out = packed.data() + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            if (row[x] < 128) {
                out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
        }
    }
    return packed;
}

// The Group 4 data of `packed`, a picture of width x height; throws why not.
std::string EncodeGroup4(std::vector<uint8_t>& packed, int width, int height) {
    // The codec is only reachable through a TIFF, and its one strip is all
    // the page keeps.
    TiffInMemory file;
    const TiffHandle tiff = OpenTiffInMemory(file, "page", "w");
    if (!tiff) {
        throw std::runtime_error(LibtiffReason("libtiff could not begin a Group 4 picture"));
    }
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
    if (TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) != 1) {
        throw std::runtime_error("this libtiff has no Group 4 codec");
    }
    // The strip goes out as it is encoded; the directory written after it is of no use here.
    if (TIFFWriteEncodedStrip(t, 0, packed.data(), static_cast<tmsize_t>(packed.size())) < 0) {
        const std::string why = TakeVipsError();
        throw std::runtime_error("libtiff could not encode the page as Group 4" +
                                 (why.empty() ? "" : ": " + why));
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    if (TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) != 1 ||
        TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || offsets == nullptr || counts == nullptr ||
        counts[0] == 0 || offsets[0] + counts[0] > file.bytes.size()) {
        throw std::runtime_error("libtiff wrote no Group 4 data for the page");
    }
    return file.bytes.substr(offsets[0], counts[0]);
}

} // namespace

std::string StoreBilevelPage(const std::filesystem::path& destination, _VipsImage* picture,
                             StreamCoding& coding, uint64_t* diskFullNeeding) {
    EnsureVipsStarted();
    std::string data;
    try {
        vips::VImage grey(picture, vips::NOSTEAL);
        if (grey.bands() > 1) {
            grey = grey.extract_band(0);
        }
        grey = grey.cast(VIPS_FORMAT_UCHAR);
        size_t size = 0;
        std::unique_ptr<uint8_t, decltype(&g_free)> pixels(
            static_cast<uint8_t*>(vips_image_write_to_memory(grey.get_image(), &size)), &g_free);
        if (!pixels) {
            throw std::runtime_error(TakeVipsError());
        }
        std::vector<uint8_t> packed = PackBlackAsOne(pixels.get(), grey.width(), grey.height());
        pixels.reset();
        data = EncodeGroup4(packed, grey.width(), grey.height());
    } catch (const vips::VError&) {
        return "the black-and-white page could not be made: " + TakeVipsError();
    } catch (const std::exception& error) {
        return std::string("the black-and-white page could not be made: ") + error.what();
    }
    std::string stored = StorePage(destination, data, diskFullNeeding);
    if (stored.empty()) {
        coding = StreamCoding{StreamCoding::Filter::G4, 1, 1, false, false, {}};
    }
    return stored;
}

KeptJpeg OverWholePage(int32_t width, int32_t height, const StreamCoding& coding) {
    KeptJpeg whole;
    whole.width = width;
    whole.height = height;
    whole.pageWidth = width;
    whole.pageHeight = height;
    whole.place = {0, 0, width, height};
    whole.coding = coding;
    return whole;
}
