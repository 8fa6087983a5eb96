#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Classes/MainPage/StarRatingView.h"
#include "Foundation/Value.h"
#include "UIKit/Button.h"
#include "UIKit/Image.h"
#include "UIKit/Label.h"
#include "UIKit/View.h"

// The poster tile that stands for one film, series or episode: the poster on a button, a title,
// a description and rating stars. It takes its poster from the disk cache or fetches it once and
// stores it; a tap on the poster posts "TLOpenVideoItem" with the item's TitleInfo. What the
// tablet and the phone tiles share; their sizes and thread rules come from the twin.
class TLVideoItemPriviewBase : public ui::View {
 public:
  // How a picture reaches the poster button.
  enum class Hand { now, mainThreadWaiting, mainThreadLater };
  struct CachedPosterRule {
    bool readInBackground;  // on a global queue of the lowest priority
    Hand set;
  };
  struct FetchedPosterRule {
    Hand set;
    bool writeInBackground;
  };
  struct Style {
    cg::Size size;
    double posterHeight;
    double bgHeightCut;  // bg is the tile's height less this
    double bgAlpha;
    cg::Rect titleRect;
    double titleFontSize;
    cg::Rect descriptionRect;
    double descriptionFontSize;
    std::optional<double> titleBandTop;
    cg::Point starOrigin;
    bool bigStars;
    const char* placeholder;
  };
  // What one loadPriority value does with texts and posters.
  struct PriorityRule {
    int priority;
    bool textsOnMainThread;  // the caller waiting
    CachedPosterRule cachedSmall, cachedBig;
    FetchedPosterRule fetched;
  };
  // What tells the twins apart: the three styles (0 normal, 1 big, 2 small), the default priority,
  // the rules of the priorities that have some, and the rule of every other value.
  struct Twin {
    Style styles[3];
    int defaultLoadPriority;
    std::vector<PriorityRule> rules;
    PriorityRule otherPriorities;
    const Style& style(int style) const { return styles[style == 1 || style == 2 ? style : 0]; }
    const PriorityRule& rule(int priority) const;
  };
  static constexpr const char* kFontName = "PF Square Sans Pro";

  // Stored values.
  const std::optional<std::string>& title() const { return title_; }
  // The id as a number, 0 where it is none or past longFromObject's range; idText() is the id
  // as the service sent it, which the tile posts.
  long long ID() const;
  std::string idText() const;
  void setID(long long value);
  void setID(const ns::Value& id);
  const std::optional<std::string>& categoryName() const { return categoryName_; }
  const std::optional<std::string>& url() const { return url_; }
  void setUrl(std::optional<std::string> value) { url_ = std::move(value); }
  const std::optional<std::string>& description() const { return description_; }
  const std::optional<std::string>& imageUrl() const { return imageUrl_; }
  int rate() const { return rate_; }
  bool typeIsEpisode() const { return typeIsEpisode_.load(); }
  void setTypeIsEpisode(bool value) { typeIsEpisode_.store(value); }
  const std::optional<std::string>& bigImageUrl() const { return bigImageUrl_; }
  const std::optional<std::string>& parent_id() const { return parent_id_; }
  void setParent_id(std::optional<std::string> value) { parent_id_ = std::move(value); }
  int loadPriority() const { return loadPriority_; }
  void setLoadPriority(int value) { loadPriority_ = value; }
  int style() const { return style_; }
  int itemIndex() const { return itemIndex_; }
  void setItemIndex(int value) { itemIndex_ = value; }
  bool isItemSelected() const { return isItemSelected_; }
  void setIsItemSelected(bool value) { isItemSelected_ = value; }

  // Views: the labels and the stars exist once their setters have run.
  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::Label>& descriptionLabel() const { return descriptionLabel_; }
  const std::shared_ptr<ui::Button>& imageBt() const { return imageBt_; }
  const std::shared_ptr<StarRatingView>& rateView() const { return rateView_; }
  const std::shared_ptr<ui::View>& bg() const { return bg_; }

  // Setters that update the view. A title that is not set leaves the label empty.
  void setTitle(std::optional<std::string> title);
  void setDescription(std::optional<std::string> description);
  void setRate(int rate);
  // Keeps the name, and sets the description again, only when the description has more than two
  // characters.
  void setCategoryName(std::optional<std::string> name);
  // The poster, from its file when cached, else fetched and stored. The file is named from the ID
  // and typeIsEpisode of this moment; an ID of 0 or less names no file (the poster is fetched and
  // shown, never stored). An empty or malformed URL is never requested.
  void setImageUrl(std::optional<std::string> url);
  // The big poster; an empty URL with no file clears the placeholder and fetches nothing.
  void setBigImageUrl(std::optional<std::string> url);

  // Replaces the placeholder by the image, stretched over the whole button (null: empty poster).
  void setImageForButton(const std::shared_ptr<ui::Image>& image);
  void hideButton(bool hidden);
  // The poster button's action: posts "TLOpenVideoItem" with the TitleInfo; nothing without a url.
  void selectVideo();

 protected:
  explicit TLVideoItemPriviewBase(const Twin& twin) : twin_(twin) {}
  // Builds the view tree for the style (0 for an unknown one) at the frame's origin.
  void setUpWithFrame(const cg::Rect& frame, int style);

  virtual void placePlaceholder(const std::shared_ptr<ui::Image>& image);
  // After the title label got its text (the tablet marks a selected tile here).
  virtual void titleDidChange() {}
  // After the description was stored.
  virtual void descriptionDidChange() {}

  const Style& currentStyle() const { return twin_.style(style_); }
  // The genre and year line's frame, as far as the stars leave it room.
  cg::Rect descriptionFrame() const;
  const PriorityRule& currentRule() const { return twin_.rule(loadPriority_); }
  // The poster button's pixels: the most a poster is decoded at.
  cg::PixelBox posterBox() const;

 private:
  void setLabelText(const std::shared_ptr<ui::Label>& label, const std::optional<std::string>& text);
  void loadPoster(const std::optional<std::string>& url, bool big);
  std::optional<std::string> posterPath(bool big) const;
  void showCachedPoster(const std::optional<std::string>& path, bool big);
  void fetchPoster(const std::string& url, const std::optional<std::string>& path, bool big);

  const Twin& twin_;
  std::optional<std::string> title_;
  // Set and read on the threads the twin builds its texts on.
  mutable std::mutex idLock_;
  std::string idText_ = "0";
  std::optional<std::string> categoryName_;
  std::optional<std::string> url_;
  std::optional<std::string> description_;
  std::optional<std::string> imageUrl_;
  int rate_ = 0;
  std::atomic<bool> typeIsEpisode_{false};
  std::optional<std::string> bigImageUrl_;
  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Label> descriptionLabel_;
  std::shared_ptr<ui::Button> imageBt_;
  std::shared_ptr<StarRatingView> rateView_;
  std::optional<std::string> parent_id_ = std::string();
  int loadPriority_ = 0;
  int style_ = 0;
  int itemIndex_ = 0;
  bool isItemSelected_ = false;
  std::shared_ptr<ui::View> bg_;
};
