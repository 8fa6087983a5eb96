#include "Analytics/Library/MAIDataStore.h"

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILog.h"
#include "Foundation/URL.h"
#include "Store/StoreErrors.h"

namespace {

ns::ErrorPtr storeError(std::int64_t code) { return ns::Error::make(cd::kSQLiteErrorDomain, code); }

void setError(ns::ErrorPtr* out, ns::ErrorPtr error) {
  if (out) *out = std::move(error);
}

template <class T>
std::vector<std::shared_ptr<T>> records(const std::vector<cd::ManagedObjectPtr>& objects) {
  std::vector<std::shared_ptr<T>> out;
  for (const auto& object : objects)
    if (auto record = std::dynamic_pointer_cast<T>(object)) out.push_back(std::move(record));
  return out;
}

}  // namespace

std::shared_ptr<MAIDataStore> MAIDataStore::dataStoreWithPath(const std::optional<std::string>& path,
                                                              ns::ErrorPtr* error) {
  auto store = std::make_shared<MAIDataStore>()->initWithPath(path, error);
  return store->coordinator_ ? store : nullptr;
}

std::shared_ptr<MAIDataStore> MAIDataStore::inMemoryDataStoreWithError(ns::ErrorPtr* error) {
  auto store = std::make_shared<MAIDataStore>()->initWithError(error);
  return store->coordinator_ ? store : nullptr;
}

std::shared_ptr<MAIDataStore> MAIDataStore::initWithPath(const std::optional<std::string>& path,
                                                         ns::ErrorPtr* error) {
  path_ = path;
  hitEntity_ = MAIHit::entityDescription();
  propertyEntity_ = MAIProperty::entityDescription();
  model_ = std::make_shared<cd::ManagedObjectModel>();
  model_->setEntities({hitEntity_, propertyEntity_});
  openPersistentStoreWithError(error);
  return std::static_pointer_cast<MAIDataStore>(shared_from_this());
}

bool MAIDataStore::openPersistentStoreWithError(ns::ErrorPtr* error) {
  try {
    coordinator_ = std::make_shared<cd::PersistentStoreCoordinator>()->initWithManagedObjectModel(model_);
    ns::ErrorPtr failure;
    cd::PersistentStorePtr store =
        path_ ? coordinator_->addPersistentStoreWithType(cd::kSQLiteStoreType, std::nullopt,
                                                         ns::URL::fileURLWithPath(*path_), {}, &failure)
              : coordinator_->addPersistentStoreWithType(cd::kInMemoryStoreType, std::nullopt, std::nullopt,
                                                         {}, &failure);
    if (store) return true;
    if (path_)
      MAI_LOG_ERROR("Error opening database with path %@: %@", *path_, failure);
    else
      MAI_LOG_ERROR("Error opening in-memory database: %@", failure);
    setError(error, std::move(failure));
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in persistent store coordinator creation: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOpenError));
  }
  coordinator_.reset();
  return false;
}

cd::ManagedObjectContextPtr MAIDataStore::contextForThread(ns::ErrorPtr* error) {
  if (!coordinator_) {
    setError(error, storeError(cd::kPersistentStoreOperationError));
    return nullptr;
  }
  std::lock_guard lock(contextsMutex_);
  auto& context = contexts_[std::this_thread::get_id()];
  if (!context) {
    context = std::make_shared<cd::ManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator_);
    if (contexts_.size() > 1)
      MAI_LOG_DEBUG("Warning: more than one thread accessing data store. Unexpected behavior may occur.");
  }
  return context;
}

std::int64_t MAIDataStore::entityCount(const cd::EntityDescriptionPtr& entity, ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return -1;
  try {
    ns::ErrorPtr failure;
    auto count = context->countForFetchRequest(cd::FetchRequest(entity), &failure);
    if (count) return static_cast<std::int64_t>(*count);
    MAI_LOG_ERROR("Failed to count %@ entity: %@", entity->name(), failure);
    setError(error, std::move(failure));
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in fetch count: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
  }
  return -1;
}

std::int64_t MAIDataStore::hitCount(ns::ErrorPtr* error) { return entityCount(hitEntity_, error); }
std::int64_t MAIDataStore::propertyCount(ns::ErrorPtr* error) { return entityCount(propertyEntity_, error); }

