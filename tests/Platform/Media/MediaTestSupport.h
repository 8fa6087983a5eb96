#pragma once

#include <dirent.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>

#include "Media/Player.h"
#include "Media/PlayerItem.h"
#include "Media/URLAsset.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace mediatest {

constexpr std::int32_t kNanoseconds = 1'000'000'000;
// The programme clip: 12 seconds in three 4-second segments, 25 pictures a second.
constexpr double kProgrammeSeconds = 12;

inline av::Time seconds(double s) { return av::TimeMakeWithSeconds(s, kNanoseconds); }

// Threads of the media layer still running in this process (they are named "av.<role>").
inline int mediaThreads() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      if (name.rfind("av.", 0) == 0) ++count;
    }
    closedir(dir);
  }
  return count;
}

// A joined thread can still be listed for a moment after its join returns, so counts are compared
// once they have had a moment to settle.
inline bool mediaThreadsFallTo(int count) {
  return testsupport::spinUntil([count] { return mediaThreads() <= count; }, 2.0) && mediaThreads() == count;
}

// The media threads running before a test starts some: those a past test stopped are let go first.
inline int settledMediaThreads() {
  testsupport::spinUntil([] { return mediaThreads() == 0; }, 0.5);
  return mediaThreads();
}

class MediaTest : public testsupport::SampleServiceSuite {
 protected:
  static std::shared_ptr<av::URLAsset> asset(const std::string& path) {
    return av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString(server_->url(path)));
  }

  // Loads the keys the player asks for and waits for the handler.
  static std::shared_ptr<av::URLAsset> loadedAsset(const std::string& path) {
    auto a = asset(path);
    auto done = std::make_shared<std::atomic<bool>>(false);
    a->loadValuesAsynchronouslyForKeys({"tracks", "playable"}, [done] { done->store(true); });
    EXPECT_TRUE(testsupport::spinUntil([&] { return done->load(); }));
    return a;
  }

  static bool waitForStatus(const std::shared_ptr<av::PlayerItem>& item) {
    return testsupport::spinUntil([&] { return item->status() != av::PlayerItemStatus::unknown; });
  }

  // A player with the item at the path, waited for until it is ready.
  static std::shared_ptr<av::Player> readyPlayer(const std::string& path) {
    auto item = av::PlayerItem::playerItemWithAsset(asset(path));
    auto player = av::Player::playerWithPlayerItem(item);
    EXPECT_TRUE(waitForStatus(item));
    EXPECT_EQ(item->status(), av::PlayerItemStatus::readyToPlay)
        << (item->error() ? item->error()->describe() : "");
    return player;
  }

  static double loadedEnd(const av::PlayerItem& item) {
    const auto& ranges = item.loadedTimeRanges();
    if (ranges.empty()) return 0;
    return av::TimeGetSeconds(ranges[0].start) + av::TimeGetSeconds(ranges[0].duration);
  }
};

}  // namespace mediatest
