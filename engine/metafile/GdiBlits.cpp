// The bitmap records of the GDI player: BitBlt, StretchBlt, StretchDIBits,
// SetDIBitsToDevice, AlphaBlend, TransparentBlt, MaskBlt and PlgBlt, with
// the raster operations that metafiles use in practice.
#include "GdiPlayer.h"

#include "Dib.h"
#include "RecordTypes.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

// Ternary raster operations by name: D destination, S source, P pattern (brush).
constexpr uint32_t kSrcCopy = 0xCC0020, kSrcPaint = 0xEE0086, kSrcAnd = 0x8800C6, kSrcInvert = 0x660046,
                   kNotSrcCopy = 0x330008, kMergePaint = 0xBB0226, kPatCopy = 0xF00021, kPatInvert = 0x5A0049,
                   kDstInvert = 0x550009, kBlackness = 0x000042, kWhiteness = 0xFF0062, kDstCopy = 0xAA0029,
                   kPatWhereSourceBlack = 0xB8074A, kPatWhereSourceWhite = 0xE20746;

uint32_t RopCode(uint32_t rop) {
    return rop & 0x00FF0000;
} // the operation index is in the third byte

bool UsesSource(uint32_t rop) {
    const uint32_t index = RopCode(rop) >> 16;
    // The source matters when the result differs between S = 0 and S = 1.
    return ((index >> 2) & 0x33) != (index & 0x33);
}

// A surface whose alpha is `source`'s brightness (or its inverse): where a
// monochrome bitmap is white (or black), the mask lets paint through.
Surface BrightnessMask(cairo_surface_t* source, bool invert) {
    const int w = cairo_image_surface_get_width(source), h = cairo_image_surface_get_height(source);
    Surface mask = NewSurface(w, h);
    if (!mask) {
        return nullptr;
    }
    cairo_surface_flush(source);
    cairo_surface_flush(mask.get());
    const unsigned char* in = cairo_image_surface_get_data(source);
    unsigned char* out = cairo_image_surface_get_data(mask.get());
    const int inStride = cairo_image_surface_get_stride(source),
              outStride = cairo_image_surface_get_stride(mask.get());
    for (int y = 0; y < h; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(in + static_cast<size_t>(y) * inStride);
        auto* to = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * outStride);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = from[x];
            uint32_t level = (((p >> 16) & 0xFF) * 77 + ((p >> 8) & 0xFF) * 150 + (p & 0xFF) * 29) >> 8;
            if (invert) {
                level = 255 - level;
            }
            to[x] = level * 0x01010101u;
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
}

template <typename Change> void ChangePixels(cairo_surface_t* surface, Change change) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            row[x] = change(row[x], x, y);
        }
    }
    cairo_surface_mark_dirty(surface);
}

struct BlitRecord {
    double xDest = 0, yDest = 0, cxDest = 0, cyDest = 0;
    double xSrc = 0, ySrc = 0, cxSrc = 0, cySrc = 0;
    uint32_t rop = kSrcCopy;
    std::string_view info, bits;
    bool deviceIndependent = false; // StretchDIBits: rows counted from the bottom, colour table kept
    // AlphaBlend
    bool alphaBlend = false;
    double constantAlpha = 1;
    bool sourceAlpha = false;
    // TransparentBlt
    bool transparentColour = false;
    uint32_t transparent = 0;
    // MaskBlt
    std::string_view maskInfo, maskBits;
    double xMask = 0, yMask = 0;
    // PlgBlt: the destination parallelogram
    bool parallelogram = false;
    Point corners[3];
};

