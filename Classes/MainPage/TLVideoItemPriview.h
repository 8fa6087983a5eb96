#pragma once

#include <memory>

#include "Classes/MainPage/TLVideoItemPriviewBase.h"

// The tablet's poster tile: style 0 (220 x 170), 1 (the big tile, 450 x 350) or 2 (180 x 145).
// loadPriority: 0 (default) sets everything at once and applies a fetched poster in a later block
// on the main queue; 2 hands images over asynchronously and reads a cached big poster in the
// background; 3, for tiles built off the main thread, makes every view change there while the
// building thread waits; poster files are written in the background for 2 and 3.
class TLVideoItemPriview final : public TLVideoItemPriviewBase {
 public:
  TLVideoItemPriview();
  std::shared_ptr<TLVideoItemPriview> initWithFrame(const cg::Rect& frame, int style);
  std::shared_ptr<TLVideoItemPriview> initWithFrame(const cg::Rect& frame) { return initWithFrame(frame, 0); }

  // Moves the title label 8 points down, into the room of a description the tile does not show;
  // while it shows one the title stays above it. Call it after setTitle.
  void setLabelCenter();
  // Makes bg shorter.
  void reduceBGheightBy(double amount);

 protected:
  // A selected tile (the current episode) turns white and shorter.
  void titleDidChange() override;
  void descriptionDidChange() override;

 private:
  void placeTitle();

  bool labelCentered_ = false;
};
