#include "MultiPageTiff.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <tiffio.h>

void WriteMultiPageTiff(const std::filesystem::path& path, const std::vector<TiffTestPage>& pages) {
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(TIFFOpen(path.c_str(), "w"), &TIFFClose);
    if (!tiff) {
        throw std::runtime_error("cannot write " + path.string());
    }
    for (const TiffTestPage& page : pages) {
        TIFF* t = tiff.get();
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, page.subfileType);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t{3});
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t{8});
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
        if (page.xDpi > 0 && page.yDpi > 0) {
            TIFFSetField(t, TIFFTAG_XRESOLUTION, page.xDpi);
            TIFFSetField(t, TIFFTAG_YRESOLUTION, page.yDpi);
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, uint16_t{RESUNIT_INCH});
        }
        if (page.corrupt) {
            std::string garbage(256, '\0');
            for (size_t i = 0; i < garbage.size(); ++i) {
                garbage[i] = static_cast<char>(i * 37 + 11);
            }
            TIFFWriteRawStrip(t, 0, garbage.data(), static_cast<tmsize_t>(garbage.size()));
        } else {
            std::string row;
            for (int x = 0; x < page.width; ++x) {
                row.append(reinterpret_cast<const char*>(page.rgb.data()), 3);
            }
            for (int y = 0; y < page.height; ++y) {
                TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
            }
        }
        if (TIFFWriteDirectory(t) != 1) {
            throw std::runtime_error("cannot write a page of " + path.string());
        }
    }
}
