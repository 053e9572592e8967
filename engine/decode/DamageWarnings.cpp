#include "DamageWarnings.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

// After jpeglib.h: which warnings exist depends on its version.
#include <jerror.h>

namespace {

// libjpeg's warnings about the coded picture data itself.
bool IsDamageCode(int code) {
    switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
        return true;
    default:
        return false;
    }
}

// The same warnings by their text, as other programs pass them on (libtiff's
// JPEG codec, libvips' first-warning line), with libpng's and libtiff's own
// words for missing data.
constexpr std::array kDamagePhrases = {
    "Corrupt JPEG data: bad arithmetic code",
    "Corrupt JPEG data: premature end of data segment",
    "Corrupt JPEG data: bad Huffman code",
    "Corrupt JPEG data: found marker",
    "Inconsistent progression sequence",
    "Premature end of JPEG file",
    "Not enough image data",
    "Read error on strip",
    "Read error on tile",
    "Read error at scanline",
};

struct Collector {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    JpegScan scan;
};

[[noreturn]] void OnFatal(j_common_ptr info) {
    auto* collector = reinterpret_cast<Collector*>(info->err);
    collector->scan.failed = true;
    std::longjmp(collector->escape, 1);
}

void OnMessage(j_common_ptr info, int level) {
    auto* collector = reinterpret_cast<Collector*>(info->err);
    if (level >= 0) {
        return;
    }
    ++collector->scan.warnings;
    if (!IsDamageCode(info->err->msg_code)) {
        return;
    }
    if (collector->scan.damage++ == 0) {
        char text[JMSG_LENGTH_MAX] = {};
        info->err->format_message(info, text);
        collector->scan.firstDamage = text;
    }
}

// Decodes the whole stream, scaled down, for its warnings only. Kept apart
// from objects with destructors: libjpeg leaves by longjmp on a fatal error.
void ScanForWarnings(std::string_view jpeg, Collector& collector) {
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&collector.manager);
    collector.manager.error_exit = OnFatal;
    collector.manager.emit_message = OnMessage;
    if (setjmp(collector.escape) != 0) {
        jpeg_destroy_decompress(&info);
        return;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

} // namespace

std::string DamageIn(std::string_view warnings) {
    std::string damage;
    for (size_t start = 0; start < warnings.size();) {
        size_t end = warnings.find('\n', start);
        end = end == std::string_view::npos ? warnings.size() : end;
        const std::string_view line = warnings.substr(start, end - start);
        for (const char* phrase : kDamagePhrases) {
            if (line.find(phrase) != std::string_view::npos) {
                damage += (damage.empty() ? "" : "\n") + std::string(line);
                break;
            }
        }
        start = end + 1;
    }
    return damage;
}

JpegScan ScanJpeg(std::string_view jpeg) {
    Collector collector;
    ScanForWarnings(jpeg, collector);
    return collector.scan;
}

std::string JpegDataDamage(std::string_view jpeg) {
    const JpegScan scan = ScanJpeg(jpeg);
    if (scan.damage == 0) {
        return {};
    }
    std::string text = scan.firstDamage;
    if (scan.damage > 1) {
        text += " (and " + std::to_string(scan.damage - 1) + " more warning" + (scan.damage > 2 ? "s" : "") +
                " of damage)";
    }
    return text;
}
