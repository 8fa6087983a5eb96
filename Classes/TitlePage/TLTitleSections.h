#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "Foundation/Value.h"
#include "Graphics/Geometry.h"

// The title page's section rules that both page twins share: which segments the switch has for
// the sections present, which section a segment position opens, where a strip's shortcut points,
// the analytics labels, and which list file and current entry a section view reads.
class TLTitleSections final {
 public:
  TLTitleSections() = delete;

  enum Section { description = 0, episodes = 1, persons = 2, related = 3 };

  struct Layout {
    std::vector<std::string> titles;
    std::vector<double> widths;
    double width = 0;  // the sum of the widths
  };
  // The segments for the sections present, description first; nothing when only the description is.
  static std::optional<Layout> layoutFor(bool series, bool roles, bool advanced);
  // All four segments: the first switch a page makes, before it knows its sections.
  static Layout placeholderLayout();

  // The section a segment position opens.
  static int sectionForPosition(unsigned position, bool series, bool roles);
  // The segment position of a section (the strips' shortcuts).
  static unsigned positionOfSection(int section, bool series, bool roles);
  // The position plus one for each absent section, except that position 1 stays 1 with episodes.
  static int currentIndexForSegment(int position, bool series, bool roles, bool advanced);
  // The analytics label of a section switch; nothing for the description.
  static std::optional<std::string> eventLabel(int section);

  // What a section view of a titles list reads.
  struct ListFile {
    std::string fileName;
    std::string sort;
    std::string selected;
  };
  // A root's own episodes ("-2": its last entry is current), or an episode's series with its
  // item_index; "-1" when the episode's position is not known.
  static ListFile episodesFile(const ns::Value& senderInfo);
  static ListFile relatedFile(const ns::Value& senderInfo);

  // The section view of a section other than the description: the persons list, or the titles of
  // its list file; none for persons when there are none.
  template <class SectionView>
  static std::shared_ptr<SectionView> sectionView(int section, const cg::Rect& frame,
                                                  const ns::Value& senderInfo, const ns::Value& actors) {
    if (section == persons) {
      const ns::Array* people = actors.asArray();
      if (!people || people->empty()) return nullptr;
      return std::make_shared<SectionView>()->initForRoleWithFrame(frame, *people);
    }
    ListFile list = section == episodes ? episodesFile(senderInfo) : relatedFile(senderInfo);
    return std::make_shared<SectionView>()->initWithFrame(frame, list.fileName, list.sort, list.selected);
  }

  // A root: "parent_id" empty, or marked with "poster" = "poster".
  static bool isRoot(const ns::Value& senderInfo);
  static bool isPosterMarked(const ns::Value& senderInfo);
  // The TitleInfo with the item_index of its own entry in the series list (ids compared as
  // integers), or unchanged when the list does not hold it.
  static ns::Value withItemIndex(const ns::Value& senderInfo, const ns::Value& items);
  // The current entry as a row or section view takes it: item_index, or "-1" for none.
  static std::string selectedItemString(const ns::Value& senderInfo);

  // A switch of the layout's segments, text only, 38 high, tag 9000, the font set (so "Описание"
  // is selected); the caller frames and places it.
  static std::shared_ptr<CustomSegmentedControl> makeSwitch(
      const Layout& layout, float capWidth, const char* background, const char* pressed,
      std::weak_ptr<CustomSegmentedControlDelegate> delegate);
  // Tells the default tracker of a switch to a section (none for the description).
  static void sendSectionEvent(const std::string& screenName, int section);
};
