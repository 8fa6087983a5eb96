#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "Classes/MainPage/StarRatingView.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/TableViewCell.h"

// The row of every phone list of titles (search, category, the title page's episodes, related
// titles and persons): a poster, the title, a description and small rating stars. Its poster
// comes from the shared poster file cache or is downloaded into it. The lists fill it through the
// setters; ID and typeIsEpisode must be set before the image URL, since they name the file.
class TLVideoItemPriviewCell final : public ui::TableViewCell {
 public:
  static constexpr double kRowHeight = 80;
  static constexpr cg::Size kPosterSize{112, 70};
  static constexpr const char* kInterfaceFile = "TLVideoItemPriviewCell";
  // Where the title stands in a plain row, and where the stars start.
  static constexpr cg::Rect kTitleFrame{125, 8, 170, 20};
  static constexpr cg::Point kStarsOrigin{133, 53};

  // The cell as the lists load it: its views laid out, 320 x 80.
  static std::shared_ptr<TLVideoItemPriviewCell> cellFromInterfaceFile(const std::string& reuseIdentifier);
  // A bare cell: loadPriority -1, parent_id "".
  std::shared_ptr<TLVideoItemPriviewCell> initWithStyle(ui::TableViewCellStyle style,
                                                        std::string reuseIdentifier);

  long long ID() const { return ID_; }
  // A new ID makes the row a title row again (see setRolesImageStyle).
  void setID(long long value);
  bool typeIsEpisode() const { return typeIsEpisode_; }
  void setTypeIsEpisode(bool value) { typeIsEpisode_ = value; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  const std::string& description() const { return description_; }
  void setDescription(std::string description);
  const std::string& categoryName() const { return categoryName_; }
  // Only while the description has more than two characters: shown in its place unless "".
  void setCategoryName(std::string name);
  const std::string& url() const { return url_; }
  void setUrl(std::string url) { url_ = std::move(url); }
  const std::string& imageUrl() const { return imageUrl_; }
  const std::string& bigImageUrl() const { return bigImageUrl_; }
  int rate() const { return rate_; }
  // Lights that many stars; the stars are made on the first positive rating, and 0 or less on a
  // cell that has them lights none.
  void setRate(int rate);
  const std::string& parent_id() const { return parent_id_; }
  void setParent_id(std::string value) { parent_id_ = std::move(value); }
  const std::string& genre_id() const { return genre_id_; }
  void setGenre_id(std::string value) { genre_id_ = std::move(value); }
  // How a poster reaches the view: 1 read on the main thread, -1 read on a background queue, any
  // other value read where the download finished.
  int loadPriority() const { return loadPriority_; }
  void setLoadPriority(int value) { loadPriority_ = value; }
  bool isSelected() const { return isSelected_; }
  // YES puts one grey background behind the row, NO takes it away.
  void setIsSelected(bool selected);

  // The small poster: from its cache file when there is one, else downloaded (and kept when the
  // row names a file: a positive ID in a title row).
  void setImageUrl(std::string url);
  // The big poster; a missing file with an empty URL shows nothing.
  void setBigImageUrl(std::string url);
  // Shows the image in the poster view, clipped to it.
  void setImageForButton(const std::shared_ptr<ui::Image>& image);
  // Downloads the URL and shows it; the file at the path (none: no caching) appears only once a
  // whole reply that decodes as an image has arrived.
  void loadImageWithUrl(const std::string& url, const std::string& path, bool big);

  // Episode rows: the title on up to two lines, the description under the lines it draws, both
  // above the stars; kept so as the texts change.
  void setTitleLinesForEpisodes();
  // Person rows: a two-line name and a portrait photo.
  void setTitleLinesForRoles();
  void setRolesImageStyle();

  // Posts "TLOpenVideoItem" with the row's TitleInfo.
  void selectVideo();
  void clickAnimation() {}
  void clearBgColor() {}

  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::Label>& descriptionLabel() const { return descriptionLabel_; }
  // The poster view (hides the plain cell's image view of the same name).
  const std::shared_ptr<ui::ImageView>& imageView() const { return posterView_; }
  const std::shared_ptr<StarRatingView>& rateView() const { return rateView_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& placeHolder() const { return placeHolder_; }
  const std::shared_ptr<ui::ImageView>& separatorView() const { return separatorView_; }
  const std::shared_ptr<ui::ImageView>& disclosureView() const { return disclosureView_; }
  const std::shared_ptr<ui::View>& bg() const { return bg_; }

 private:
  // The poster view's pixels: the most a poster is decoded at.
  cg::PixelBox posterBox() const;
  void buildViews();
  void layOutEpisodeTexts();
  void showPoster(const std::string& url, const std::string& path, bool big);
  // The file a poster of this row may be kept in; "" when it may not be kept.
  std::string posterPath(bool big) const;
  // Hands the image to the poster view unless the row has moved on to another poster since.
  void showIfCurrent(unsigned generation, const std::shared_ptr<ui::Image>& image);

  long long ID_ = 0;
  bool typeIsEpisode_ = false;
  bool personRow_ = false;
  bool episodeTitles_ = false;
  std::string title_, description_, categoryName_, url_, imageUrl_, bigImageUrl_, parent_id_, genre_id_;
  int rate_ = 0;
  int loadPriority_ = -1;
  bool isSelected_ = false;
  // Counts the posters asked for; a reply for an older one is not shown.
  unsigned posterGeneration_ = 0;

  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Label> descriptionLabel_;
  std::shared_ptr<ui::ImageView> posterView_;
  std::shared_ptr<StarRatingView> rateView_;
  std::shared_ptr<ui::ActivityIndicatorView> placeHolder_;
  std::shared_ptr<ui::ImageView> separatorView_;
  std::shared_ptr<ui::ImageView> disclosureView_;
  std::shared_ptr<ui::View> bg_;
};
