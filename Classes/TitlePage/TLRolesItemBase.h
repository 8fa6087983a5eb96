#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/Button.h"
#include "UIKit/Image.h"
#include "UIKit/Label.h"
#include "UIKit/View.h"

// The tile of one person of a title: a photograph button with a dark band, the name on two lines
// and optionally the role. The photograph is fetched once and kept in rolesPath as "<id>.png",
// already composed into the tile's picture. A tap posts "TLShowActorPage" with the PersonItem
// {"id", "title"}. What the tablet and the phone tiles share.
class TLRolesItemBase : public ui::View {
 public:
  static constexpr cg::Size kSize{220, 170};
  static constexpr cg::Size kButtonSize{220, 120};
  static constexpr double kShadowOpacity = 0.9;
  static constexpr double kShadowRadius = 3;
  static constexpr const char* kFontName = "PF Square Sans Pro";

  const std::optional<std::string>& nameActor() const { return nameActor_; }
  const std::shared_ptr<ui::Button>& imageBt() const { return imageBt_; }
  const std::shared_ptr<ui::Label>& nameActorLabel() const { return nameActorLabel_; }
  const std::optional<std::string>& imageURL() const { return imageURL_; }
  const std::optional<std::string>& id_actor() const { return id_actor_; }
  // Names the photograph's file; set it before setImage.
  void setId_actor(std::optional<std::string> id) { id_actor_ = std::move(id); }
  std::int32_t loadPriority() const { return loadPriority_.load(); }
  void setLoadPriority(std::int32_t priority) { loadPriority_.store(priority); }
  const std::shared_ptr<ui::Label>& descrLabel() const { return descrLabel_; }

  // The person's full name: the first word, then the rest on a second line.
  void setTitle(const std::string& name);
  // The role text, up to three lines.
  void setDescr(const std::string& text);
  // The photograph: "" keeps the placeholder; a cached file is shown as it is; otherwise it is
  // fetched, composed, shown and stored. Only a decimal person id names a file: any other is
  // fetched and shown each time.
  void setImage(const std::string& url);
  // The tap.
  void selectVideo();

  // The tile's picture for a photograph: a 220 x 120 band of black at 40% with the photograph
  // filling its left 100 points (aspect kept, clipped), the two casting a black shadow at 90%. A
  // null photograph gives the band alone, with its shadow.
  static std::shared_ptr<ui::Image> buttonImage(const std::shared_ptr<ui::Image>& photo);
  // The download into `path` (none: show only).
  void loadImageWithUrl(const std::string& url, const std::optional<std::string>& path);

 protected:
  struct CachedPhotoRule {
    bool readInBackground;  // on a global queue of background priority, then shown on the main thread
    bool showWaiting;       // shown through the main thread, the caller waiting
  };
  struct FetchedPhotoRule {
    bool onMainQueue;  // compose, show and write in a block on the main queue
    bool showWaiting;  // else: shown through the main thread, waiting, or later when false
  };

  TLRolesItemBase() = default;
  // Fixed size at the frame's origin, the composed placeholder on the button.
  void setUpWithFrame(const cg::Rect& frame);

  virtual std::string nameText(const std::string& name) const = 0;
  virtual bool nameOnMainThread(std::int32_t priority) const = 0;
  virtual CachedPhotoRule cachedPhotoRule(std::int32_t priority) const = 0;
  virtual FetchedPhotoRule fetchedPhotoRule(std::int32_t priority) const = 0;

  void applyTitleLabelText(const std::string& text);
  void applyImageForButton(const std::shared_ptr<ui::Image>& image);

 private:
  std::optional<std::string> photoPath() const;

  std::optional<std::string> nameActor_;
  std::shared_ptr<ui::Button> imageBt_;
  std::shared_ptr<ui::Label> nameActorLabel_;
  std::optional<std::string> imageURL_;
  std::optional<std::string> id_actor_;
  std::atomic<std::int32_t> loadPriority_{1};
  std::shared_ptr<ui::Label> descrLabel_;
};
