#include "AKMoviePlayer/AKMoviePlayerView.h"

AKMoviePlayerView::AKMoviePlayerView() : ui::View(layerClass()) {}

void AKMoviePlayerView::setPlayer(std::shared_ptr<av::Player> player) {
  setMovesByItself(player != nullptr);
  playerLayer().setPlayer(std::move(player));
}

std::optional<double> AKMoviePlayerView::nextPresentationChange(double now) const {
  return playerLayer().nextPictureChange(now);
}
