#include "TextPainter.h"

#include "GdiObjects.h"
#include "Playback.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>

namespace metafile {
namespace {

// Text larger than this (in pixels) is drawn at this size: nothing on a page
// needs more, and glyphs rendered larger cost memory for nothing.
constexpr double kLargestEm = 20000;
constexpr double kSmallestEm = 0.05;
constexpr size_t kMostCharacters = 100000;

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;
struct DescriptionDeleter {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
using Description = std::unique_ptr<PangoFontDescription, DescriptionDeleter>;

Description Describe(const FontSpec& font, double size) {
    Description description(pango_font_description_new());
    pango_font_description_set_family(description.get(),
                                      font.face.empty() ? "sans-serif" : font.face.c_str());
    pango_font_description_set_weight(
        description.get(),
        static_cast<PangoWeight>(std::clamp(font.weight == 0 ? 400 : font.weight, 100, 1000)));
    pango_font_description_set_style(description.get(),
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(description.get(),
                                             std::clamp(size, kSmallestEm, kLargestEm) * PANGO_SCALE);
    return description;
}

// The text as Pango takes it: UTF-8 without NULs (which end its text), and
// no longer than any line needs to be.
std::string PangoText(const std::u32string& text) {
    std::u32string kept;
    for (char32_t c : text.substr(0, kMostCharacters)) {
        if (c != 0) {
            kept += c;
        }
    }
    return ToUtf8(kept);
}

// A layout on `cr` with its current transformation, unhinted so that text
// keeps its width at every scale and angle.
Layout NewLayout(cairo_t* cr, const FontSpec& font, double size, const std::string& utf8) {
    Layout layout(pango_cairo_create_layout(cr));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout.get());
    const Description description = Describe(font, size);
    pango_layout_set_font_description(layout.get(), description.get());
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.underline) {
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    if (font.strikeOut) {
        pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    }
    pango_layout_set_attributes(layout.get(), attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_text(layout.get(), utf8.data(), static_cast<int>(utf8.size()));
    return layout;
}

double Baseline(PangoLayout* layout) {
    return pango_layout_get_baseline(layout) / double(PANGO_SCALE);
}

void SetColour(cairo_t* cr, Rgba colour) {
    cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, colour.a);
}

// Scripts whose letters join or reorder: they are shaped as a whole, never
// placed one character at a time.
bool NeedsShaping(const std::u32string& text) {
    return std::any_of(text.begin(), text.end(), [](char32_t c) {
        return (c >= 0x0590 && c <= 0x08FF) || (c >= 0x0900 && c <= 0x0DFF) || (c >= 0x0E00 && c <= 0x0FFF) ||
               (c >= 0x1000 && c <= 0x109F) || (c >= 0xFB1D && c <= 0xFEFF);
    });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The installed font of `font`'s face itself, when there is one: glyph
// indices only mean something in the face they were taken from.
cairo_scaled_font_t* ExactFace(PangoLayout* layout, const FontSpec& font, double size) {
    PangoContext* context = pango_layout_get_context(layout);
    const Description description = Describe(font, size);
    PangoFont* loaded = pango_context_load_font(context, description.get());
    if (loaded == nullptr) {
        return nullptr;
    }
    const Description found(pango_font_describe(loaded));
    const char* family = pango_font_description_get_family(found.get());
    cairo_scaled_font_t* scaled = nullptr;
    if (family != nullptr && Lower(family) == Lower(font.face)) {
        scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(loaded));
        if (scaled != nullptr) {
            cairo_scaled_font_reference(scaled);
        }
    }
    g_object_unref(loaded);
    return scaled;
}

bool UsableMatrix(const cairo_matrix_t& m, double& scale) {
    scale = std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
    return std::isfinite(scale) && scale > 1e-9 && scale < 1e9;
}

// Prepares `canvas` for text laid out in pixels (box units times `scale`)
// and turned and skewed by what remains of the box's transformation. False,
// with nothing changed, when the transformation or the size cannot be drawn;
// otherwise the caller restores the context.
bool BeginBox(Canvas& canvas, const Clip& clip, const cairo_matrix_t& boxToOutput, double emSizeInBoxUnits,
              double& scale) {
    if (!UsableMatrix(boxToOutput, scale) || !(emSizeInBoxUnits * scale >= kSmallestEm)) {
        return false;
    }
    cairo_t* cr = canvas.cr();
    canvas.ApplyClip(clip);
    cairo_save(cr);
    cairo_matrix_t unscale;
    cairo_matrix_init_scale(&unscale, 1 / scale, 1 / scale);
    const cairo_matrix_t pixelsToOutput = Then(unscale, boxToOutput);
    cairo_set_matrix(cr, &pixelsToOutput);
    return true;
}

} // namespace

double EmSizeForCellHeight(const FontSpec& font, double cellHeight) {
    static thread_local std::map<std::string, double> emPerCell;
    const std::string key = Lower(font.face) + (font.weight > 550 ? "/b" : "") + (font.italic ? "/i" : "");
    auto found = emPerCell.find(key);
    if (found == emPerCell.end()) {
        PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
        const Description description = Describe(font, 1000);
        PangoFontMetrics* metrics = pango_context_get_metrics(context, description.get(), nullptr);
        const double cell =
            (pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics)) /
            double(PANGO_SCALE);
        pango_font_metrics_unref(metrics);
        g_object_unref(context);
        found = emPerCell.emplace(key, cell > 100 && cell < 10000 ? 1000.0 / cell : 0.87).first;
    }
    return cellHeight * found->second;
}

namespace {

// Where each character or glyph starts along the baseline, and the advance of
// the whole line: the record's own advances when it gives them all, else the
// face's.
double LayOutLine(const GdiText& text, bool placed, PangoLayout* whole, cairo_scaled_font_t* face,
                  std::vector<double>& xs) {
    double advance = 0;
    if (placed) {
        const size_t count = text.glyphs.empty() ? text.text.size() : text.glyphs.size();
        for (size_t i = 0; i < count; ++i) {
            xs.push_back(advance);
            advance += text.advances[i];
        }
        return advance;
    }
    if (face != nullptr) {
        for (uint16_t glyph : text.glyphs) {
            xs.push_back(advance);
            cairo_glyph_t g{glyph, 0, 0};
            cairo_text_extents_t extents;
            cairo_scaled_font_glyph_extents(face, &g, 1, &extents);
            advance += extents.x_advance;
        }
        return advance;
    }
    PangoRectangle logical;
    pango_layout_get_extents(whole, nullptr, &logical);
    return logical.width / double(PANGO_SCALE);
}

// Draws the line with its start at (x, y) on the baseline: glyph by glyph,
// character by character at the record's advances, or as one shaped run.
void ShowLine(cairo_t* cr, const FontSpec& font, double size, const GdiText& text, bool placed,
              PangoLayout* whole, cairo_scaled_font_t* face, const std::vector<double>& xs, double x,
              double y, double baseline) {
    if (face != nullptr) {
        std::vector<cairo_glyph_t> glyphs;
        for (size_t i = 0; i < text.glyphs.size(); ++i) {
            glyphs.push_back({text.glyphs[i], x + xs[i], y});
        }
        cairo_set_scaled_font(cr, face);
        cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    } else if (placed) {
        for (size_t i = 0; i < text.text.size() && i < kMostCharacters; ++i) {
            if (text.text[i] == U' ') {
                continue;
            }
            Layout one = NewLayout(cr, font, size, PangoText(text.text.substr(i, 1)));
            cairo_move_to(cr, x + xs[i], y - Baseline(one.get()));
            pango_cairo_show_layout(cr, one.get());
        }
    } else {
        if (text.rightToLeft) {
            pango_layout_set_auto_dir(whole, FALSE);
        }
        cairo_move_to(cr, x, y - baseline);
        pango_cairo_show_layout(cr, whole);
    }
}

} // namespace

std::optional<double> DrawGdiText(Canvas& canvas, const Clip& clip, const FontSpec& font,
                                  const GdiText& text) {
    if ((text.text.empty() && text.glyphs.empty()) || !(font.emSize >= kSmallestEm) ||
        !std::isfinite(text.origin.x) || !std::isfinite(text.origin.y)) {
        return 0.0;
    }
    const double size = std::min(font.emSize, kLargestEm);
    cairo_t* cr = canvas.cr();
    canvas.ApplyClip(clip);
    cairo_save(cr);
    cairo_translate(cr, text.origin.x, text.origin.y);
    cairo_rotate(cr, -text.angle);

    const bool byGlyph = !text.glyphs.empty();
    const std::string utf8 = byGlyph ? std::string("X") : PangoText(text.text);
    Layout whole = NewLayout(cr, font, size, utf8);
    PangoRectangle logical;
    pango_layout_get_extents(whole.get(), nullptr, &logical);
    const double baseline = Baseline(whole.get());
    const double lineHeight = logical.height / double(PANGO_SCALE);
    const size_t count = byGlyph ? text.glyphs.size() : text.text.size();
    const bool placed = text.advances.size() >= count && (byGlyph || !NeedsShaping(text.text));

    cairo_scaled_font_t* face = byGlyph ? ExactFace(whole.get(), font, size) : nullptr;
    if (byGlyph && face == nullptr) {
        cairo_restore(cr);
        return std::nullopt;
    }
    std::vector<double> xs;
    const double advance = LayOutLine(text, placed, whole.get(), face, xs);

    double x = 0;
    if (text.hAlign == GdiText::HAlign::Center) {
        x = -advance / 2;
    } else if (text.hAlign == GdiText::HAlign::Right) {
        x = -advance;
    }
    double y = 0; // where the baseline goes
    if (text.vAlign == GdiText::VAlign::Top) {
        y = baseline;
    } else if (text.vAlign == GdiText::VAlign::Bottom) {
        y = baseline - lineHeight;
    }
    if (text.background) {
        cairo_rectangle(cr, x, y - baseline, advance, lineHeight);
        SetColour(cr, *text.background);
        cairo_fill(cr);
    }
    SetColour(cr, text.colour);
    ShowLine(cr, font, size, text, placed, whole.get(), face, xs, x, y, baseline);
    if (face != nullptr) {
        cairo_scaled_font_destroy(face);
    }
    cairo_restore(cr);
    cairo_new_path(cr);
    return advance;
}

void DrawBoxText(Canvas& canvas, const Clip& clip, const FontSpec& font, double emSizeInBoxUnits,
                 const cairo_matrix_t& boxToOutput, const BoxText& text, Rgba colour) {
    double scale = 0;
    if (text.utf8.empty() || !BeginBox(canvas, clip, boxToOutput, emSizeInBoxUnits, scale)) {
        return;
    }
    cairo_t* cr = canvas.cr();
    Layout layout = NewLayout(cr, font, emSizeInBoxUnits * scale, text.utf8);
    const double width = text.width * scale;
    const double height = text.height * scale;
    const bool boxed = width > 0;
    if (boxed && !text.noWrap) {
        pango_layout_set_width(layout.get(), static_cast<int>(std::min(width, 1e6) * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    if (text.align == BoxText::Align::Center) {
        alignment = PANGO_ALIGN_CENTER;
    } else if ((text.align == BoxText::Align::Far) != text.rightToLeft) {
        alignment = PANGO_ALIGN_RIGHT;
    }
    pango_layout_set_alignment(layout.get(), alignment);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    const double textWidth = logical.width / double(PANGO_SCALE);
    const double textHeight = logical.height / double(PANGO_SCALE);
    double x = text.left * scale;
    double y = text.top * scale;
    const double share = alignment == PANGO_ALIGN_CENTER ? 0.5 : alignment == PANGO_ALIGN_RIGHT ? 1.0 : 0.0;
    if (boxed && text.noWrap) {
        x += (width - textWidth) * share;
    } else if (!boxed) {
        x -= textWidth * share;
    }
    const double lineShare = text.lineAlign == BoxText::Align::Center ? 0.5
                             : text.lineAlign == BoxText::Align::Far  ? 1.0
                                                                      : 0.0;
    if (height > 0) {
        y += (height - textHeight) * lineShare;
    } else {
        y -= textHeight * lineShare;
    }
    cairo_move_to(cr, x, y);
    SetColour(cr, colour);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
    cairo_new_path(cr);
}

void DrawPlacedText(Canvas& canvas, const Clip& clip, const FontSpec& font, double emSizeInBoxUnits,
                    const cairo_matrix_t& boxToOutput, const std::u32string& text,
                    const std::vector<Point>& at, Rgba colour) {
    double scale = 0;
    if (text.empty() || at.empty() || !BeginBox(canvas, clip, boxToOutput, emSizeInBoxUnits, scale)) {
        return;
    }
    cairo_t* cr = canvas.cr();
    SetColour(cr, colour);
    if (at.size() == 1 && text.size() > 1) {
        // Only the first position given: the rest follow by their own advances.
        Layout line = NewLayout(cr, font, emSizeInBoxUnits * scale, PangoText(text));
        cairo_move_to(cr, at[0].x * scale, at[0].y * scale - Baseline(line.get()));
        pango_cairo_show_layout(cr, line.get());
        cairo_restore(cr);
        cairo_new_path(cr);
        return;
    }
    const size_t count = std::min({text.size(), at.size(), kMostCharacters});
    for (size_t i = 0; i < count; ++i) {
        Layout one = NewLayout(cr, font, emSizeInBoxUnits * scale, PangoText(text.substr(i, 1)));
        cairo_move_to(cr, at[i].x * scale, at[i].y * scale - Baseline(one.get()));
        pango_cairo_show_layout(cr, one.get());
    }
    cairo_restore(cr);
    cairo_new_path(cr);
}

} // namespace metafile
