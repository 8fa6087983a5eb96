#include "Classes/PageShell.h"

#include "NTNetworking/NTJSONRequestOperation.h"
#include "UIKit/Font.h"
#include "UIKit/Label.h"

void showPageTitle(const std::shared_ptr<ui::View>& view, const std::string& text) {
  if (!view) return;
  view->setBackgroundColor(ui::Color::colorWithWhite(0.1, 1));
  cg::Rect b = view->bounds();
  auto label = std::make_shared<ui::Label>()->initWithFrame({20, b.height() / 2 - 20, b.width() - 40, 40});
  label->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                             ui::ViewAutoresizingFlexibleBottomMargin);
  label->setBackgroundColor(std::nullopt);
  label->setTextColor(ui::Color::whiteColor());
  label->setTextAlignment(ui::TextAlignment::Center);
  label->setFont(ui::Font::fontWithName("PF Square Sans Pro", 20));
  label->setText(text);
  view->addSubview(label);
}

void startJSONRequest(const ns::URLRequestPtr& request, std::function<void(const ns::Value& json)> success,
                      std::function<void(const ns::ErrorPtr& error)> failure) {
  startJSONRequest(request, nullptr, std::move(success), std::move(failure));
}

void startJSONRequest(const ns::URLRequestPtr& request, std::function<ns::Value(const ns::Value& json)> read,
                      std::function<void(const ns::Value& kept)> success,
                      std::function<void(const ns::ErrorPtr& error)> failure) {
  auto operation = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request, std::move(read),
      [success = std::move(success)](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&,
                                     const ns::Value& json) {
        if (success) success(json);
      },
      [failure = std::move(failure)](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&,
                                     const ns::ErrorPtr& error, const ns::Value&) {
        if (failure) failure(error);
      });
  operation->start();
}
