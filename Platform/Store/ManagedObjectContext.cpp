#include "Store/ManagedObjectContext.h"

#include <algorithm>

#include "Foundation/ClassRegistry.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Store/StoreErrors.h"

namespace cd {
namespace {

bool sameEntity(const ManagedObjectPtr& object, const EntityDescription* entity) {
  return object->entity().get() == entity;
}

std::size_t attributeOf(const EntityDescription& entity, const std::string& key) {
  if (auto index = entity.indexOfAttribute(key)) return *index;
  throw ns::Exception(ns::kInvalidArgumentException,
                      ns::format("keypath %@ not found in entity %@", key, entity.name()));
}

// Orders values as the store does: absent first, then by value (bytes for strings and data).
int compareValues(const ns::Value& a, const ns::Value& b) {
  if (a.isNil() || b.isNil()) return a.isNil() == b.isNil() ? 0 : a.isNil() ? -1 : 1;
  if (a.isString() && b.isString()) return a.asString()->compare(*b.asString());
  if (a.isData() && b.isData()) return a.asData()->view().compare(b.asData()->view());
  if (a.isDate() && b.isDate()) {
    double x = a.asDate()->timeIntervalSince1970(), y = b.asDate()->timeIntervalSince1970();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  auto x = a.longLongValue(), y = b.longLongValue();
  return x < y ? -1 : x > y ? 1 : 0;
}

template <class T>
void eraseObject(std::vector<T>& list, const ManagedObject* object) {
  std::erase_if(list, [object](const T& o) { return o.get() == object; });
}

}  // namespace

PersistentStorePtr ManagedObjectContext::store() const {
  auto store = coordinator_ ? coordinator_->persistentStore() : nullptr;
  if (!store)
    throw ns::Exception(ns::kInternalInconsistencyException, "the context's coordinator has no store");
  return store;
}

namespace {

ManagedObjectPtr makeObject(const EntityDescriptionPtr& entity) {
  ManagedObjectPtr object;
  if (!entity->managedObjectClassName().empty())
    object = std::dynamic_pointer_cast<ManagedObject>(
        ns::ClassRegistry::shared().make(entity->managedObjectClassName()));
  return object ? object : std::make_shared<ManagedObject>();
}

}  // namespace

ManagedObjectPtr ManagedObjectContext::insertNewObjectForEntity(const EntityDescriptionPtr& entity) {
  store();
  if (!entity || coordinator_->managedObjectModel()->entityNamed(entity->name()) != entity)
    throw ns::Exception(ns::kInvalidArgumentException, "the entity is not part of the context's model");
  auto object = makeObject(entity);
  object->entity_ = entity;
  object->values_.assign(entity->properties().size(), ns::Value());
  object->committed_ = object->values_;
  object->context_ = std::static_pointer_cast<ManagedObjectContext>(shared_from_this());
  object->state_ = ManagedObject::State::inserted;
  object->temporaryId_ = nextTemporaryId_++;
  inserted_.push_back(object);
  return object;
}

void ManagedObjectContext::objectDidChange(ManagedObject& object) {
  if (object.state_ != ManagedObject::State::saved || object.updated_) return;
  object.updated_ = true;
  updated_.push_back(std::static_pointer_cast<ManagedObject>(object.shared_from_this()));
}

void ManagedObjectContext::deleteObject(const ManagedObjectPtr& object) {
  if (!object || object->context_.lock().get() != this) return;
  switch (object->state_) {
    case ManagedObject::State::inserted:
      // Never written: it simply goes away.
      eraseObject(inserted_, object.get());
      object->state_ = ManagedObject::State::detached;
      object->context_.reset();
      return;
    case ManagedObject::State::saved:
      if (object->updated_) {
        eraseObject(updated_, object.get());
        object->updated_ = false;
      }
      object->state_ = ManagedObject::State::deleted;
      deleted_.push_back(object);
      return;
    default:
      return;
  }
}

ManagedObjectPtr ManagedObjectContext::registeredObject(const EntityDescriptionPtr& entity,
                                                        PersistentStore::Row& row) {
  auto key = std::make_pair(entity.get(), row.row);
  auto& slot = registered_[key];
  if (auto object = slot.lock()) {
    // Unchanged records follow the store; pending changes stay as they are.
    if (object->state_ == ManagedObject::State::saved && !object->updated_) {
      object->values_ = row.values;
      object->committed_ = std::move(row.values);
    }
    return object;
  }
  auto object = makeObject(entity);
  object->entity_ = entity;
  object->values_ = row.values;
  object->committed_ = std::move(row.values);
  object->row_ = row.row;
  object->state_ = ManagedObject::State::saved;
  object->context_ = std::static_pointer_cast<ManagedObjectContext>(shared_from_this());
  slot = object;
  return object;
}

std::optional<std::vector<ManagedObjectPtr>> ManagedObjectContext::executeFetchRequest(
    const FetchRequest& request, ns::ErrorPtr* error) {
  auto store = this->store();
  if (!request.entity) throw ns::Exception(ns::kInvalidArgumentException, "a fetch request needs an entity");
  const EntityDescription& entity = *request.entity;
  std::optional<Predicate> predicate = request.predicate;
  std::optional<std::size_t> predicateIndex, sortIndex;
  if (predicate) {
    predicateIndex = attributeOf(entity, predicate->key);
    predicate->value = detail::coerceAttributeValue(*entity.properties()[*predicateIndex], predicate->value);
  }
  if (request.sortDescriptor) sortIndex = attributeOf(entity, request.sortDescriptor->key);
  auto matches = [&](const std::vector<ns::Value>& values) {
    return !predicate || compareValues(values[*predicateIndex], predicate->value) == 0;
  };

  // Saved records with pending changes are judged by their pending values below, so the store is asked
  // for enough rows to make up for those it returns and this context drops.
  std::size_t pendingSaved = 0;
  for (const auto& o : deleted_) pendingSaved += sameEntity(o, &entity);
  for (const auto& o : updated_) pendingSaved += sameEntity(o, &entity);
  std::vector<PersistentStore::Row> rows;
  std::size_t limit = request.fetchLimit > 0 ? request.fetchLimit + pendingSaved : 0;
  if (!store->fetchRows(entity, predicate, request.sortDescriptor, limit, rows, error)) return std::nullopt;

  std::vector<ManagedObjectPtr> found;
  for (auto& row : rows) {
    auto object = registeredObject(request.entity, row);
    if (object->state_ == ManagedObject::State::saved && !object->updated_)
      found.push_back(std::move(object));
  }
  for (const auto& o : updated_)
    if (sameEntity(o, &entity) && matches(o->values_)) found.push_back(o);
  for (const auto& o : inserted_)
    if (sameEntity(o, &entity) && matches(o->values_)) found.push_back(o);

  // Saved records in row order, then unsaved ones in insertion order, within equal sort values.
  auto order = [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
    if ((a->row_ == 0) != (b->row_ == 0)) return a->row_ != 0;
    return a->row_ != 0 ? a->row_ < b->row_ : a->temporaryId_ < b->temporaryId_;
  };
  std::sort(found.begin(), found.end(), [&](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
    if (sortIndex) {
      int c = compareValues(a->values_[*sortIndex], b->values_[*sortIndex]);
      if (c != 0) return request.sortDescriptor->ascending ? c < 0 : c > 0;
    }
    return order(a, b);
  });
  if (request.fetchLimit > 0 && found.size() > request.fetchLimit) found.resize(request.fetchLimit);

  // Forget records nobody holds any more, now and then.
  if (registered_.size() > 2 * liveAtLastPrune_ + 64) {
    std::erase_if(registered_, [](const auto& entry) { return entry.second.expired(); });
    liveAtLastPrune_ = registered_.size();
  }
  return found;
}

std::optional<std::size_t> ManagedObjectContext::countForFetchRequest(const FetchRequest& request,
                                                                      ns::ErrorPtr* error) {
  auto store = this->store();
  if (!request.entity) throw ns::Exception(ns::kInvalidArgumentException, "a fetch request needs an entity");
  const EntityDescription& entity = *request.entity;
  std::optional<Predicate> predicate = request.predicate;
  std::optional<std::size_t> predicateIndex;
  if (predicate) {
    predicateIndex = attributeOf(entity, predicate->key);
    predicate->value = detail::coerceAttributeValue(*entity.properties()[*predicateIndex], predicate->value);
  }
  auto matches = [&](const std::vector<ns::Value>& values) {
    return !predicate || compareValues(values[*predicateIndex], predicate->value) == 0;
  };
  auto stored = store->countRows(entity, predicate, error);
  if (!stored) return std::nullopt;
  std::int64_t count = *stored;
  // Rows the store counted as they were saved, replaced by what this context holds for them.
  for (const auto& o : deleted_)
    if (sameEntity(o, &entity) && matches(o->committed_)) --count;
  for (const auto& o : updated_)
    if (sameEntity(o, &entity)) count += int(matches(o->values_)) - int(matches(o->committed_));
  for (const auto& o : inserted_)
    if (sameEntity(o, &entity) && matches(o->values_)) ++count;
  return static_cast<std::size_t>(std::max<std::int64_t>(count, 0));
}

void ManagedObjectContext::discard(const ManagedObjectPtr& object) {
  if (object->state_ == ManagedObject::State::inserted) {
    eraseObject(inserted_, object.get());
    object->state_ = ManagedObject::State::detached;
    object->context_.reset();
  } else if (object->state_ == ManagedObject::State::deleted) {
    eraseObject(deleted_, object.get());
    object->state_ = ManagedObject::State::saved;
  } else if (object->updated_) {
    eraseObject(updated_, object.get());
    object->updated_ = false;
    object->values_ = object->committed_;
  }
}

std::size_t ManagedObjectContext::validate(ns::ErrorPtr* error) {
  std::vector<ManagedObjectPtr> invalid;
  std::string firstKey;
  auto check = [&](const ManagedObjectPtr& object) {
    const auto& attributes = object->entity_->properties();
    for (std::size_t i = 0; i < attributes.size(); ++i)
      if (!attributes[i]->isOptional() && object->values_[i].isNil()) {
        if (invalid.empty()) firstKey = attributes[i]->name();
        invalid.push_back(object);
        return;
      }
  };
  for (const auto& o : inserted_) check(o);
  for (const auto& o : updated_) check(o);
  for (const auto& o : invalid) discard(o);
  if (!invalid.empty() && error)
    *error = ns::Error::make(ns::kCocoaErrorDomain, kValidationMissingMandatoryPropertyError,
                             {{ns::kLocalizedDescriptionKey, ns::format("%@ is a required value.", firstKey)},
                              {kValidationKeyErrorKey, firstKey}});
  return invalid.size();
}

bool ManagedObjectContext::save(ns::ErrorPtr* error) {
  if (!hasChanges()) return true;
  auto store = this->store();
  // A record that misses a required value can never be saved: it is dropped, so it cannot hold up
  // the changes of later saves.
  if (validate(error) > 0) return false;

  std::vector<PersistentStore::Change> changes;
  std::vector<ManagedObjectPtr> changed;
  for (const auto& o : deleted_) {
    changes.push_back({PersistentStore::Change::Kind::remove, o->entity_.get(), o->row_, nullptr});
    changed.push_back(o);
  }
  for (const auto& o : updated_) {
    changes.push_back({PersistentStore::Change::Kind::update, o->entity_.get(), o->row_, &o->values_});
    changed.push_back(o);
  }
  for (const auto& o : inserted_) {
    changes.push_back({PersistentStore::Change::Kind::insert, o->entity_.get(), 0, &o->values_});
    changed.push_back(o);
  }
  std::vector<std::int64_t> rows;
  std::size_t refused = 0;
  switch (store->write(changes, rows, refused, error)) {
    case PersistentStore::WriteOutcome::failed:
      return false;
    case PersistentStore::WriteOutcome::refused:
      discard(changed[refused]);
      return false;
    case PersistentStore::WriteOutcome::written:
      break;
  }
  auto self = std::static_pointer_cast<ManagedObjectContext>(shared_from_this());
  for (const auto& o : deleted_) {
    registered_.erase({o->entity_.get(), o->row_});
    o->state_ = ManagedObject::State::detached;
    o->context_.reset();
  }
  for (const auto& o : updated_) {
    o->updated_ = false;
    o->committed_ = o->values_;
  }
  for (std::size_t i = 0; i < inserted_.size(); ++i) {
    const auto& o = inserted_[i];
    o->row_ = rows[i];
    o->state_ = ManagedObject::State::saved;
    o->committed_ = o->values_;
    registered_[{o->entity_.get(), o->row_}] = o;
  }
  deleted_.clear();
  updated_.clear();
  inserted_.clear();
  return true;
}

}  // namespace cd
