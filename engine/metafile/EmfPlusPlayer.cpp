#include "EmfPlusPlayer.h"
namespace metafile {
class EmfPlusState {};
EmfPlusPlayer::EmfPlusPlayer(PlaybackTarget& target) : target_(target) {}
EmfPlusPlayer::~EmfPlusPlayer() = default;
bool EmfPlusPlayer::CanDraw(const EmfFile&) {
    return false;
}
EmfPlusPlayer::CommentResult EmfPlusPlayer::PlayComment(const EmfRecord&) {
    return {};
}
EmfPlusPlayer::CommentResult EmfPlusPlayer::Inspect(const EmfRecord&) {
    return {};
}
} // namespace metafile
