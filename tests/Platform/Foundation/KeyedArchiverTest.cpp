#include <gtest/gtest.h>

#include <thread>

#include "Foundation/ClassRegistry.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/PropertyList.h"

namespace {

using ns::KeyedArchiver;
using ns::KeyedUnarchiver;
using ns::Value;

// An archivable node of a graph: a name, a count, a flag, a URL, a value and a link to another node.
class ArchiveNode : public ns::Object, public ns::Coding {
 public:
  std::string name;
  std::int64_t count = 0;
  bool flag = false;
  double ratio = 0;
  std::optional<ns::URL> url;
  Value payload;
  std::shared_ptr<ArchiveNode> next;

  void encodeWithCoder(KeyedArchiver& coder) override {
    coder.encodeObject(Value(name), "name");
    coder.encodeInt64(count, "count");
    coder.encodeBool(flag, "flag");
    coder.encodeDouble(ratio, "ratio");
    coder.encodeURL(url, "url");
    coder.encodeObject(payload, "payload");
    coder.encodeObject(Value(next), "next");
  }
  std::shared_ptr<ns::Object> initWithCoder(KeyedUnarchiver& coder) override {
    if (!coder.containsValueForKey("name")) return nullptr;
    name = *coder.decodeObjectForKey("name").asString();
    count = coder.decodeInt64ForKey("count");
    flag = coder.decodeBoolForKey("flag");
    ratio = coder.decodeDoubleForKey("ratio");
    url = coder.decodeURLForKey("url");
    payload = coder.decodeObjectForKey("payload");
    next = coder.decodeObjectForKey("next").asObject<ArchiveNode>();
    return shared_from_this();
  }
};

class Unarchivable : public ns::Object {};

void registerTestClasses() { ns::ClassRegistry::shared().registerClass<ArchiveNode>("ArchiveNode", "NSObject"); }

TEST(KeyedArchiverTest, RoundTripsValues) {
  Value values[] = {
      Value("Ёлки"),
      Value(42),
      Value(-1.5),
      Value(true),
      Value::null(),
      Value(ns::Date(1.0e9 + 0.25)),
      Value(ns::Data::fromString(std::string("\0\1", 2))),
      Value(ns::Dictionary{{"a", ns::Array{1, "x", ns::Dictionary{}}}, {"b", Value::null()}}),
      Value(ns::Array{}),
  };
  for (const Value& value : values) {
    ns::ErrorPtr error;
    auto data = KeyedArchiver::archivedDataWithRootObject(value, &error);
    ASSERT_TRUE(data) << value.describe();
    EXPECT_TRUE(data->view().starts_with("bplist00"));
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(*data, &error), value) << value.describe();
  }
}

TEST(KeyedArchiverTest, RoundTripsObjectGraphsWithSharingAndCycles) {
  registerTestClasses();
  auto first = std::make_shared<ArchiveNode>();
  auto second = std::make_shared<ArchiveNode>();
  first->name = "first";
  first->count = -7;
  first->flag = true;
  first->ratio = 0.5;
  first->url = ns::URL::URLWithString("item/5", *ns::URL::URLWithString("http://h.test/a/"));
  first->payload = Value(ns::Dictionary{{"shared", Value(second)}});
  first->next = second;
  second->name = "second";
  second->next = first;  // a cycle

  auto data = KeyedArchiver::archivedDataWithRootObject(Value(first));
  ASSERT_TRUE(data);
  second->next.reset();  // break the cycle of the originals

  auto decoded = KeyedUnarchiver::unarchiveObjectWithData(*data).asObject<ArchiveNode>();
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->name, "first");
  EXPECT_EQ(decoded->count, -7);
  EXPECT_TRUE(decoded->flag);
  EXPECT_EQ(decoded->ratio, 0.5);
  ASSERT_TRUE(decoded->url);
  EXPECT_EQ(decoded->url->absoluteString(), "http://h.test/a/item/5");
  EXPECT_EQ(decoded->url->relativeString(), "item/5");
  ASSERT_TRUE(decoded->next);
  EXPECT_EQ(decoded->next->name, "second");
  EXPECT_EQ(decoded->payload["shared"].asObject<ArchiveNode>(), decoded->next);
  EXPECT_EQ(decoded->next->next, decoded);
  decoded->next->next.reset();
}

