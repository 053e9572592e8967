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

// StretchDIBits and SetDIBitsToDevice: a bitmap with its own colour table,
// placed in logical units.
bool ReadDeviceIndependentBlit(ByteReader& in, uint32_t type, BlitRecord& b) {
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

// The monochrome mask of MaskBlt and PlgBlt, after the source bitmap's fields.
void ReadBlitMask(ByteReader& in, BlitRecord& b) {
    b.xMask = in.I32();
    b.yMask = in.I32();
    in.U32();
    const uint32_t offMaskBmi = in.U32(), cbMaskBmi = in.U32(), offMaskBits = in.U32(), cbMaskBits = in.U32();
    b.maskInfo = in.Slice(offMaskBmi, cbMaskBmi);
    b.maskBits = in.Slice(offMaskBits, cbMaskBits);
}

bool ReadPlgBlt(ByteReader& in, BlitRecord& b) {
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
    ReadBlitMask(in, b);
    b.info = in.Slice(offBmi, cbBmi);
    b.bits = in.Slice(offBits, cbBits);
    return in.ok();
}

// BitBlt, StretchBlt, AlphaBlend, TransparentBlt and MaskBlt: a bitmap taken
// from a source device, whose transform says where the source rectangle lies.
bool ReadDeviceBlit(ByteReader& in, uint32_t type, BlitRecord& b) {
    b.xDest = in.I32();
    b.yDest = in.I32();
    b.cxDest = in.I32();
    b.cyDest = in.I32();
    b.rop = in.U32();
    b.xSrc = in.I32();
    b.ySrc = in.I32();
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
        ReadBlitMask(in, b);
    }
    b.info = in.Slice(offBmi, cbBmi);
    b.bits = in.Slice(offBits, cbBits);
    return in.ok();
}

bool ReadBlit(ByteReader in, uint32_t type, BlitRecord& b) {
    in.Seek(24);
    if (type == kEmrStretchDiBits || type == kEmrSetDiBitsToDevice) {
        return ReadDeviceIndependentBlit(in, type, b);
    }
    if (type == kEmrPlgBlt) {
        return ReadPlgBlt(in, b);
    }
    return ReadDeviceBlit(in, type, b);
}

// Where the blit draws on the page: its destination rectangle or parallelogram.
Path BlitArea(const BlitRecord& b, const cairo_matrix_t& toOutput) {
    Path p;
    if (b.parallelogram) {
        const Point fourth{b.corners[1].x + b.corners[2].x - b.corners[0].x,
                           b.corners[1].y + b.corners[2].y - b.corners[0].y};
        p.MoveTo(Apply(toOutput, b.corners[0]));
        p.LineTo(Apply(toOutput, b.corners[1]));
        p.LineTo(Apply(toOutput, fourth));
        p.LineTo(Apply(toOutput, b.corners[2]));
    } else {
        p.MoveTo(Apply(toOutput, {b.xDest, b.yDest}));
        p.LineTo(Apply(toOutput, {b.xDest + b.cxDest, b.yDest}));
        p.LineTo(Apply(toOutput, {b.xDest + b.cxDest, b.yDest + b.cyDest}));
        p.LineTo(Apply(toOutput, {b.xDest, b.yDest + b.cyDest}));
    }
    p.Close();
    return p;
}

// From the decoded pixels to the page: undo any sampling of a large bitmap,
// pick the source rectangle, stretch it onto the destination.
cairo_matrix_t BlitPictureToOutput(const BlitRecord& b, const DibShape& shape, cairo_surface_t* picture,
                                   double sourceTop, const cairo_matrix_t& toOutput) {
    const double pixelScaleX = static_cast<double>(shape.width) / cairo_image_surface_get_width(picture);
    const double pixelScaleY = static_cast<double>(shape.height) / cairo_image_surface_get_height(picture);
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
    return Then(Then(Then(Then(sampling, pick), stretch), place), toOutput);
}

// TransparentBlt: pixels of the key colour are left out.
void ClearTransparentColour(cairo_surface_t* picture, uint32_t colorRef) {
    const uint32_t key =
        0xFF000000u | ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
    ChangePixels(picture, [&](uint32_t p, int, int) { return p == key ? 0u : p; });
}

