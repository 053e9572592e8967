#pragma once

#include "Canvas.h"
#include "EmfFile.h"
#include "GdiObjects.h"
#include "Playback.h"

#include <map>
#include <optional>
#include <vector>

namespace metafile {

// Plays the GDI records of an enhanced metafile onto a page, keeping a device
// context as GDI does: mapping mode, window and viewport, world transform,
// saved states, selected pen, brush and font, colours, modes, clip and path.
// Records it does not know and records it cannot draw are counted in the
// report; nothing a record claims is trusted beyond the record's own bytes.
class GdiPlayer {
  public:
    explicit GdiPlayer(PlaybackTarget& target);

    // Plays one record. Drawing records draw; the others change the state.
    void Play(const EmfRecord& record);
    // Keeps the object table up to date (creating and deleting objects)
    // without drawing, for records GDI+ leaves to its own drawing.
    void PlayObjectsOnly(const EmfRecord& record);

  private:
    struct DcState {
        int mapMode = 1; // MM_TEXT
        Point windowOrg, viewportOrg;
        Point windowExt{1, 1}, viewportExt{1, 1};
        cairo_matrix_t world = Identity();
        GdiPen pen = DefaultPen();
        GdiBrush brush = DefaultBrush();
        GdiFont font = DefaultFont();
        uint32_t textColour = 0x000000;
        uint32_t backgroundColour = 0xFFFFFF;
        int backgroundMode = 2; // OPAQUE
        int polyFillMode = 1;   // ALTERNATE
        uint32_t textAlign = 0;
        int rop2 = 13; // R2_COPYPEN
        // How stretched bitmaps are resampled: only HALFTONE (4) smooths;
        // GDI's default, BLACKONWHITE (1), and the others repeat or drop pixels.
        int stretchMode = 1;
        bool clockwiseArcs = false;
        double miterLimit = 10;
        Point position;    // current position, logical units
        Point brushOrigin; // device pixels
        Clip clip;
    };

    // Transformations.
    cairo_matrix_t PageToDevice() const;
    cairo_matrix_t LogicalToOutput() const;
    Point ToOutput(Point logical) const { return Apply(LogicalToOutput(), logical); }
    // Output pixels per logical unit along x and y (their lengths after the transform).
    double LogicalScaleX() const;
    double LogicalScaleY() const;

    // Turning the selected objects into what the canvas draws with.
    std::optional<StrokeStyle> CurrentStroke() const;
    Paint BrushPaint(const GdiBrush& brush) const;
    Paint CurrentFill() const { return BrushPaint(state_.brush); }
    void ApplyRop2(Paint& paint) const;
    cairo_fill_rule_t FillRule() const;

    // Drawing: shapes go into the open path bracket when there is one.
    void DrawShape(const Path& path, bool fill, bool stroke);
    void AddToBracket(const Path& path);

    // Records, grouped by what they do.
    bool PlayState(uint32_t type, ByteReader in);
    bool PlayObjects(uint32_t type, ByteReader in);
    bool PlayLines(uint32_t type, ByteReader in);
    bool PlayShapes(uint32_t type, ByteReader in);
    bool PlayPathRecords(uint32_t type, ByteReader in);
    bool PlayClip(uint32_t type, ByteReader in);
    bool PlayText(uint32_t type, ByteReader in);
    bool PlayBitmaps(uint32_t type, ByteReader in);

    // The state records, by what they set.
    bool PlayMapping(uint32_t type, ByteReader in);
    bool PlayWorldTransform(uint32_t type, ByteReader in);
    bool PlaySavedStates(uint32_t type, ByteReader in);
    bool PlayModes(uint32_t type, ByteReader in);

    // Lines drawn from the current position, which they move. They draw into
    // the open path bracket, or into `own` begun at the current position.
    Path& LineFromPosition(Path& own);
    void PlayLineTo(ByteReader& in);
    void PlayPolyTo(uint32_t type, ByteReader& in);
    void PlayArcTo(ByteReader& in);
    void PlayAngleArc(ByteReader& in);

    // Shapes, regions and gradients.
    struct GradientVertex {
        Point at;
        Rgba colour;
    };
    void PlayPolyShape(uint32_t type, ByteReader& in);
    void PlayPolyPolyShape(uint32_t type, ByteReader& in);
    void PlayBoxShape(uint32_t type, ByteReader& in);
    Path RoundRectPath(double left, double top, double right, double bottom, double rx, double ry) const;
    void PlaySetPixel(ByteReader& in);
    GdiBrush NamedBrush(uint32_t index) const;
    void PlayRegionPaint(uint32_t type, ByteReader& in);
    void PlayGradientFill(ByteReader& in);
    void FillGradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c);

    void ReadPoints(ByteReader& in, uint32_t count, bool small, std::vector<Point>& points) const;
    void PolyDraw(const std::vector<Point>& points, const std::vector<uint8_t>& kinds);
    void ArcPath(Path& path, const IntRect& box, Point start, Point end, bool connect) const;
    void CombineClip(const Path& region, cairo_fill_rule_t rule, uint32_t mode);
    Path RegionPath(ByteReader& in, size_t size, bool device) const;
    Path RectPath(double left, double top, double right, double bottom) const;
    void DrawTextRecord(ByteReader& in, size_t emrTextAt, bool wide);
    void Blit(ByteReader in, uint32_t type);
    void FillRectWithRop(const Path& area, uint32_t rop);

    PlaybackTarget& target_;
    DcState state_;
    std::vector<DcState> saved_;
    std::map<uint32_t, GdiObject> objects_;
    bool inBracket_ = false;
    bool widened_ = false; // the finished path is a pen's outline
    Path bracket_;
    Path finishedPath_;
};

} // namespace metafile
