// What the keys do in every text input: the delete keys take what a reader sees as one character,
// and a one-line input scrolls its text sideways to keep the caret in view.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/URLRequest.h"
#include "ScreenTestSupport.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/WebView.h"
#include "support/CaseName.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

struct DeleteCase {
  std::string name;
  std::string text;
  std::string afterBackspace;  // at the end
  std::string afterDelete;     // at the start
};

class DeleteKeyTest : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteKeyTest, BackspaceAndDeleteTakeOneUserPerceivedCharacter) {
  const DeleteCase& c = GetParam();
  testsupport::ScreenScope screen;
  auto bar = std::make_shared<ui::SearchBar>()->initWithFrame({0, 0, 300, 44});
  bar->setText(c.text);
  ASSERT_TRUE(bar->becomeFirstResponder());
  EXPECT_TRUE(bar->deleteBackward());
  EXPECT_EQ(bar->text(), c.afterBackspace);
  bar->setText(c.text);
  bar->moveCaret(ui::CaretMove::lineStart);
  EXPECT_TRUE(bar->deleteForward());
  EXPECT_EQ(bar->text(), c.afterDelete);
  // The arrows step over the same characters.
  bar->setText(c.text);
  bar->moveCaret(ui::CaretMove::left);
  EXPECT_EQ(bar->caretPosition(), ns::utf16Length(c.afterBackspace));
  bar->resignFirstResponder();
}

INSTANTIATE_TEST_SUITE_P(
    Characters, DeleteKeyTest,
    ::testing::Values(
        DeleteCase{"flags", "🇷🇺🇫🇷", "🇷🇺", "🇫🇷"},
        DeleteCase{"emoji_with_skin_tone", "a👍🏽👍🏽", "a👍🏽", "👍🏽👍🏽"},
        DeleteCase{"family_joined_by_zero_width_joiners", "👨‍👩‍👧x👨‍👩‍👧",
                   "👨‍👩‍👧x", "x👨‍👩‍👧"},
        DeleteCase{"combining_accents", "e\u0301te\u0301", "e\u0301t", "te\u0301"},
        DeleteCase{"carriage_return_line_feed", "a\r\nb\r\n", "a\r\nb", "\r\nb\r\n"}),
    testsupport::CaseName());

// An input of one line with the keyboard, and where its field lies in it; its text starts `inset`
// points into the field.
struct OneLineInput {
  std::string name;
  double inset;
  std::function<std::shared_ptr<ui::View>(testsupport::LoopbackServer& server, cg::Rect& field)> make;
};

std::shared_ptr<ui::View> searchBar(testsupport::LoopbackServer&, cg::Rect& field) {
  auto bar = std::make_shared<ui::SearchBar>()->initWithFrame({0, 0, 240, 44});
  field = bar->searchFieldRect();
  ui::tap(bar);
  return bar;
}

std::shared_ptr<ui::View> webField(testsupport::LoopbackServer& server, cg::Rect& field) {
  testsupport::Reply page =
      testsupport::Reply::text(R"(<form action="/s"><input type="text" name="q"></form>)");
  page.contentType = "text/html; charset=utf-8";
  server.reply("/page", page);
  auto web = std::make_shared<ui::WebView>()->initWithFrame({0, 0, 240, 60});
  web->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server.url("/page"))));
  if (!testsupport::spinUntil([&] { return !web->isLoading() && !web->page().fields.empty(); }, 30))
    return nullptr;
  for (const auto& box : web->pageLayout())
    if (box.kind == ui::WebPage::Item::Kind::field) field = box.rect;
  ui::tapAtPoint(web, field.center());
  return web;
}

class OneLineInputTest : public ::testing::TestWithParam<OneLineInput> {};

// A person typing past the field's end sees what they type and where the caret is; Left moves the
// caret within what shows, and Home brings the text's start back.
TEST_P(OneLineInputTest, TheTextScrollsToKeepTheCaretInView) {
  testsupport::ScreenScope screen;
  testsupport::LoopbackServer server;
  cg::Rect field;
  auto view = GetParam().make(server, field);
  ASSERT_TRUE(view && view->isFirstResponder());
  auto* input = dynamic_cast<ui::TextInput*>(view.get());
  ui::setCaretBlinkOn(true);
  auto picture = [&] { return ui::renderView(view, 1); };
  auto pixels = [](const cg::ImagePtr& image) {
    return std::vector<std::uint32_t>(image->pixels().begin(), image->pixels().end());
  };
  auto caret = [&] { return testsupport::caretColumns(*picture()); };

  ASSERT_TRUE(input->insertText("начало of a long address that does not fit@example.com"));
  auto endShot = picture();
  auto atEnd = testsupport::caretColumns(*endShot);
  ASSERT_TRUE(atEnd);
  EXPECT_GT(atEnd->first, field.maxX() - 20) << "the caret stands at the field's right";
  EXPECT_LE(atEnd->second, field.maxX());
  // What is typed last shows: a different last letter draws a different picture.
  input->deleteBackward();
  input->insertText("W");
  ui::setCaretBlinkOn(false);
  auto otherEnd = picture();
  input->deleteBackward();
  input->insertText("m");
  EXPECT_NE(pixels(otherEnd), pixels(picture()));
  ui::setCaretBlinkOn(true);

  for (int i = 0; i < 3; ++i) input->moveCaret(ui::CaretMove::left);
  auto left = caret();
  ASSERT_TRUE(left);
  EXPECT_LT(left->first, atEnd->first - 12) << "the caret moves back over the letters, the text stays";
  input->moveCaret(ui::CaretMove::lineStart);
  auto home = caret();
  ASSERT_TRUE(home) << "the text's start scrolled back into view";
  EXPECT_EQ(home->first + home->second + 1, 2 * (field.x() + GetParam().inset))
      << "the caret stands centred on the gap before the first letter, not over it";
  input->moveCaret(ui::CaretMove::lineEnd);
  EXPECT_EQ(caret(), atEnd);
  // A touch puts the caret by the letters under it, in the line as it shows.
  const std::size_t end = input->caretPosition();
  ui::tapAtPoint(view, {field.maxX() - 14, field.midY()});
  EXPECT_GE(input->caretPosition() + 4, end);
  EXPECT_LT(input->caretPosition(), end);
  view->resignFirstResponder();
}

INSTANTIATE_TEST_SUITE_P(Inputs, OneLineInputTest,
                         ::testing::Values(OneLineInput{"search_bar", 26, searchBar},
                                           OneLineInput{"web_page_field", 4, webField}),
                         testsupport::CaseName());

}  // namespace
