#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "Foundation/DataFile.h"
#include "Foundation/PropertyList.h"
#include "support/TempDir.h"

namespace {

using ns::PropertyListFormat;
using ns::PropertyListSerialization;
using ns::Value;
using PropertyListTest = testsupport::TempDirTest;

Value sample() {
  return Value(ns::Dictionary{
      {"id", "12"},
      {"title", "Ёлки <&> \"2\""},
      {"count", -42},
      {"big", std::numeric_limits<std::int64_t>::max()},
      {"ratio", 0.125},
      {"flag", true},
      {"when", ns::Date(ns::Date::kReferenceDateOffset + 12345)},
      {"before", ns::Date(0)},
      {"bytes", ns::Data::fromString(std::string("\0\xFF\x01", 3))},
      {"list", ns::Array{ns::Dictionary{{"id", "1"}}, ns::Array{}, ""}},
  });
}

TEST_F(PropertyListTest, RoundTripsBothFormatsAndReportsWhich) {
  for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
    ns::ErrorPtr error;
    auto data = PropertyListSerialization::dataWithPropertyList(sample(), format, &error);
    ASSERT_TRUE(data) << (error ? error->describe() : "");
    PropertyListFormat read = PropertyListFormat::OpenStep;
    Value back = PropertyListSerialization::propertyListWithData(*data, &read, &error);
    EXPECT_EQ(read, format);
    EXPECT_EQ(back, sample()) << back.describe();
  }
  // The binary format keeps fractions of a second, XML whole seconds only.
  Value precise(ns::Array{ns::Date(ns::Date::kReferenceDateOffset + 12345.5)});
  auto binary = PropertyListSerialization::dataWithPropertyList(precise, PropertyListFormat::Binary);
  EXPECT_EQ(PropertyListSerialization::propertyListWithData(*binary), precise);
}

TEST_F(PropertyListTest, RefusesValuesAPropertyListCannotHold) {
  struct Case {
    const char* name;
    Value value;
  } cases[] = {
      {"nil", Value()},
      {"null", ns::Array{Value::null()}},
      {"object", ns::Dictionary{{"e", Value(ns::Error::make("d", 1))}}},
      {"unsigned", std::numeric_limits<std::uint64_t>::max()},
      {"invalid text", std::string("\xC3\x28")},
      {"embedded nul", std::string("a\0b", 3)},
      {"far date", ns::Date(1e12)},
  };
  std::string path = tmp.file("list.plist");
  ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Array{"old"}), path));
  for (const auto& c : cases) {
    ns::ErrorPtr error;
    EXPECT_FALSE(PropertyListSerialization::propertyListIsValid(c.value)) << c.name;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::Binary, &error)) << c.name;
    ASSERT_NE(error, nullptr) << c.name;
    EXPECT_EQ(error->code(), ns::kPropertyListWriteInvalidError);
    EXPECT_FALSE(ns::writePropertyListToFile(c.value, path)) << c.name;
    EXPECT_EQ(ns::arrayWithContentsOfFile(path), (ns::Array{"old"})) << c.name;
  }
}

// What another program reads out of each file the platform writes: one line of JSON per file.
std::optional<std::vector<std::string>> readByPython(const std::vector<std::string>& paths) {
  std::string command =
      "python3 -c 'import json, plistlib, sys\n"
      "for p in sys.argv[1:]: print(json.dumps(plistlib.load(open(p, \"rb\")), default=repr))'";
  for (const auto& p : paths) command += " '" + p + "'";
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  if (pclose(pipe) != 0) {
    ADD_FAILURE() << out;
    return std::vector<std::string>{};
  }
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Text XML cannot carry keeps its file in the binary format, and XML data refuses it; a carriage
// return stays one (a reader of XML reads a raw one as a line feed).
TEST_F(PropertyListTest, AnotherProgramReadsEveryFileAsItWasWritten) {
  if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  struct Case {
    Value value;
    PropertyListFormat asked, written;
    const char* json;  // as the other program reads it; nullptr: only read
  } cases[] = {
      {sample(), PropertyListFormat::XML, PropertyListFormat::XML, nullptr},
      {sample(), PropertyListFormat::Binary, PropertyListFormat::Binary, nullptr},
      {ns::Dictionary{{"k\r", "a\r\nb\rc"}}, PropertyListFormat::XML, PropertyListFormat::XML,
       R"({"k\r": "a\r\nb\rc"})"},
      {ns::Dictionary{{"t", "bel\a esc\x1b[0m"}}, PropertyListFormat::XML, PropertyListFormat::Binary,
       R"({"t": "bel\u0007 esc\u001b[0m"})"},
      {ns::Dictionary{{"\x1b", "x"}}, PropertyListFormat::XML, PropertyListFormat::Binary,
       R"({"\u001b": "x"})"},
      {ns::Array{"\xEF\xBF\xBE"}, PropertyListFormat::XML, PropertyListFormat::Binary, R"(["\ufffe"])"},
  };
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    std::string path = tmp.file(std::to_string(paths.size()) + ".plist");
    paths.push_back(path);
    ASSERT_TRUE(ns::writePropertyListToFile(c.value, path, true, c.asked)) << paths.size();
    PropertyListFormat read = PropertyListFormat::OpenStep;
    EXPECT_EQ(ns::propertyListWithContentsOfFile(path, &read), c.value) << paths.size();
    EXPECT_EQ(read, c.written) << paths.size();
    if (c.asked == c.written) continue;
    ns::ErrorPtr error;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::XML, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::kPropertyListWriteInvalidError);
  }
  auto lines = readByPython(paths);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (cases[i].json) {
      EXPECT_EQ((*lines)[i], cases[i].json) << i;
    }
  }
}

