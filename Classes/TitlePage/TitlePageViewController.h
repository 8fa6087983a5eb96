#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/AKActivityButton.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "Classes/TitlePage/TLTitleFilmView.h"
#include "Foundation/Error.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Label.h"
#include "UIKit/ScrollView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

namespace ui {
class ComposeForm;
}
class FaceBookSender;
class VkontakteWebView;

// The title page: one title of the catalogue (a film, a series root or an episode), opened with
// its TitleInfo dictionary. It requests the title record, shows it in its header (which owns the
// player), feeds the player its playlist and share record, and offers the sections and strips of
// the title below the header. The phone's page derives from it and differs where noted.
class TitlePageViewController : public ui::ViewController,
                                public TLMenuHooks,
                                public CustomSegmentedControlDelegate,
                                public TLRubricScrollViewDelegate,
                                public AKMoviePlayerControllerDelegate {
 public:
  // The persons of a title kept from its record, its first this many: each is a tile in the
  // persons row and section, and a cast runs to a handful.
  static constexpr std::size_t kMaxPersons = 100;

  TitlePageViewController();
  ~TitlePageViewController() override;
  TitlePageViewController(const TitlePageViewController&) = delete;
  TitlePageViewController& operator=(const TitlePageViewController&) = delete;

  // Keeps the TitleInfo and requests the title record from its "url".
  std::shared_ptr<TitlePageViewController> initWithTitleInfo(const ns::Value& titleInfo);

  // The record of the title shown now, and the one the page was opened with.
  const ns::Value& senderInfo() const { return senderInfo_; }
  const ns::Value& cacheSenderDictionary() const { return cacheSenderDictionary_; }
  const std::string& share_url_thisPage() const { return shareUrlThisPage_; }
  // The parsed title record; nil until a reply has been read.
  const ns::Value& titleParsedData() const { return titleParsedData_; }
  const ns::Value& dopInfo() const { return dopInfo_; }
  const ns::Value& pageActors() const { return pageActors_; }

  // An episode: the TitleInfo's "parent_id" is not empty.
  bool isItemIsEpisode() const;
  // The integer value of "parent_id" (0 for a film or a series root).
  long long parentId() const;
  // The integer value of "id".
  long long itemId() const;

  // --- Loading.
  // Sends the title record request; a URL that cannot be made sends nothing.
  void postRequestToURL(const std::optional<ns::URL>& url);
  // The title record's reply handler.
  void titleRecordReceived(const ns::Value& json);
  void showAlertWithError(const ns::ErrorPtr& error);
  void showReloadPageButton();
  void reloadTitlePage();
  void loadTitleAgain();
  void stopActivity();
  void AKMoviePlayerControllerDidSetVideo(AKMoviePlayerController& player, const ns::Value& info) override;

  // --- Playlist and share record.
  std::string screenName() const;
  virtual void reloadInfo();
  void loadSerialItemToPlayer(const std::string& url);

  // --- Layout and lifecycle.
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;
  void willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) override;
  void changeFilmViewOrientationTo(ui::InterfaceOrientation orientation);
  void changeTitleScrollOrientationTo(ui::InterfaceOrientation orientation);
  void changeScrollsOrientationTo(ui::InterfaceOrientation orientation);
  void loadTitleView();
  virtual void loadFilmView();
  virtual void addToolBar();
  void toolbarBackClick();
  void TLMainViewMenuClick();

  // --- Sharing.
  void loadSocialView(const cg::Rect& frame);
  void vkBtnClick();
  void fbBtnClick();
  void twBtnClick();
  // The share message for the page's title; the VKontakte one ends with a blank.
  std::string shareMessage(bool forVkontakte) const;
  static std::string shareMessageForTitle(const std::string& title, bool forVkontakte);
  std::string sharePosterPath() const;
  // The in-app sheets the share buttons open where there is no system composer, as the page of
  // the idiom opens them over its view (the Facebook sheet logging in); nil where one cannot be made.
  static std::shared_ptr<VkontakteWebView> openVkontakteSheet(ui::View& host, bool phone, std::string message,
                                                              std::string filmURL, std::string poster);
  static std::shared_ptr<FaceBookSender> openFacebookSheet(ui::View& host, bool phone, std::string message,
                                                           std::string filmURL, std::string poster);

  // --- Sections and strips, filled in with the sections of the page.
  virtual void loadSeriesView(const std::optional<std::string>& url,
                              const std::optional<std::string>& parentID);
  virtual void loadAdvancedView();
  virtual void loadRolesView();
  virtual void loadSegmentedButton();
  void touchUpInsideSegmentIndex(unsigned segmentIndex) override;
  void rubricViewDidLoadWithScrollView(bool loaded, const std::shared_ptr<TLRubricScrollView>& row) override;
  void showSeriesSubview();
  void showRolesSubView();
  void showAlsoSubView();
  // Not used by the switch: a segment position counted as if every section were present.
  int getCurrentIndexForSegment(int position) const;
  static double calculateContentOffsetWithViewWidth(double viewWidth, double contentWidth,
                                                    double elementWidth, int elementNumber);

  // --- Views and state.
  const std::shared_ptr<TLTitleFilmViewBase>& filmView() const { return filmView_; }
  const std::shared_ptr<ui::Label>& toolbarLabel() const { return toolbarLabel_; }
  const std::shared_ptr<ui::Toolbar>& toolBar() const { return toolBar_; }
  const std::shared_ptr<ui::ScrollView>& titleScroll() const { return titleScroll_; }
  const std::shared_ptr<ui::View>& socialView() const { return socialView_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityForList() const { return activityForList_; }
  const std::shared_ptr<AKActivityButton>& reloadPageButton() const { return reloadPageButton_; }
  const std::shared_ptr<CustomSegmentedControl>& segmentedControl() const { return segmentedControl_; }
  const std::shared_ptr<ui::View>& titleSubview() const { return titleSubview_; }
  const std::shared_ptr<TLRubricScrollViewBase>& seriesView() const { return seriesView_; }
  const std::shared_ptr<TLRubricScrollViewBase>& roleView() const { return roleView_; }
  const std::shared_ptr<TLRubricScrollViewBase>& advancedView() const { return advancedView_; }
  bool isReloadFromPlayer() const { return isReloadFromPlayer_; }
  bool isAlertShow() const { return isAlertShow_; }
  bool isMainInfoLoad() const { return isMainInfoLoad_; }
  bool isSeries() const { return isSeries_; }
  bool isRoles() const { return isRoles_; }
  bool isAdvanced() const { return isAdvanced_; }
  bool isLoadedFromFile() const { return isLoadedFromFile_; }
  // An episode's auto-play that waits for the page to come on screen.
  bool isAutoPlayPending() const { return autoPlayPending_; }

 protected:
  virtual bool isPhone() const { return false; }
  // The phone listens for the player's new items.
  virtual void observeNewItem() {}
  // The player of the header, if any.
  std::shared_ptr<AKMoviePlayerController> player() const;
  // A share composer gets the message, the page's link and the poster, and is presented.
  void presentComposer(const std::shared_ptr<ui::ComposeForm>& composer);
  // The loading indicator of the opening and of loadTitleAgain.
  void addActivityView(const cg::Rect& frame);
  // Where a missing TitleInfo "url" or a record's address becomes a request.
  void sendTitleRequest(const std::optional<ns::URL>& url);
  // Lays the page out with the status bar's orientation, in the order given.
  ui::InterfaceOrientation statusBarOrientation() const;
  // The tablet's open section takes the frame of the orientation; it does not resize with the
  // page, which would count a turn twice.
  void changeTitleSubviewOrientationTo(ui::InterfaceOrientation orientation);
  // The playlist entries for one record.
  static ns::Array playListFor(const std::string& adv, const ns::Value& videoItemId,
                               const std::string& webUrl, const std::string& counterUrl,
                               const std::string& videoURL, const std::string& serialId,
                               const std::optional<std::string>& seriesNumber);
  ns::Value shareInfoFor(const std::string& url, const std::string& image) const;
  // Switches an episode's auto-play on now when the page is on screen, else when it appears.
  void requestAutoPlay();
  // Shows the related row, loading or loaded; one whose load failed stays hidden, as its section.
  void showAdvancedView();

  ns::Value senderInfo_;
  ns::Value cacheSenderDictionary_;
  ns::Value titleParsedData_;
  ns::Value dopInfo_;
  ns::Value pageActors_;
  std::string shareUrlThisPage_;

  std::shared_ptr<TLTitleFilmViewBase> filmView_;
  std::shared_ptr<ui::Label> toolbarLabel_;
  std::shared_ptr<ui::Toolbar> toolBar_;
  std::shared_ptr<ui::ScrollView> titleScroll_;
  std::shared_ptr<ui::ScrollView> switchScroll_;
  std::shared_ptr<ui::View> socialView_;
  std::shared_ptr<ui::ActivityIndicatorView> activityView_;
  std::shared_ptr<ui::ActivityIndicatorView> activityForList_;
  std::shared_ptr<AKActivityButton> reloadPageButton_;
  std::shared_ptr<CustomSegmentedControl> segmentedControl_;
  std::shared_ptr<ui::View> titleSubview_;
  std::shared_ptr<TLRubricScrollViewBase> seriesView_;
  std::shared_ptr<TLRubricScrollViewBase> roleView_;
  std::shared_ptr<TLRubricScrollViewBase> advancedView_;

  bool isReloadFromPlayer_ = false;
  bool isAlertShow_ = false;
  bool isMainInfoLoad_ = false;
  bool isSeries_ = false;
  bool isRoles_ = false;
  bool isAdvanced_ = false;
  bool isLoadedFromFile_ = false;
  bool autoPlayPending_ = false;
};
