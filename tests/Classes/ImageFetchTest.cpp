// Reading a batch of cached pictures side by side: every file ends up at its own place, whatever
// the order the readers finish in, and files that hold no picture read as nothing.
#include <gtest/gtest.h>

#include <fstream>

#include "Classes/TLImageFetch.h"
#include "Graphics/Context.h"
#include "support/TempDir.h"

namespace {

class ImageFetchTest : public testsupport::TempDirTest {
 protected:
  // A PNG file of the given width, so each file can be told apart by its size.
  std::string writePicture(const std::string& name, int width) {
    auto ctx = cg::Context::makeBitmap({double(width), 3}, false, 1);
    ctx->setFillColor(cg::Color::rgba(0.1, 0.5, 0.9));
    ctx->fillRect({0, 0, double(width), 3});
    ns::Data png = ctx->makeImage()->pngData();
    std::ofstream(tmp.file(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.bytes()), std::streamsize(png.length()));
    return tmp.file(name);
  }
};

TEST_F(ImageFetchTest, BatchesKeepTheirOrderAndMarkUnreadableFiles) {
  std::vector<std::string> paths;
  for (int i = 0; i < 14; ++i) paths.push_back(writePicture(std::to_string(i) + ".png", i + 1));
  std::ofstream(tmp.file("broken.png")) << "\x89PNG not really";
  paths.insert(paths.begin() + 5, tmp.file("broken.png"));
  paths.insert(paths.begin() + 9, tmp.file("missing.png"));
  paths.push_back(paths.front());

  // Repeated, so helpers still starting from an earlier batch meet the next one.
  for (int round = 0; round < 20; ++round) {
    auto images = TLImageFetch::readImages(paths);
    ASSERT_EQ(images.size(), paths.size());
    int width = 1;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (i == 5 || i == 9) {
        EXPECT_FALSE(images[i]) << paths[i];
        continue;
      }
      ASSERT_TRUE(images[i]) << paths[i];
      EXPECT_EQ(images[i]->size().width, i + 1 == paths.size() ? 1 : width++) << paths[i];
    }
  }
  EXPECT_TRUE(TLImageFetch::readImages({}).empty());
  auto single = TLImageFetch::readImages({paths.front()});
  ASSERT_EQ(single.size(), 1u);
  EXPECT_TRUE(single.front());
}

}  // namespace
