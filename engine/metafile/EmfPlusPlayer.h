#pragma once

#include "EmfFile.h"
#include "Playback.h"

#include <memory>

namespace metafile {

class EmfPlusState;

// Plays the EMF+ records (GDI+ drawing) carried in a metafile's comment
// records: objects (pens, brushes, paths, fonts, images, string formats),
// transforms, clipping, and the fills and draws of shapes, strings and images.
class EmfPlusPlayer {
  public:
    explicit EmfPlusPlayer(PlaybackTarget& target);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    // Whether the EMF+ records of `file` can stand for the whole drawing: they
    // draw something, and every drawing record among them is one this player
    // draws. A dual file whose EMF+ records fail this is drawn from its GDI
    // records instead.
    static bool CanDraw(const EmfFile& file);

    // What one comment record held.
    struct CommentResult {
        bool isEmfPlus = false; // the comment carried EMF+ records
        bool drew = false;      // some of them draw (the GDI records after them repeat that drawing)
        bool getDc = false;     // GDI records after it are meant to be drawn
    };
    // Plays the EMF+ records in a comment record.
    CommentResult PlayComment(const EmfRecord& record);
    // Only says what a comment record holds, without drawing.
    static CommentResult Inspect(const EmfRecord& record);

  private:
    PlaybackTarget& target_;
    std::unique_ptr<EmfPlusState> state_;
};

} // namespace metafile
