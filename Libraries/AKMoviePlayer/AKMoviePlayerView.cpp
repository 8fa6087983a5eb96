#include "AKMoviePlayer/AKMoviePlayerView.h"

AKMoviePlayerView::AKMoviePlayerView() : ui::View(layerClass()) {}