bool ReadBlit(ByteReader in, uint32_t type, BlitRecord& b) {
    in.Seek(24);
    if (type == kEmrStretchDiBits || type == kEmrSetDiBitsToDevice) {
        b.deviceIndependent = true;
        b.xDest = in.I32();
        b.yDest = in.I32();
        b.xSrc = in.I32();
        b.ySrc = in.I32();
        b.cxSrc = in.I32();
        b.cySrc = in.I32();
        const uint32_t offBmi = in.U32(), cbBmi = in.U32(), offBits = in.U32(), cbBits = in.U32();
        in.U32(); // usage
        if (type == kEmrStretchDiBits) {
            b.rop = in.U32();
            b.cxDest = in.I32();
            b.cyDest = in.I32();
        } else {
            b.cxDest = b.cxSrc;
            b.cyDest = b.cySrc;
        }
        b.info = in.Slice(offBmi, cbBmi);
        b.bits = in.Slice(offBits, cbBits);
        return in.ok();
    }
    if (type == kEmrPlgBlt) {
        b.parallelogram = true;
        for (Point& corner : b.corners) {
            corner.x = in.I32();
            corner.y = in.I32();
        }
        b.xSrc = in.I32();
        b.ySrc = in.I32();
        b.cxSrc = in.I32();
        b.cySrc = in.I32();
        in.Skip(24 + 4 + 4); // source transform, background colour, usage
        const uint32_t offBmi = in.U32(), cbBmi = in.U32(), offBits = in.U32(), cbBits = in.U32();
        b.xMask = in.I32();
        b.yMask = in.I32();
        in.U32();
        const uint32_t offMaskBmi = in.U32(), cbMaskBmi = in.U32(), offMaskBits = in.U32(),
                       cbMaskBits = in.U32();
        b.info = in.Slice(offBmi, cbBmi);
        b.bits = in.Slice(offBits, cbBits);
        b.maskInfo = in.Slice(offMaskBmi, cbMaskBmi);
        b.maskBits = in.Slice(offMaskBits, cbMaskBits);
        return in.ok();
    }
    b.xDest = in.I32();
    b.yDest = in.I32();
    b.cxDest = in.I32();
    b.cyDest = in.I32();
    b.rop = in.U32();
    b.xSrc = in.I32();
    b.ySrc = in.I32();
    // The source device's transform: it maps the source rectangle onto the bitmap.
    cairo_matrix_t source;
    const bool usable = ReadMatrix(in, source) && source.xx != 0 && source.yy != 0;
    in.Skip(4 + 4); // background colour, usage
    const uint32_t offBmi = in.U32(), cbBmi = in.U32(), offBits = in.U32(), cbBits = in.U32();
    b.cxSrc = b.cxDest;
    b.cySrc = b.cyDest;
    if (type == kEmrStretchBlt || type == kEmrAlphaBlend || type == kEmrTransparentBlt) {
        b.cxSrc = in.I32();
        b.cySrc = in.I32();
    }
    if (usable) {
        const Point at = Apply(source, {b.xSrc, b.ySrc});
        b.xSrc = at.x;
        b.ySrc = at.y;
        b.cxSrc *= source.xx;
        b.cySrc *= source.yy;
    }
    if (type == kEmrAlphaBlend) {
        // The raster operation's place holds the blend function.
        b.alphaBlend = true;
        b.constantAlpha = ((b.rop >> 16) & 0xFF) / 255.0;
        b.sourceAlpha = ((b.rop >> 24) & 0x01) != 0;
        b.rop = kSrcCopy;
    }
    if (type == kEmrTransparentBlt) {
        b.transparentColour = true;
        b.transparent = b.rop & 0xFFFFFF;
        b.rop = kSrcCopy;
    }
    if (type == kEmrMaskBlt) {
        b.xMask = in.I32();
        b.yMask = in.I32();
        in.U32();
        const uint32_t offMaskBmi = in.U32(), cbMaskBmi = in.U32(), offMaskBits = in.U32(),
                       cbMaskBits = in.U32();
        b.maskInfo = in.Slice(offMaskBmi, cbMaskBmi);
        b.maskBits = in.Slice(offMaskBits, cbMaskBits);
    }
    b.info = in.Slice(offBmi, cbBmi);
    b.bits = in.Slice(offBits, cbBits);
    return in.ok();
}

} // namespace

