#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "Store/EntityDescription.h"
#include "Store/ManagedObject.h"

struct sqlite3;

namespace cd {

inline constexpr const char* kSQLiteStoreType = "SQLite";
inline constexpr const char* kInMemoryStoreType = "InMemory";
// Option of an SQLite store: a dictionary of pragma names and values (integers or plain words)
// run on the store's connection when it opens.
inline constexpr const char* kSQLitePragmasOption = "NSSQLitePragmasOption";

// One store: an SQLite file, or an SQLite database in memory. It records its model in the file and
// refuses a file written with another model. Its connection is shared by every context of the
// coordinator and used under the store's lock.
class PersistentStore final : public ns::Object {
 public:
  ~PersistentStore() override;
  const std::string& type() const { return type_; }
  const std::optional<ns::URL>& URL() const { return url_; }

  // What contexts ask of the store.
  struct Row {
    std::int64_t row = 0;
    std::vector<ns::Value> values;  // by attribute index
  };
  bool fetchRows(const EntityDescription& entity, const std::optional<Predicate>& predicate,
                 const std::optional<SortDescriptor>& sort, std::size_t limit, std::vector<Row>& rows,
                 ns::ErrorPtr* error);
  std::optional<std::int64_t> countRows(const EntityDescription& entity,
                                        const std::optional<Predicate>& predicate, ns::ErrorPtr* error);

  struct Change {
    enum class Kind { insert, update, remove };
    Kind kind;
    const EntityDescription* entity;
    std::int64_t row;                      // update and remove
    const std::vector<ns::Value>* values;  // insert and update
  };
  enum class WriteOutcome {
    written,
    // Nothing written; the failure may clear (a full disk, a busy file).
    failed,
    // Nothing written; change number `refused` can never be written (a constraint, a value too big).
    refused,
  };
  // All changes in one transaction. On success insertedRows holds the new rows of the inserts, in order.
  WriteOutcome write(const std::vector<Change>& changes, std::vector<std::int64_t>& insertedRows,
                     std::size_t& refused, ns::ErrorPtr* error);

 private:
  friend class PersistentStoreCoordinator;
  PersistentStore() = default;
  static std::shared_ptr<PersistentStore> open(const std::string& type, const std::optional<ns::URL>& url,
                                               const ManagedObjectModel& model, const ns::Dictionary& options,
                                               ns::ErrorPtr* error);
  bool prepareSchema(const ManagedObjectModel& model, ns::ErrorPtr* error);
  ns::ErrorPtr engineError(int code) const;

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  std::string type_;
  std::optional<ns::URL> url_;
  std::string path_;
};

using PersistentStorePtr = std::shared_ptr<PersistentStore>;

// Connects a model to its store. Contexts made on it share the store.
class PersistentStoreCoordinator final : public ns::Object {
 public:
  std::shared_ptr<PersistentStoreCoordinator> initWithManagedObjectModel(ManagedObjectModelPtr model);
  const ManagedObjectModelPtr& managedObjectModel() const { return model_; }

  // Opens the store: kSQLiteStoreType at a file URL (created when missing), or kInMemoryStoreType
  // without one. nullptr and *error when the file cannot be opened, is not a database (Cocoa 259),
  // or holds another model (134100). A coordinator holds one store.
  PersistentStorePtr addPersistentStoreWithType(const std::string& type,
                                                const std::optional<std::string>& configuration,
                                                const std::optional<ns::URL>& url,
                                                const ns::Dictionary& options, ns::ErrorPtr* error);
  PersistentStorePtr persistentStore() const;

 private:
  ManagedObjectModelPtr model_;
  mutable std::mutex mutex_;
  PersistentStorePtr store_;
};

using PersistentStoreCoordinatorPtr = std::shared_ptr<PersistentStoreCoordinator>;

}  // namespace cd
