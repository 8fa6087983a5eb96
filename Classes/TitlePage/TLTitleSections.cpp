#include "Classes/TitlePage/TLTitleSections.h"

#include "Analytics/Library/MAI.h"
#include "Classes/TLSettings.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "UIKit/Font.h"

namespace {

constexpr const char* kTitles[] = {"Описание", "Выбор эпизода", "Персоны", "Смотрите также"};
constexpr double kWidths[] = {120, 120, 120, 126};

// "%@" of a TitleInfo value as its text: a string itself, a number its digits, else "".
std::string textOf(const ns::Value& value) { return TLSettings::idFromObject(value); }

}  // namespace

std::optional<TLTitleSections::Layout> TLTitleSections::layoutFor(bool series, bool roles, bool advanced) {
  if (!series && !roles && !advanced) return std::nullopt;
  const bool present[] = {true, series, roles, advanced};
  Layout layout;
  for (int s = 0; s < 4; ++s) {
    if (!present[s]) continue;
    layout.titles.push_back(kTitles[s]);
    layout.widths.push_back(kWidths[s]);
    layout.width += kWidths[s];
  }
  return layout;
}

TLTitleSections::Layout TLTitleSections::placeholderLayout() { return *layoutFor(true, true, true); }

int TLTitleSections::sectionForPosition(unsigned position, bool series, bool roles) {
  int p = static_cast<int>(position);
  int s = p + (series ? 0 : 1) + (roles ? 0 : 1);
  if (series && p == 1) s = episodes;
  if (series && roles && p == 2) s = persons;
  if (p == 0) s = description;
  return s;
}

unsigned TLTitleSections::positionOfSection(int section, bool series, bool roles) {
  switch (section) {
    case episodes:
      return 1;
    case persons:
      return series ? 2 : 1;
    case related:
      return 3 - (series ? 0 : 1) - (roles ? 0 : 1);
    default:
      return 0;
  }
}

int TLTitleSections::currentIndexForSegment(int position, bool series, bool roles, bool advanced) {
  if (position == 1 && series) return 1;
  return position + (series ? 0 : 1) + (roles ? 0 : 1) + (advanced ? 0 : 1);
}

std::optional<std::string> TLTitleSections::eventLabel(int section) {
  switch (section) {
    case episodes:
      return "выбор серии";
    case persons:
      return "персоны";
    case related:
      return "смотрите также";
    default:
      return std::nullopt;
  }
}

bool TLTitleSections::isPosterMarked(const ns::Value& senderInfo) {
  return TLSettings::stringFromObject(senderInfo["poster"]) == "poster";
}

bool TLTitleSections::isRoot(const ns::Value& senderInfo) {
  return textOf(senderInfo["parent_id"]).empty() || isPosterMarked(senderInfo);
}

std::string TLTitleSections::selectedItemString(const ns::Value& senderInfo) {
  const ns::Value& index = senderInfo["item_index"];
  // Without a position nothing is current: an empty string would read as 0, the last episode.
  if (index.isNumber() || index.isString()) {
    std::string text = index.isString() ? *index.asString() : std::to_string(index.intValue());
    if (!text.empty()) return text;
  }
  return "-1";
}

TLTitleSections::ListFile TLTitleSections::episodesFile(const ns::Value& senderInfo) {
  if (textOf(senderInfo["parent_id"]).empty())
    return {ns::format("%@ser.plist", textOf(senderInfo["id"])), "ser", "-2"};
  return {ns::format("%@ser.plist", textOf(senderInfo["parent_id"])), "ser", selectedItemString(senderInfo)};
}

TLTitleSections::ListFile TLTitleSections::relatedFile(const ns::Value& senderInfo) {
  const char* key = textOf(senderInfo["parent_id"]).empty() ? "id" : "parent_id";
  return {ns::format("%@als.plist", textOf(senderInfo[key])), "adv", "-1"};
}

ns::Value TLTitleSections::withItemIndex(const ns::Value& senderInfo, const ns::Value& items) {
  std::size_t count = items.isArray() ? items.count() : 0;
  if (count == 0) return senderInfo;
  long long own = TLSettings::longFromObject(senderInfo["id"]);
  if (own == 0) return senderInfo;
  long counter = static_cast<long>(count) - 1;
  for (std::size_t i = 0; i < count; ++i, --counter)
    if (TLSettings::longFromObject(items.at(i)["id"]) == own) break;
  if (counter < 0 || counter >= static_cast<long>(count)) return senderInfo;
  const ns::Dictionary* info = senderInfo.asDictionary();
  ns::Dictionary copy = info ? *info : ns::Dictionary();
  copy.set("item_index", static_cast<int>(counter));
  return ns::Value(std::move(copy));
}

std::shared_ptr<CustomSegmentedControl> TLTitleSections::makeSwitch(
    const Layout& layout, float capWidth, const char* background, const char* pressed,
    std::weak_ptr<CustomSegmentedControlDelegate> delegate) {
  ns::Array titles, images, widths;
  for (std::size_t i = 0; i < layout.titles.size(); ++i) {
    titles.emplace_back(layout.titles[i]);
    images.push_back(ns::Value::null());
    widths.emplace_back(layout.widths[i]);
  }
  auto control = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      static_cast<unsigned>(titles.size()), titles, images, 38, widths,
      ui::Image::imageNamed("black_divider"), capWidth, ui::Image::imageNamed(background),
      ui::Image::imageNamed(pressed), 9000, std::move(delegate));
  control->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                               ui::ViewAutoresizingFlexibleRightMargin);
  control->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
  return control;
}

void TLTitleSections::sendSectionEvent(const std::string& screenName, int section) {
  auto label = eventLabel(section);
  if (!label) return;
  if (auto tracker = MAI::sharedInstance()->defaultTracker())
    tracker->sendEventWithCategory(screenName, std::string("Переход на вкладку"), *label, ns::Value());
}
