#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "FacebookPeer.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/UserDefaults.h"
#include "VkontaktePeer.h"
#include "support/TempDir.h"

namespace {

using testsupport::readText;

// Each subtree of the dump whose top line names the class, its lines indented from that line.
std::vector<std::string> subtreesOf(const std::string& dump, const std::string& className) {
  std::vector<std::string> lines;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto indentOf = [](const std::string& line) { return line.find_first_not_of(' '); };
  std::vector<std::string> trees;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::size_t indent = indentOf(lines[i]);
    if (indent == std::string::npos || lines[i].compare(indent, className.size() + 1, className + " ") != 0)
      continue;
    std::string tree = lines[i].substr(indent) + "\n";
    for (std::size_t j = i + 1; j < lines.size() && indentOf(lines[j]) > indent; ++j)
      tree += lines[j].substr(indent) + "\n";
    trees.push_back(tree);
  }
  return trees;
}

// The client run against the suite's service and both social peers in this process, every
// origin of the client pointing at them.
class ShareScriptTest : public testsupport::ClientServiceSuite,
                        public ::testing::WithParamInterface<const char*> {
 protected:
  static void SetUpTestSuite() {
    ClientServiceSuite::SetUpTestSuite();
    facebook_ = new socialpeers::FacebookPeer();
    facebook_->start();
    vkontakte_ = new socialpeers::VkontaktePeer();
    vkontakte_->start();
  }
  static void TearDownTestSuite() {
    delete facebook_;
    delete vkontakte_;
    facebook_ = nullptr;
    vkontakte_ = nullptr;
    ClientServiceSuite::TearDownTestSuite();
  }
  void SetUp() override {
    ClientServiceSuite::SetUp();
    for (const char* name : {"VCC_FB_DIALOG_ORIGIN", "VCC_FB_GRAPH_ORIGIN", "VCC_FB_REST_ORIGIN",
                             "VCC_FB_VIDEO_ORIGIN", "VCC_FB_SITE_ORIGIN"})
      setEnvironment(name, facebook_->origin());
    setEnvironment("VCC_VK_ORIGIN", vkontakte_->origin());
    freshPeers();
  }
  void TearDown() override {
    freshPeers();
    for (const auto& [name, value] : savedEnvironment_)
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    ClientServiceSuite::TearDown();
  }

  void setEnvironment(const std::string& name, const std::string& value) {
    if (!savedEnvironment_.contains(name)) {
      const char* old = getenv(name.c_str());
      savedEnvironment_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
  }
  // Peers as new, no cookies and no stored logins, as for a person opening the client for the
  // first time.
  static void freshPeers() {
    facebook_->reset();
    vkontakte_->reset();
    auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    for (const char* key : {"VKontakteAccessToken", "FaceBookAccessToken", "FaceBookExpirationDate"})
      defaults->removeObjectForKey(key);
    defaults->synchronize();
  }

  // Runs the script on the parameter's device into its own folder; the reason when it fails.
  std::string run(const std::string& script, const testsupport::TempDir& out) {
    std::string failure;
    int exitCode =
        testsupport::runClientInProcess({"--headless", "--device", GetParam(), "--host",
                                         server_->hostAndPort(), "--out", out.str(), "--script", script},
                                        {}, &failure);
    return exitCode == 0 ? std::string() : "exit " + std::to_string(exitCode) + ": " + failure;
  }
  std::string shot(const testsupport::TempDir& out, const std::string& name) const {
    return readText(out.file(std::string(GetParam()) + "-" + name + ".txt"));
  }

  static inline socialpeers::FacebookPeer* facebook_ = nullptr;
  static inline socialpeers::VkontaktePeer* vkontakte_ = nullptr;
  std::map<std::string, std::optional<std::string>> savedEnvironment_;
};

// The share script's sheets are those a person opens with the title page's buttons on the same
// device: the same views, where the page puts them, with the same login pages and, once logged
// in, the same message in the editor.
TEST_P(ShareScriptTest, TheShareStepOpensTheSheetsTheTitlePageOpens) {
  testsupport::TempDir scripts, byButton, byStep;
  const std::string buttons = scripts.file("buttons.vcc");
  std::ofstream(buttons)
      << "post TLNavigationShowMenu\ntype \"Тень ночного поезда\"\nsearch\n"
      << "tap TLVideoItemPriview* \"Тень ночного поезда\"\n"
      << "tap Button \"vkontakte.png\"\nshot vk\n"
      << "fill \"email\" \"user@example.com\"\nfill \"pass\" \"secret\"\npress \"Log in\"\n"
      << "shot vk-editor\ntap Button \"closeFB_.png\"\n"
      << "tap Button \"facebook.png\"\nshot fb\n"
      << "fill \"email\" \"user@example.com\"\nfill \"pass\" \"secret\"\npress \"Log In\"\n"
      << "shot fb-editor\n";
  ASSERT_EQ("", run(buttons, byButton));
  freshPeers();
  ASSERT_EQ("", run(std::string(VCC_SCRIPTS_DIR) + "/share-sheets.vcc", byStep));

  struct Sheet {
    const char* buttonShot;
    const char* stepShot;
    const char* className;
  };
  for (const Sheet& s :
       {Sheet{"vk", "share-vk-login", "VkontakteWebView"}, Sheet{"fb", "share-fb-login", "FaceBookSender"},
        Sheet{"fb", "share-fb-login", "FBLoginDialog"},
        Sheet{"vk-editor", "share-vk-editor", "VkontakteWebView"},
        Sheet{"fb-editor", "share-fb-editor", "FaceBookSender"}}) {
    SCOPED_TRACE(s.stepShot);
    auto page = subtreesOf(shot(byButton, s.buttonShot), s.className);
    auto step = subtreesOf(shot(byStep, s.stepShot), s.className);
    ASSERT_EQ(page.size(), 1u);
    ASSERT_EQ(step.size(), 1u) << shot(byStep, s.stepShot);
    EXPECT_EQ(step[0], page[0]);
  }
  // The sheets that went on from the login to sending.
  EXPECT_EQ(subtreesOf(shot(byStep, "share-vk-sent"), "VkontakteWebView").size(), 0u);
  EXPECT_EQ(subtreesOf(shot(byStep, "share-fb-sent"), "FaceBookSender").size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Devices, ShareScriptTest, ::testing::Values("tablet", "phone"),
                         [](const auto& p) { return std::string(p.param); });

}  // namespace
