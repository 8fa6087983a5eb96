#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "Foundation/Error.h"
#include "Foundation/Exception.h"
#include "Store/ManagedObjectContext.h"
#include "Store/StoreErrors.h"
#include "support/TempDir.h"

namespace {

using cd::AttributeType;

cd::AttributeDescriptionPtr attribute(const char* name, AttributeType type, bool indexed, bool optional) {
  auto a = std::make_shared<cd::AttributeDescription>();
  a->setName(name);
  a->setAttributeType(type);
  a->setIndexed(indexed);
  a->setOptional(optional);
  return a;
}

// One entity with every attribute type; "name" and "stamp" are required.
cd::ManagedObjectModelPtr itemModel(bool withNote = false) {
  auto item = std::make_shared<cd::EntityDescription>();
  item->setName("Item");
  std::vector<cd::AttributeDescriptionPtr> attributes{
      attribute("name", AttributeType::String, true, false),
      attribute("rank", AttributeType::Integer64, false, true),
      attribute("stamp", AttributeType::Date, true, false),
      attribute("blob", AttributeType::Binary, false, true)};
  if (withNote) attributes.push_back(attribute("note", AttributeType::String, false, true));
  item->setProperties(attributes);
  auto model = std::make_shared<cd::ManagedObjectModel>();
  model->setEntities({item});
  return model;
}

struct Opened {
  cd::PersistentStoreCoordinatorPtr coordinator;
  cd::ManagedObjectContextPtr context;
  ns::ErrorPtr error;
  explicit operator bool() const { return coordinator != nullptr; }
  cd::ManagedObjectContextPtr newContext() const {
    auto c = std::make_shared<cd::ManagedObjectContext>();
    c->setPersistentStoreCoordinator(coordinator);
    return c;
  }
};

Opened open(const std::string& path, cd::ManagedObjectModelPtr model = itemModel(),
            ns::Dictionary options = {}) {
  Opened out;
  auto coordinator = std::make_shared<cd::PersistentStoreCoordinator>()->initWithManagedObjectModel(model);
  if (!coordinator->addPersistentStoreWithType(cd::kSQLiteStoreType, std::nullopt,
                                               ns::URL::fileURLWithPath(path), options, &out.error))
    return out;
  out.coordinator = coordinator;
  out.context = out.newContext();
  return out;
}

cd::ManagedObjectPtr insertItem(const cd::ManagedObjectContextPtr& context, const std::string& name,
                                double stamp, ns::Value rank = {}) {
  auto item = cd::EntityDescription::insertNewObjectForEntityForName("Item", context);
  item->setValueForKey(ns::Value(name), "name");
  item->setValueForKey(ns::Value(ns::Date(stamp)), "stamp");
  item->setValueForKey(rank, "rank");
  return item;
}

std::vector<std::string> names(const std::optional<std::vector<cd::ManagedObjectPtr>>& objects) {
  std::vector<std::string> out;
  if (objects)
    for (const auto& o : *objects) out.push_back(*o->valueForKey("name").asString());
  return out;
}

cd::FetchRequest byStamp(const cd::ManagedObjectContextPtr& context, std::size_t limit = 0) {
  cd::FetchRequest request(context->persistentStoreCoordinator()->managedObjectModel()->entityNamed("Item"));
  request.sortDescriptor = cd::SortDescriptor{"stamp", true};
  request.fetchLimit = limit;
  return request;
}

class StoreTest : public testsupport::TempDirTest {
 protected:
  std::string dbPath() const { return tmp.file("store.sqlite"); }
};

TEST_F(StoreTest, FetchesSeePendingInsertsAndHidePendingDeletesBeforeTheLimit) {
  auto store = open(dbPath());
  ASSERT_TRUE(store) << store.error;
  auto& context = store.context;
  auto oldest = insertItem(context, "oldest", 10);
  insertItem(context, "second", 20);
  insertItem(context, "third", 30);
  ASSERT_TRUE(context->save(nullptr));

  // The dispatcher's loop: fetch the oldest, delete it unsaved, fetch again.
  context->deleteObject(oldest);
  EXPECT_TRUE(context->hasChanges());
  EXPECT_EQ(names(context->executeFetchRequest(byStamp(context, 1), nullptr)),
            std::vector<std::string>{"second"});
  auto unsaved = insertItem(context, "earliest, unsaved", 5);
  EXPECT_EQ(names(context->executeFetchRequest(byStamp(context, 2), nullptr)),
            (std::vector<std::string>{"earliest, unsaved", "second"}));
  EXPECT_EQ(context->countForFetchRequest(byStamp(context), nullptr), 3u);

  // Another context sees only what was saved.
  auto other = store.newContext();
  EXPECT_EQ(names(other->executeFetchRequest(byStamp(other), nullptr)),
            (std::vector<std::string>{"oldest", "second", "third"}));
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_FALSE(context->hasChanges());
  EXPECT_EQ(names(other->executeFetchRequest(byStamp(other), nullptr)),
            (std::vector<std::string>{"earliest, unsaved", "second", "third"}));
  EXPECT_FALSE(unsaved->objectID().isTemporaryID());
  EXPECT_EQ(oldest->managedObjectContext(), nullptr);
}

TEST_F(StoreTest, PredicatesSortsAndLimitsJudgePendingValues) {
  auto store = open(dbPath());
  ASSERT_TRUE(store);
  auto& context = store.context;
  insertItem(context, "a", 3, 7);
  auto b = insertItem(context, "b", 1, 7);
  insertItem(context, "c", 2, 8);
  ASSERT_TRUE(context->save(nullptr));
  // A saved record changed but not saved is judged by its new values, in fetches and counts alike.
  b->setValueForKey(ns::Value(8), "rank");
  b->setValueForKey(ns::Value(ns::Date(4)), "stamp");
  insertItem(context, "d", 0, 7);
  auto entity = store.coordinator->managedObjectModel()->entityNamed("Item");
  struct Case {
    const char* what;
    std::optional<cd::Predicate> predicate;
    std::optional<cd::SortDescriptor> sort;
    std::size_t limit;
    std::vector<std::string> expected;
  } cases[] = {
      {"rank 7 by stamp",
       cd::Predicate{"rank", ns::Value(7)},
       cd::SortDescriptor{"stamp", true},
       0,
       {"d", "a"}},
      {"rank 8 newest first",
       cd::Predicate{"rank", ns::Value(8)},
       cd::SortDescriptor{"stamp", false},
       0,
       {"b", "c"}},
      {"all by name descending, two", std::nullopt, cd::SortDescriptor{"name", false}, 2, {"d", "c"}},
      {"all by stamp, three", std::nullopt, cd::SortDescriptor{"stamp", true}, 3, {"d", "c", "a"}},
      {"no rank", cd::Predicate{"rank", ns::Value()}, std::nullopt, 0, {}},
      {"name b", cd::Predicate{"name", ns::Value("b")}, std::nullopt, 0, {"b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cd::FetchRequest request(entity);
    request.predicate = c.predicate;
    request.sortDescriptor = c.sort;
    request.fetchLimit = c.limit;
    EXPECT_EQ(names(context->executeFetchRequest(request, nullptr)), c.expected);
    request.fetchLimit = 0;
    if (c.limit == 0) {
      EXPECT_EQ(context->countForFetchRequest(request, nullptr), c.expected.size());
    }
  }
}

// With nothing pending, a limited fetch takes its records from the store alone: they must come
// from the requested end of the order.
TEST_F(StoreTest, ALimitedFetchTakesTheFirstRecordsOfItsOrder) {
  auto store = open(dbPath());
  ASSERT_TRUE(store);
  const std::pair<const char*, double> items[] = {{"c", 30}, {"e", 50}, {"a", 10}, {"d", 40}, {"b", 20}};
  for (const auto& [name, stamp] : items) insertItem(store.context, name, stamp);
  ASSERT_TRUE(store.context->save(nullptr));
  auto entity = store.coordinator->managedObjectModel()->entityNamed("Item");
  struct Case {
    const char* key;
    bool ascending;
    std::size_t limit;
    std::vector<std::string> expected;
  } cases[] = {
      {"stamp", true, 1, {"a"}},      {"stamp", true, 2, {"a", "b"}},
      {"stamp", false, 1, {"e"}},     {"stamp", false, 3, {"e", "d", "c"}},
      {"name", false, 2, {"e", "d"}}, {"name", true, 4, {"a", "b", "c", "d"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << (c.ascending ? " ascending, " : " descending, ") << c.limit);
    auto context = store.newContext();
    cd::FetchRequest request(entity);
    request.sortDescriptor = cd::SortDescriptor{c.key, c.ascending};
    request.fetchLimit = c.limit;
    EXPECT_EQ(names(context->executeFetchRequest(request, nullptr)), c.expected);
  }
}

TEST_F(StoreTest, ValuesSurviveReopeningAndEachRecordIsOneObject) {
  {
    auto store = open(dbPath());
    ASSERT_TRUE(store);
    auto item = insertItem(store.context, "ёлка", 1234.5, ns::Value(std::int64_t{-9007199254740993}));
    item->setValueForKey(ns::Value(ns::Data::fromString(std::string("\0bytes", 6))), "blob");
    auto empty = insertItem(store.context, "", 1);
    empty->setValueForKey(ns::Value(ns::Data()), "blob");
    ASSERT_TRUE(store.context->save(nullptr));
  }
  auto store = open(dbPath());
  ASSERT_TRUE(store) << store.error;
  auto first = store.context->executeFetchRequest(byStamp(store.context), nullptr);
  ASSERT_TRUE(first);
  ASSERT_EQ(first->size(), 2u);
  const auto& item = (*first)[1];
  EXPECT_EQ(item->valueForKey("name"), ns::Value("ёлка"));
  EXPECT_EQ(item->valueForKey("rank").longLongValue(), -9007199254740993);
  EXPECT_EQ(item->valueForKey("stamp"), ns::Value(ns::Date(1234.5)));
  EXPECT_EQ(item->valueForKey("blob"), ns::Value(ns::Data::fromString(std::string("\0bytes", 6))));
  // An empty blob is a value, not an absent one; an empty string likewise.
  EXPECT_TRUE((*first)[0]->valueForKey("blob").isData());
  EXPECT_EQ((*first)[0]->valueForKey("name"), ns::Value(""));
  EXPECT_TRUE((*first)[0]->valueForKey("rank").isNil());
  auto again = store.context->executeFetchRequest(byStamp(store.context), nullptr);
  EXPECT_EQ((*again)[1], item);

  EXPECT_THROW(item->setValueForKey(ns::Value("text"), "stamp"), ns::Exception);
  EXPECT_THROW(item->valueForKey("missing"), ns::Exception);
}

TEST_F(StoreTest, OpeningRefusesWhatIsNotAStoreOfThisModel) {
  {
    auto store = open(tmp.file("other.sqlite"), itemModel(true));
    ASSERT_TRUE(store);
    insertItem(store.context, "x", 1);
    ASSERT_TRUE(store.context->save(nullptr));
  }
  std::ofstream(tmp.file("garbage.sqlite"), std::ios::binary) << std::string(4096, 'g');
  std::filesystem::create_directory(tmp.file("folder"));
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(tmp.file("foreign.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table t (x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  struct Case {
    const char* file;
    const char* domain;
    std::int64_t code;
  } cases[] = {
      {"other.sqlite", ns::kCocoaErrorDomain, cd::kPersistentStoreIncompatibleVersionHashError},
      {"foreign.sqlite", ns::kCocoaErrorDomain, cd::kPersistentStoreIncompatibleVersionHashError},
      {"garbage.sqlite", ns::kCocoaErrorDomain, ns::kFileReadCorruptFileError},
      {"folder", cd::kSQLiteErrorDomain, SQLITE_CANTOPEN},
      {"missing-folder/store.sqlite", cd::kSQLiteErrorDomain, SQLITE_CANTOPEN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto store = open(tmp.file(c.file));
    EXPECT_FALSE(store);
    ASSERT_TRUE(store.error);
    EXPECT_EQ(store.error->domain(), c.domain);
    EXPECT_EQ(store.error->code(), c.code);
  }
  // Refusing a file leaves it as it was.
  std::ifstream garbage(tmp.file("garbage.sqlite"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(garbage), {}), std::string(4096, 'g'));
}

TEST_F(StoreTest, AFullDiskKeepsTheChangesPendingUntilALaterSave) {
  auto store =
      open(dbPath(), itemModel(), {{cd::kSQLitePragmasOption, ns::Dictionary{{"max_page_count", 30}}}});
  ASSERT_TRUE(store);
  auto& context = store.context;
  const std::string bulk(10000, 'b');
  std::vector<cd::ManagedObjectPtr> saved;
  for (int i = 0; i < 5; ++i) {
    saved.push_back(insertItem(context, "saved" + std::to_string(i), i));
    saved.back()->setValueForKey(ns::Value(ns::Data::fromString(bulk)), "blob");
  }
  ASSERT_TRUE(context->save(nullptr));
  for (int i = 0; i < 6; ++i)
    insertItem(context, "pending" + std::to_string(i), 100 + i)
        ->setValueForKey(ns::Value(ns::Data::fromString(bulk)), "blob");
  ns::ErrorPtr error;
  EXPECT_FALSE(context->save(&error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), cd::kSQLiteErrorDomain);
  EXPECT_EQ(error->code(), SQLITE_FULL);
  EXPECT_TRUE(context->hasChanges());
  EXPECT_EQ(context->countForFetchRequest(byStamp(context), nullptr), 11u);
  EXPECT_FALSE(context->save(nullptr));  // still full

  // Room is made elsewhere; the pending inserts then go in whole.
  auto cleaner = store.newContext();
  auto everything = cleaner->executeFetchRequest(byStamp(cleaner), nullptr);
  ASSERT_TRUE(everything);
  for (const auto& o : *everything) cleaner->deleteObject(o);
  ASSERT_TRUE(cleaner->save(nullptr));
  ASSERT_TRUE(context->save(&error)) << error;
  auto reopened = open(dbPath());
  ASSERT_TRUE(reopened);
  auto left = names(reopened.context->executeFetchRequest(byStamp(reopened.context), nullptr));
  EXPECT_EQ(left.size(), 6u);
  EXPECT_EQ(left.front(), "pending0");
}

TEST_F(StoreTest, AChangeThatCanNeverBeSavedIsDroppedAndDoesNotBlockTheOthers) {
  auto store = open(dbPath());
  ASSERT_TRUE(store);
  auto& context = store.context;
  auto good = insertItem(context, "good", 1);
  auto bad = cd::EntityDescription::insertNewObjectForEntityForName("Item", context);
  bad->setValueForKey(ns::Value("no stamp"), "name");
  ns::ErrorPtr error;
  EXPECT_FALSE(context->save(&error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), cd::kValidationMissingMandatoryPropertyError);
  EXPECT_EQ(bad->managedObjectContext(), nullptr);
  EXPECT_TRUE(good->isInserted());
  EXPECT_TRUE(context->save(&error)) << error;
  // A saved record changed so that it is invalid falls back to its saved values.
  good->setValueForKey(ns::Value(), "name");
  EXPECT_FALSE(context->save(nullptr));
  EXPECT_EQ(good->valueForKey("name"), ns::Value("good"));
  EXPECT_FALSE(context->hasChanges());
  auto reopened = open(dbPath());
  EXPECT_EQ(names(reopened.context->executeFetchRequest(byStamp(reopened.context), nullptr)),
            std::vector<std::string>{"good"});
}

TEST(StoreMemoryTest, AnInMemoryStoreWorksWithoutAFile) {
  auto coordinator =
      std::make_shared<cd::PersistentStoreCoordinator>()->initWithManagedObjectModel(itemModel());
  ASSERT_TRUE(coordinator->addPersistentStoreWithType(cd::kInMemoryStoreType, std::nullopt, std::nullopt, {},
                                                      nullptr));
  auto context = std::make_shared<cd::ManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator);
  insertItem(context, "kept", 1);
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_EQ(names(context->executeFetchRequest(byStamp(context), nullptr)), std::vector<std::string>{"kept"});
  // A second store on one coordinator is refused.
  ns::ErrorPtr error;
  EXPECT_FALSE(coordinator->addPersistentStoreWithType(cd::kInMemoryStoreType, std::nullopt, std::nullopt, {},
                                                       &error));
  EXPECT_TRUE(error);
}

}  // namespace