// MaskBlt and PlgBlt: where the mask is 0 the destination stays as it was.
void ApplyBlitMask(cairo_surface_t* picture, const BlitRecord& b, double sourceTop) {
    DibRequest maskRequest;
    maskRequest.info = b.maskInfo;
    maskRequest.bits = b.maskBits;
    const MonochromeColours blackWhite{0x000000, 0xFFFFFF};
    maskRequest.monochrome = &blackWhite;
    Surface mask = DecodeDib(maskRequest);
    if (!mask) {
        return;
    }
    const int mw = cairo_image_surface_get_width(mask.get()), mh = cairo_image_surface_get_height(mask.get());
    cairo_surface_flush(mask.get());
    const unsigned char* m = cairo_image_surface_get_data(mask.get());
    const int stride = cairo_image_surface_get_stride(mask.get());
    // A record may put the mask far beyond any int's reach of the source:
    // bound the offsets before they become integers.
    auto offset = [](double d) { return static_cast<int64_t>(std::clamp(d, -1e9, 1e9)); };
    const int64_t dx = offset(b.xMask - b.xSrc), dy = offset(b.yMask - sourceTop);
    ChangePixels(picture, [&](uint32_t p, int x, int y) {
        const int64_t mx = x + dx, my = y + dy;
        if (mx < 0 || my < 0 || mx >= mw || my >= mh) {
            return 0u;
        }
        const uint32_t bit = reinterpret_cast<const uint32_t*>(m + static_cast<size_t>(my) * stride)[mx];
        return (bit & 0xFF) >= 128 ? p : 0u;
    });
}

// The source bitmap, in the colours GDI gives it. GDI paints a monochrome
// bitmap copied onto a colour device in the text and background colours;
// StretchDIBits keeps the bitmap's own colours.
Surface DecodeBlitSource(const BlitRecord& b, uint32_t textColour, uint32_t backgroundColour) {
    const MonochromeColours dcColours = MonochromeColours::FromColorRefs(textColour, backgroundColour);
    const MonochromeColours blackWhite{0x000000, 0xFFFFFF};
    const bool maskRop =
        RopCode(b.rop) == RopCode(kPatWhereSourceBlack) || RopCode(b.rop) == RopCode(kPatWhereSourceWhite);
    DibRequest request;
    request.info = b.info;
    request.bits = b.bits;
    request.alpha = b.alphaBlend && b.sourceAlpha ? DibAlpha::Premultiplied : DibAlpha::Ignored;
    request.monochrome = maskRop ? &blackWhite : b.deviceIndependent ? nullptr : &dcColours;
    return DecodeDib(request);
}

// How the source combines with what is on the page.
cairo_operator_t BlitOperator(uint32_t rop) {
    switch (rop) {
    case kSrcPaint:
    case kMergePaint:
        return CAIRO_OPERATOR_LIGHTEN;
    case kSrcAnd:
        return CAIRO_OPERATOR_MULTIPLY;
    case kSrcInvert:
        return CAIRO_OPERATOR_DIFFERENCE;
    default:
        return CAIRO_OPERATOR_OVER;
    }
}

// Whether a stretched source is smoothed. Only the halftone mode smooths, and
// never a source that is combined with the page (AND, OR, XOR): those are the
// masks and images of transparency drawn in two blits, whose pixels must meet
// exactly, or the mask's softened edge shows as a grey outline.
bool SmoothsWhenStretched(uint32_t rop, int stretchMode) {
    constexpr int kHalftone = 4;
    return stretchMode == kHalftone && BlitOperator(rop) == CAIRO_OPERATOR_OVER;
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
    const Path area = BlitArea(b, LogicalToOutput());
    if (b.info.empty()) {
        if (!UsesSource(b.rop) && !b.parallelogram) {
            FillRectWithRop(area, b.rop);
        } else {
            target_.report.Undrawn(); // a source operation without a source
        }
        return;
    }
    DibShape shape;
    Surface picture;
    if (!ReadDibShape(b.info, shape) ||
        !(picture = DecodeBlitSource(b, state_.textColour, state_.backgroundColour))) {
        target_.report.Undrawn();
        return;
    }
    double sourceTop = b.ySrc;
    if (b.deviceIndependent && !shape.topDown) {
        sourceTop = static_cast<double>(shape.height) - b.ySrc - b.cySrc; // counted from the bottom row
    }
    if (b.cxSrc == 0 || b.cySrc == 0) {
        return;
    }
    const cairo_matrix_t pictureToOutput =
        BlitPictureToOutput(b, shape, picture.get(), sourceTop, LogicalToOutput());
    if (b.transparentColour) {
        ClearTransparentColour(picture.get(), b.transparent);
    }
    if (!b.maskInfo.empty()) {
        ApplyBlitMask(picture.get(), b, sourceTop);
    }
    switch (b.rop) {
    case kPatWhereSourceBlack:
    case kPatWhereSourceWhite: {
        Surface mask = BrightnessMask(picture.get(), b.rop == kPatWhereSourceBlack);
        target_.canvas.MaskedFill(CurrentFill(), mask.get(), pictureToOutput, area,
                                  SmoothsWhenStretched(b.rop, state_.stretchMode), state_.clip);
        return;
    }
    case kNotSrcCopy:
    case kMergePaint:
        ChangePixels(picture.get(),
                     [](uint32_t p, int, int) { return (p & 0xFF000000u) | (~p & 0x00FFFFFFu); });
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
    target_.canvas.DrawPicture(picture.get(), pictureToOutput, area, BlitOperator(b.rop),
                               b.alphaBlend ? b.constantAlpha : 1.0,
                               SmoothsWhenStretched(b.rop, state_.stretchMode), state_.clip);
}

} // namespace metafile
