#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Store/ManagedObject.h"
#include "Store/PersistentStoreCoordinator.h"

namespace cd {

// A scratch pad over the coordinator's store, used on one thread. It hands out one object per record
// (an identity map) and keeps inserts, changes and deletes pending until save(). Fetches and counts
// see the pending state: unsaved inserts are found, unsaved deletes are not, and the limit is applied
// after both. save() writes everything in one transaction; when it fails for a reason that may clear
// (a full disk, a busy file) nothing is written and everything stays pending for a later save; a change
// that can never be saved (a required value missing, a value the store refuses) is dropped and reported,
// and the other changes stay pending.
class ManagedObjectContext final : public ns::Object {
 public:
  void setPersistentStoreCoordinator(PersistentStoreCoordinatorPtr coordinator) {
    coordinator_ = std::move(coordinator);
  }
  const PersistentStoreCoordinatorPtr& persistentStoreCoordinator() const { return coordinator_; }

  // Throws ns::Exception without a store or for an entity of another model.
  ManagedObjectPtr insertNewObjectForEntity(const EntityDescriptionPtr& entity);
  // Objects of other contexts, and objects already deleted, are ignored.
  void deleteObject(const ManagedObjectPtr& object);

  // nullopt and *error when the store fails. Throws ns::Exception for a request the entity cannot answer
  // (no entity, an unknown attribute).
  std::optional<std::vector<ManagedObjectPtr>> executeFetchRequest(const FetchRequest& request,
                                                                   ns::ErrorPtr* error);
  std::optional<std::size_t> countForFetchRequest(const FetchRequest& request, ns::ErrorPtr* error);

  bool hasChanges() const { return !inserted_.empty() || !updated_.empty() || !deleted_.empty(); }
  bool save(ns::ErrorPtr* error);

  const std::vector<ManagedObjectPtr>& insertedObjects() const { return inserted_; }
  const std::vector<ManagedObjectPtr>& updatedObjects() const { return updated_; }
  const std::vector<ManagedObjectPtr>& deletedObjects() const { return deleted_; }

 private:
  friend class ManagedObject;
  PersistentStorePtr store() const;
  void objectDidChange(ManagedObject& object);
  ManagedObjectPtr registeredObject(const EntityDescriptionPtr& entity, PersistentStore::Row& row);
  void discard(const ManagedObjectPtr& object);
  std::size_t validate(ns::ErrorPtr* error);

  PersistentStoreCoordinatorPtr coordinator_;
  // Records read from the store, by entity and row; the context does not keep unchanged ones alive.
  std::map<std::pair<const EntityDescription*, std::int64_t>, std::weak_ptr<ManagedObject>> registered_;
  std::vector<ManagedObjectPtr> inserted_;
  std::vector<ManagedObjectPtr> updated_;
  std::vector<ManagedObjectPtr> deleted_;
  std::uint64_t nextTemporaryId_ = 1;
  std::size_t liveAtLastPrune_ = 0;
};

using ManagedObjectContextPtr = std::shared_ptr<ManagedObjectContext>;

}  // namespace cd
