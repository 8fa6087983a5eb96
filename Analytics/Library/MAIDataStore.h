#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Analytics/Library/MAIHit.h"
#include "Analytics/Library/MAIProperty.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Store/ManagedObjectContext.h"
#include "Store/PersistentStoreCoordinator.h"

// The hits waiting to be sent and the client's properties, in an object store: an SQLite file at a
// path, or memory without one. Each thread works in a context of its own; changes reach the file
// with save(). No operation raises: failures are log lines and -1, nullptr, false or nullopt, with
// an error where asked for (the store's own in "NSSQLiteErrorDomain": 134080 opening, 134070 an
// operation, 134030 saving; the framework's passed on).
class MAIDataStore final : public ns::Object {
 public:
  // nullptr unless the store opened.
  static std::shared_ptr<MAIDataStore> dataStoreWithPath(const std::optional<std::string>& path,
                                                         ns::ErrorPtr* error);
  static std::shared_ptr<MAIDataStore> inMemoryDataStoreWithError(ns::ErrorPtr* error);
  // The store whether or not it opened (coordinator() tells).
  std::shared_ptr<MAIDataStore> initWithPath(const std::optional<std::string>& path, ns::ErrorPtr* error);
  std::shared_ptr<MAIDataStore> initWithError(ns::ErrorPtr* error) {
    return initWithPath(std::nullopt, error);
  }

  cd::ManagedObjectContextPtr contextForThread(ns::ErrorPtr* error);
  std::int64_t hitCount(ns::ErrorPtr* error);
  std::int64_t propertyCount(ns::ErrorPtr* error);
  std::int64_t entityCount(const cd::EntityDescriptionPtr& entity, ns::ErrorPtr* error);
  // Oldest first; 0 for no limit.
  std::optional<std::vector<std::shared_ptr<MAIHit>>> fetchHitsWithLimit(std::size_t limit,
                                                                         ns::ErrorPtr* error);
  std::shared_ptr<MAIHit> addHit(ns::ErrorPtr* error);
  std::shared_ptr<MAIProperty> propertyForName(const std::string& name, bool createIfNeeded,
                                               ns::ErrorPtr* error);
  std::optional<std::vector<std::shared_ptr<MAIProperty>>> fetchProperties(ns::ErrorPtr* error);
  void deleteObject(const cd::ManagedObjectPtr& object);
  void deleteObjects(const std::vector<cd::ManagedObjectPtr>& objects);
  bool deleteAll(const cd::EntityDescriptionPtr& entity, ns::ErrorPtr* error);
  bool deleteAllHits(ns::ErrorPtr* error) { return deleteAll(hitEntity_, error); }
  bool deleteAllProperties(ns::ErrorPtr* error) { return deleteAll(propertyEntity_, error); }
  bool hasChanges();
  bool save(ns::ErrorPtr* error);

  const std::optional<std::string>& path() const { return path_; }
  const cd::EntityDescriptionPtr& hitEntity() const { return hitEntity_; }
  const cd::EntityDescriptionPtr& propertyEntity() const { return propertyEntity_; }
  const cd::ManagedObjectModelPtr& model() const { return model_; }
  const cd::PersistentStoreCoordinatorPtr& coordinator() const { return coordinator_; }

 private:
  bool openPersistentStoreWithError(ns::ErrorPtr* error);

  std::optional<std::string> path_;
  cd::EntityDescriptionPtr hitEntity_;
  cd::EntityDescriptionPtr propertyEntity_;
  cd::ManagedObjectModelPtr model_;
  cd::PersistentStoreCoordinatorPtr coordinator_;
  std::mutex contextsMutex_;
  std::map<std::thread::id, cd::ManagedObjectContextPtr> contexts_;
};

using MAIDataStorePtr = std::shared_ptr<MAIDataStore>;