std::optional<std::vector<std::shared_ptr<MAIHit>>> MAIDataStore::fetchHitsWithLimit(std::size_t limit,
                                                                                     ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return std::nullopt;
  try {
    cd::FetchRequest request(hitEntity_);
    request.fetchLimit = limit;
    request.sortDescriptor = cd::SortDescriptor{kTimestampField, true};
    ns::ErrorPtr failure;
    if (auto found = context->executeFetchRequest(request, &failure)) return records<MAIHit>(*found);
    MAI_LOG_ERROR("Failed to query hits: %@", failure);
    setError(error, std::move(failure));
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in hit fetch: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
  }
  return std::nullopt;
}

std::shared_ptr<MAIHit> MAIDataStore::addHit(ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return nullptr;
  try {
    auto hit = std::dynamic_pointer_cast<MAIHit>(context->insertNewObjectForEntity(hitEntity_));
    if (hit) hit->setMaiVersion(std::string(kMAIVersion));
    return hit;
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in hit insertion: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
  }
  return nullptr;
}

std::shared_ptr<MAIProperty> MAIDataStore::propertyForName(const std::string& name, bool createIfNeeded,
                                                           ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return nullptr;
  std::vector<std::shared_ptr<MAIProperty>> found;
  try {
    cd::FetchRequest request(propertyEntity_);
    request.predicate = cd::Predicate{kPropertyNameField, ns::Value(name)};
    ns::ErrorPtr failure;
    auto objects = context->executeFetchRequest(request, &failure);
    if (!objects) {
      MAI_LOG_ERROR("Failed to query property %@: %@", name, failure);
      setError(error, std::move(failure));
      return nullptr;
    }
    found = records<MAIProperty>(*objects);
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in property fetch: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
    return nullptr;
  }
  if (found.size() == 1) return found.front();
  if (found.size() > 1) {
    MAI_LOG_ERROR("Found %u properties named %@", found.size(), name);
    return nullptr;
  }
  if (!createIfNeeded) return nullptr;
  try {
    auto property =
        std::dynamic_pointer_cast<MAIProperty>(context->insertNewObjectForEntity(propertyEntity_));
    if (property) {
      property->setMaiVersion(std::string(kMAIVersion));
      property->setName(name);
    }
    return property;
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in property insertion: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
  }
  return nullptr;
}

std::optional<std::vector<std::shared_ptr<MAIProperty>>> MAIDataStore::fetchProperties(ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return std::nullopt;
  try {
    ns::ErrorPtr failure;
    if (auto found = context->executeFetchRequest(cd::FetchRequest(propertyEntity_), &failure))
      return records<MAIProperty>(*found);
    MAI_LOG_ERROR("Failed to query properties: %@", failure);
    setError(error, std::move(failure));
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in property fetch: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
  }
  return std::nullopt;
}

void MAIDataStore::deleteObject(const cd::ManagedObjectPtr& object) { deleteObjects({object}); }

void MAIDataStore::deleteObjects(const std::vector<cd::ManagedObjectPtr>& objects) {
  auto context = contextForThread(nullptr);
  if (!context) return;
  try {
    for (const auto& object : objects) context->deleteObject(object);
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in hit deletion: %@", e.what());
  }
}

bool MAIDataStore::deleteAll(const cd::EntityDescriptionPtr& entity, ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return false;
  std::vector<cd::ManagedObjectPtr> objects;
  try {
    cd::FetchRequest request(entity);
    request.includesPropertyValues = false;
    ns::ErrorPtr failure;
    auto found = context->executeFetchRequest(request, &failure);
    if (!found) {
      MAI_LOG_ERROR("Failed to query properties: %@", failure);
      setError(error, std::move(failure));
      return false;
    }
    objects = std::move(*found);
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in entity fetch for deletion: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
    return false;
  }
  try {
    for (const auto& object : objects) context->deleteObject(object);
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in entity deletion: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreOperationError));
    return false;
  }
  return true;
}

bool MAIDataStore::hasChanges() {
  auto context = contextForThread(nullptr);
  if (!context) return false;
  try {
    return context->hasChanges();
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in hasChanges: %@", e.what());
  }
  return false;
}

bool MAIDataStore::save(ns::ErrorPtr* error) {
  auto context = contextForThread(error);
  if (!context) return false;
  try {
    return context->save(error);
  } catch (const std::exception& e) {
    MAI_LOG_ERROR("Exception raised in save: %@", e.what());
    setError(error, storeError(cd::kPersistentStoreSaveError));
  }
  return false;
}
