#pragma once

#include <memory>

#include "AKMoviePlayer/AKMovieBarSupport.h"
#include "UIKit/View.h"

class AKMovieSocialControllBar;

// Which network the user chose on the share panel; every operation is called without asking.
class AKMovieSocialControllBarDelegate {
 public:
  virtual ~AKMovieSocialControllBarDelegate() = default;
  virtual void AKMovieSocialControllBarFb(AKMovieSocialControllBar& bar) = 0;
  virtual void AKMovieSocialControllBarTw(AKMovieSocialControllBar& bar) = 0;
  virtual void AKMovieSocialControllBarVk(AKMovieSocialControllBar& bar) = 0;
};

// The full-screen player's small share panel: Facebook, Twitter and VKontakte buttons on a
// patterned background. It only reports the choice. Visible as soon as it is added; gone from
// the tree once hidden, so each share builds a new one.
class AKMovieSocialControllBar final : public ui::View {
 public:
  // On a tablet, landscape lays the buttons out in a row and portrait in a column; a phone always
  // uses a row.
  std::shared_ptr<AKMovieSocialControllBar> initWithFrame(const cg::Rect& frame, bool landscapeOrientation);

  std::shared_ptr<AKMovieSocialControllBarDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AKMovieSocialControllBarDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  // Fades out over 0.3 seconds, then leaves its superview.
  void hide();

  void facebook();
  void twitter();
  void vkontact();

 private:
  std::weak_ptr<AKMovieSocialControllBarDelegate> delegate_;
  akmovie::Fader fader_;
};
