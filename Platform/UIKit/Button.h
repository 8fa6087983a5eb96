#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/Control.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"

namespace ui {

enum class ButtonType { custom = 0, roundedRect = 1 };

// A control with a title, an image and a background image per state. A state without its own
// value shows the normal state's. Its parts are subviews made when first needed: the background
// behind, then the image, then the title.
class Button : public Control {
 public:
  // The factory: a custom button has no chrome of its own.
  static std::shared_ptr<Button> buttonWithType(ButtonType type);
  template <class T>
  static std::shared_ptr<T> buttonWithType(ButtonType type) {
    auto b = std::make_shared<T>();
    b->initWithFrame({});
    static_cast<Button&>(*b).type_ = type;
    return b;
  }
  std::shared_ptr<Button> initWithFrame(const cg::Rect& frame);

  ButtonType buttonType() const { return type_; }

  void setTitle(std::optional<std::string> title, unsigned state);
  std::optional<std::string> titleForState(unsigned state) const;
  void setTitleColor(std::optional<Color> color, unsigned state);
  std::optional<Color> titleColorForState(unsigned state) const;
  void setTitleShadowColor(std::optional<Color> color, unsigned state);
  std::optional<Color> titleShadowColorForState(unsigned state) const;
  void setImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> imageForState(unsigned state) const;
  void setBackgroundImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> backgroundImageForState(unsigned state) const;

  std::optional<std::string> currentTitle() const { return titleForState(state()); }
  std::optional<Color> currentTitleColor() const { return titleColorForState(state()); }
  std::shared_ptr<Image> currentImage() const { return imageForState(state()); }
  std::shared_ptr<Image> currentBackgroundImage() const { return backgroundImageForState(state()); }

  // Made on first use. The button sets its text and colours whenever the state or a value of the
  // current state changes; a colour set on the label directly holds until then.
  std::shared_ptr<Label> titleLabel();
  std::shared_ptr<ImageView> imageView();

  cg::EdgeInsets contentEdgeInsets() const { return contentInsets_; }
  void setContentEdgeInsets(cg::EdgeInsets insets);
  cg::EdgeInsets titleEdgeInsets() const { return titleInsets_; }
  void setTitleEdgeInsets(cg::EdgeInsets insets);
  cg::EdgeInsets imageEdgeInsets() const { return imageInsets_; }
  void setImageEdgeInsets(cg::EdgeInsets insets);

  // A disabled button without an image of its own for that state draws its image dimmed.
  bool adjustsImageWhenDisabled() const { return adjustsImageWhenDisabled_; }
  void setAdjustsImageWhenDisabled(bool adjusts);

  void layoutSubviews() override;
  cg::Size sizeThatFits(cg::Size size) const override;
  void appendDumpAttributes(std::string& line) const override;

 protected:
  void stateDidChange() override;

 private:
  template <class V>
  using PerState = std::map<unsigned, V>;
  template <class V>
  static V lookup(const PerState<V>& values, unsigned state);
  // Pushes the current state's values into the parts, making the parts that now have content.
  void updateParts();
  std::size_t partIndex(const View* part) const;

  ButtonType type_ = ButtonType::custom;
  PerState<std::optional<std::string>> titles_;
  PerState<std::optional<Color>> titleColors_;
  PerState<std::optional<Color>> titleShadowColors_;
  PerState<std::shared_ptr<Image>> images_;
  PerState<std::shared_ptr<Image>> backgroundImages_;
  std::shared_ptr<ImageView> backgroundView_;
  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<Label> titleLabel_;
  cg::EdgeInsets contentInsets_, titleInsets_, imageInsets_;
  bool adjustsImageWhenDisabled_ = true;
};

}  // namespace ui