TEST_F(PropertyListTest, ReadersGiveNilForMissingBrokenOrWrongKind) {
  std::string dictionaryFile = tmp.file("d.plist"), arrayFile = tmp.file("a.plist"), junk = tmp.file("junk");
  ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Dictionary{{"k", 1}}), dictionaryFile));
  ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Array{1}), arrayFile, true, PropertyListFormat::Binary));
  std::ofstream(junk) << "<?xml version=\"1.0\"?><plist><dict><key>a</key><string>unterminated";
  EXPECT_EQ(ns::dictionaryWithContentsOfFile(dictionaryFile), (ns::Dictionary{{"k", 1}}));
  EXPECT_EQ(ns::arrayWithContentsOfFile(arrayFile), (ns::Array{1}));
  EXPECT_FALSE(ns::arrayWithContentsOfFile(dictionaryFile));
  EXPECT_FALSE(ns::dictionaryWithContentsOfFile(arrayFile));
  EXPECT_FALSE(ns::arrayWithContentsOfFile(tmp.file("missing.plist")));
  EXPECT_FALSE(ns::dictionaryWithContentsOfFile(junk));
  EXPECT_FALSE(ns::arrayWithContentsOfFile(tmp.str()));

  const std::string broken[] = {"", "bplist00", "bplist00\xff\xff\xff\xff", "plain text", "<plist>", "{a=1;}"};
  for (const auto& bytes : broken) {
    ns::ErrorPtr error;
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(ns::Data::fromString(bytes), nullptr, &error).isNil());
    ASSERT_NE(error, nullptr) << bytes;
    EXPECT_EQ(error->code(), ns::kPropertyListReadCorruptError);
  }
}

TEST_F(PropertyListTest, AtomicWriteKeepsTheOldFileWhenItFails) {
  std::string path = tmp.file("cache.plist");
  ASSERT_TRUE(ns::writeDataToFile(ns::Data::fromString("old"), path));
  // A folder that cannot take the temporary file: the write fails and the old file stays whole.
  ASSERT_EQ(::chmod(tmp.str().c_str(), 0500), 0);
  ns::ErrorPtr error;
  bool wrote = ns::writeDataToFile(ns::Data::fromString("new contents"), path, true, &error);
  ::chmod(tmp.str().c_str(), 0700);
  if (::geteuid() != 0) {
    EXPECT_FALSE(wrote);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), ns::kFileWriteNoPermissionError);
    EXPECT_EQ(*error->userInfo()[ns::kFilePathErrorKey].asString(), path);
    EXPECT_EQ(ns::dataWithContentsOfFile(path)->toString(), "old");
  }
  // Failures that hold for root too: a folder in the way, a missing folder.
  std::filesystem::create_directories(tmp.path() / "dir" / "inner");
  EXPECT_FALSE(ns::writeDataToFile(ns::Data::fromString("x"), tmp.file("dir"), true, &error));
  EXPECT_TRUE(std::filesystem::is_directory(tmp.path() / "dir" / "inner"));
  std::filesystem::remove_all(tmp.path() / "dir");
  EXPECT_FALSE(ns::writeDataToFile(ns::Data::fromString("x"), tmp.file("no/such/file"), true, &error));
  EXPECT_EQ(error->code(), ns::kFileNoSuchFileError);
  // No temporary files are left behind.
  ASSERT_TRUE(ns::writeDataToFile(ns::Data::fromString("new"), path));
  EXPECT_EQ(ns::dataWithContentsOfFile(path)->toString(), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(PropertyListTest, ReadingAMissingFileReportsIt) {
  ns::ErrorPtr error;
  EXPECT_FALSE(ns::dataWithContentsOfFile(tmp.file("none"), &error));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
  EXPECT_EQ(error->code(), ns::kFileReadNoSuchFileError);
  EXPECT_EQ(error->userInfo()[ns::kUnderlyingErrorKey].asObject<ns::Error>()->code(), ENOENT);
}

}  // namespace