TEST(KeyedArchiverTest, ArchivesErrors) {
  auto error = ns::Error::make(ns::kURLErrorDomain, ns::URLError::Cancelled,
                               ns::Dictionary{{ns::kURLErrorFailingURLStringErrorKey, "http://h/"},
                                              {"object", Value(std::make_shared<Unarchivable>())}});
  auto data = KeyedArchiver::archivedDataWithRootObject(Value(error));
  ASSERT_TRUE(data);
  auto back = KeyedUnarchiver::unarchiveObjectWithData(*data).asObject<ns::Error>();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->domain(), ns::kURLErrorDomain);
  EXPECT_EQ(back->code(), -999);
  EXPECT_EQ(back->userInfo(), (ns::Dictionary{{ns::kURLErrorFailingURLStringErrorKey, "http://h/"}}));
}

TEST(KeyedArchiverTest, RefusesWhatCannotBeArchived) {
  Value bad[] = {Value(std::make_shared<Unarchivable>()), Value(ns::Array{Value(std::make_shared<Unarchivable>())}),
                 Value(std::numeric_limits<std::uint64_t>::max())};
  for (const Value& value : bad) {
    ns::ErrorPtr error;
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(value, &error));
    ASSERT_NE(error, nullptr);
  }
}

TEST(KeyedArchiverTest, CorruptArchivesDecodeToNilWithAnError) {
  auto archive = [](Value objects, Value root = Value(ns::Dictionary{{"CF$UID", 1}})) {
    return ns::Dictionary{{"$archiver", "NSKeyedArchiver"},
                          {"$version", 100000},
                          {"$top", ns::Dictionary{{"root", root}}},
                          {"$objects", objects}};
  };
  auto uid = [](int n) { return Value(ns::Dictionary{{"CF$UID", n}}); };
  ns::Dictionary cases[] = {
      archive(Value(ns::Array{"$null", ns::Dictionary{{"$class", uid(9)}}})),
      archive(Value(ns::Array{"$null"}), uid(5)),
      archive(Value(ns::Array{"$null", ns::Dictionary{{"NS.objects", ns::Array{uid(1)}}, {"$class", uid(2)}},
                              ns::Dictionary{{"$classname", "NSArray"}}})),
      archive(Value(ns::Array{"$null", ns::Dictionary{{"$class", uid(2)}}, ns::Dictionary{{"$classname", "NoSuchClass"}}})),
      archive(Value(ns::Array{"$null", ns::Dictionary{{"NS.keys", ns::Array{uid(3)}}, {"NS.objects", ns::Array{}},
                                                      {"$class", uid(2)}},
                              ns::Dictionary{{"$classname", "NSDictionary"}}, "k"})),
      archive(Value(ns::Array{}), uid(0)),
      ns::Dictionary{{"$objects", ns::Array{"$null"}}},
  };
  for (const auto& dictionary : cases) {
    // Stored as a plain property list with dictionaries in place of UIDs: still a well-formed
    // property list, but every one of these is a broken archive.
    auto data = ns::PropertyListSerialization::dataWithPropertyList(Value(dictionary), ns::PropertyListFormat::Binary);
    ASSERT_TRUE(data);
    ns::ErrorPtr error;
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(*data, &error).isNil()) << Value(dictionary).describe();
    EXPECT_NE(error, nullptr);
  }
  ns::ErrorPtr error;
  EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(ns::Data::fromString("junk"), &error).isNil());
  EXPECT_NE(error, nullptr);
}

TEST(ClassRegistryTest, LooksUpClassesByNameFromSeveralThreads) {
  auto& registry = ns::ClassRegistry::shared();
  registry.registerClass<ArchiveNode>("ArchiveNodeBase");
  registry.registerClass<ArchiveNode>("ArchiveNodeChild", "ArchiveNodeBase");
  registry.registerClass<ArchiveNode>("LoopA", "LoopB");
  registry.registerClass<ArchiveNode>("LoopB", "LoopA");
  EXPECT_TRUE(registry.isSubclassOf("ArchiveNodeChild", "ArchiveNodeBase"));
  EXPECT_FALSE(registry.isSubclassOf("ArchiveNodeBase", "ArchiveNodeChild"));
  EXPECT_EQ(registry.classChain("LoopA"), (std::vector<std::string>{"LoopA", "LoopB"}));
  EXPECT_EQ(registry.make("NoSuchClass"), nullptr);
  std::vector<std::thread> threads;
  std::atomic<int> made{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        registry.registerClass<ArchiveNode>("Threaded" + std::to_string(t));
        if (std::dynamic_pointer_cast<ArchiveNode>(registry.make("ArchiveNodeChild"))) ++made;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(made.load(), 400);
}

}  // namespace
