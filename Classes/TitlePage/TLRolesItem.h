#pragma once

#include <memory>

#include "Classes/TitlePage/TLRolesItemBase.h"

// The tablet's person tile. loadPriority: 1 (default) applies a cached photograph at once and a
// fetched one in a block on the main queue; -1 (the persons row) reads a cached one in the
// background; -2 (tiles built on a background operation) sets the name and the pictures through
// the main thread, waiting.
class TLRolesItem final : public TLRolesItemBase {
 public:
  // Only the frame's origin is used: the tile is 220 x 170.
  std::shared_ptr<TLRolesItem> initWithFrame(const cg::Rect& frame);

  void setTitleLabelText(const std::string& text) { applyTitleLabelText(text); }
  void setImageForButton(const std::shared_ptr<ui::Image>& image) { applyImageForButton(image); }

 protected:
  // "Имя Фамилия Отчество" reads "Имя\nФамилия Отчество ".
  std::string nameText(const std::string& name) const override;
  bool nameOnMainThread(std::int32_t priority) const override { return priority == -2; }
  CachedPhotoRule cachedPhotoRule(std::int32_t priority) const override;
  FetchedPhotoRule fetchedPhotoRule(std::int32_t priority) const override;
};