bool GdiPlayer::PlayBitmaps(uint32_t type, ByteReader in) {
    switch (type) {
    case kEmrBitBlt:
    case kEmrStretchBlt:
    case kEmrStretchDiBits:
    case kEmrSetDiBitsToDevice:
    case kEmrAlphaBlend:
    case kEmrTransparentBlt:
    case kEmrMaskBlt:
    case kEmrPlgBlt:
        Blit(in, type);
        return true;
    default:
        return false;
    }
}

void GdiPlayer::FillRectWithRop(const Path& area, uint32_t rop) {
    Paint paint;
    switch (rop) {
    case kPatCopy:
        paint = CurrentFill();
        break;
    case kPatInvert:
        paint = CurrentFill();
        paint.op = CAIRO_OPERATOR_DIFFERENCE;
        break;
    case kDstInvert:
        paint = Paint::Solid({1, 1, 1, 1});
        paint.op = CAIRO_OPERATOR_DIFFERENCE;
        break;
    case kBlackness:
        paint = Paint::Solid({0, 0, 0, 1});
        break;
    case kWhiteness:
        paint = Paint::Solid({1, 1, 1, 1});
        break;
    case kDstCopy:
        return;
    default:
        paint = CurrentFill(); // other pattern operations: the pattern is what shows
        break;
    }
    target_.canvas.Fill(area, CAIRO_FILL_RULE_WINDING, paint, state_.clip);
}

void GdiPlayer::Blit(ByteReader in, uint32_t type) {
    BlitRecord b;
    if (!ReadBlit(in, type, b)) {
        target_.report.Undrawn();
        return;
    }
    if (inBracket_) {
        return;
    }
    const Path area = b.parallelogram
                          ? [&] {
                                Path p;
                                const Point fourth{b.corners[1].x + b.corners[2].x - b.corners[0].x,
                                                   b.corners[1].y + b.corners[2].y - b.corners[0].y};
                                p.MoveTo(ToOutput(b.corners[0]));
                                p.LineTo(ToOutput(b.corners[1]));
                                p.LineTo(ToOutput(fourth));
                                p.LineTo(ToOutput(b.corners[2]));
                                p.Close();
                                return p;
                            }()
                          : RectPath(b.xDest, b.yDest, b.xDest + b.cxDest, b.yDest + b.cyDest);
    if (b.info.empty()) {
        if (!UsesSource(b.rop) && !b.parallelogram) {
            FillRectWithRop(area, b.rop);
        } else {
            target_.report.Undrawn(); // a source operation without a source
        }
        return;
    }
    DibShape shape;
    if (!ReadDibShape(b.info, shape)) {
        target_.report.Undrawn();
        return;
    }
    // GDI paints a monochrome bitmap copied onto a colour device in the text
    // and background colours; StretchDIBits keeps the bitmap's own colours.
    const MonochromeColours dcColours =
        MonochromeColours::FromColorRefs(state_.textColour, state_.backgroundColour);
    const MonochromeColours blackWhite{0x000000, 0xFFFFFF};
    const bool maskRop =
        RopCode(b.rop) == RopCode(kPatWhereSourceBlack) || RopCode(b.rop) == RopCode(kPatWhereSourceWhite);
    DibRequest request;
    request.info = b.info;
    request.bits = b.bits;
    request.alpha = b.alphaBlend && b.sourceAlpha ? DibAlpha::Premultiplied : DibAlpha::Ignored;
    request.monochrome = maskRop ? &blackWhite : b.deviceIndependent ? nullptr : &dcColours;
    Surface picture = DecodeDib(request);
    if (!picture) {
        target_.report.Undrawn();
        return;
    }
    // From the decoded pixels to the page: undo any sampling of a large
    // bitmap, pick the source rectangle, stretch it onto the destination.
    const double pixelScaleX =
        static_cast<double>(shape.width) / cairo_image_surface_get_width(picture.get());
    const double pixelScaleY =
        static_cast<double>(shape.height) / cairo_image_surface_get_height(picture.get());
    double sourceTop = b.ySrc;
    if (b.deviceIndependent && !shape.topDown) {
        sourceTop = static_cast<double>(shape.height) - b.ySrc - b.cySrc; // counted from the bottom row
    }
    if (b.cxSrc == 0 || b.cySrc == 0) {
        return;
    }
    cairo_matrix_t sampling, pick, stretch, place;
    cairo_matrix_init_scale(&sampling, pixelScaleX, pixelScaleY);
    cairo_matrix_init_translate(&pick, -b.xSrc, -sourceTop);
    if (b.parallelogram) {
        const Point& p0 = b.corners[0];
        cairo_matrix_init(&stretch, (b.corners[1].x - p0.x) / b.cxSrc, (b.corners[1].y - p0.y) / b.cxSrc,
                          (b.corners[2].x - p0.x) / b.cySrc, (b.corners[2].y - p0.y) / b.cySrc, p0.x, p0.y);
        cairo_matrix_init_identity(&place);
    } else {
        cairo_matrix_init_scale(&stretch, b.cxDest / b.cxSrc, b.cyDest / b.cySrc);
        cairo_matrix_init_translate(&place, b.xDest, b.yDest);
    }
    const cairo_matrix_t pictureToOutput =
        Then(Then(Then(Then(sampling, pick), stretch), place), LogicalToOutput());

    if (b.transparentColour) {
        const uint32_t key = 0xFF000000u | ((b.transparent & 0xFF) << 16) | (b.transparent & 0xFF00) |
                             ((b.transparent >> 16) & 0xFF);
        ChangePixels(picture.get(), [&](uint32_t p, int, int) { return p == key ? 0u : p; });
    }
    if (!b.maskInfo.empty()) {
        DibRequest maskRequest;
        maskRequest.info = b.maskInfo;
        maskRequest.bits = b.maskBits;
        maskRequest.monochrome = &blackWhite;
        Surface mask = DecodeDib(maskRequest);
        if (mask) {
            const int mw = cairo_image_surface_get_width(mask.get()),
                      mh = cairo_image_surface_get_height(mask.get());
            cairo_surface_flush(mask.get());
            const unsigned char* m = cairo_image_surface_get_data(mask.get());
            const int stride = cairo_image_surface_get_stride(mask.get());
            const int dx = static_cast<int>(b.xMask - b.xSrc), dy = static_cast<int>(b.yMask - sourceTop);
            // Where the mask is 0 the destination stays as it was.
            ChangePixels(picture.get(), [&](uint32_t p, int x, int y) {
                const int mx = x + dx, my = y + dy;
                if (mx < 0 || my < 0 || mx >= mw || my >= mh) {
                    return 0u;
                }
                const uint32_t bit =
                    reinterpret_cast<const uint32_t*>(m + static_cast<size_t>(my) * stride)[mx];
                return (bit & 0xFF) >= 128 ? p : 0u;
            });
        }
    }

    const bool smooth = true;
    switch (b.rop) {
    case kPatWhereSourceBlack:
    case kPatWhereSourceWhite: {
        Surface mask = BrightnessMask(picture.get(), b.rop == kPatWhereSourceBlack);
        target_.canvas.MaskedFill(CurrentFill(), mask.get(), pictureToOutput, area, state_.clip);
        return;
    }
    case kNotSrcCopy:
    case kMergePaint:
        ChangePixels(picture.get(),
                     [](uint32_t p, int, int) { return (p & 0xFF000000u) | (~p & 0x00FFFFFFu); });
        break;
    default:
        break;
    }
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    switch (b.rop) {
    case kSrcPaint:
    case kMergePaint:
        op = CAIRO_OPERATOR_LIGHTEN;
        break;
    case kSrcAnd:
        op = CAIRO_OPERATOR_MULTIPLY;
        break;
    case kSrcInvert:
        op = CAIRO_OPERATOR_DIFFERENCE;
        break;
    case kDstCopy:
        return;
    default:
        break;
    }
    if (!UsesSource(b.rop)) {
        FillRectWithRop(area, b.rop);
        return;
    }
    target_.canvas.DrawPicture(picture.get(), pictureToOutput, area, op, b.alphaBlend ? b.constantAlpha : 1.0,
                               smooth, state_.clip);
}

} // namespace metafile
