#include "AppAnalytics/Library/MALPersistentHitStore.h"

#include <sqlite3.h>

#include <algorithm>

#include "AppAnalytics/Library/MALLog.h"
#include "AppAnalytics/Library/MALTrackerError.h"
#include "AppAnalytics/Library/MALUtils.h"
#include "Foundation/Date.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/Locale.h"
#include "Foundation/String.h"
#include "Foundation/StringNumbers.h"

namespace {

struct KeptStatement {
  const char* sql;
  const char* description;
};

// In the order of MALPersistentHitStore::Kept.
constexpr KeptStatement kKeptStatements[] = {
    {"BEGIN TRANSACTION;", "begin transaction"},
    {"END TRANSACTION;", "end transaction"},
    {"ROLLBACK;", "rollback"},
    {"UPDATE custom_var_cache SET cv_scope=?,cv_name=?,cv_value=? WHERE cv_index=?;",
     "update custom var cache"},
    {"SELECT * FROM session;", "select session"},
    {"INSERT INTO session (timestamp_first, timestamp_previous, timestamp_current, visits, store_id) VALUES "
     "(?, ?, "
     "?, ?, ?);",
     "create session"},
    {"DELETE from session;", "delete session"},
    {"SELECT * FROM referrer;", "select referrer"},
    {"INSERT INTO hits (hit_string) VALUES (?);", "insert hit"},
    {"SELECT * FROM hits ORDER BY hit_id LIMIT ?;", "select hits ordered by id"},
    {"DELETE FROM hits WHERE hit_id = ?;", "delete hit"},
    {"SELECT * FROM events ORDER BY event_id LIMIT ?;", "select event"},
    {"SELECT * FROM custom_variables WHERE event_id=?;", "select custom variable by event_id"},
    {"SELECT * FROM transactions WHERE event_id = ?;", "select transaction"},
    {"SELECT * FROM items WHERE event_id = ?;", "select item by event_id"},
};

constexpr const char* kCreateSession =
    "CREATE TABLE IF NOT EXISTS session ( 'timestamp_first' INTEGER PRIMARY KEY, 'timestamp_previous' "
    "INTEGER NOT "
    "NULL, 'timestamp_current' INTEGER NOT NULL, 'visits' INTEGER NOT NULL, 'store_id' INTEGER NOT NULL);";
constexpr const char* kCreateHits =
    "CREATE TABLE IF NOT EXISTS hits ( 'hit_id' INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, 'hit_string' "
    "TEXT NOT "
    "NULL);";
constexpr const char* kCreateEvents =
    "CREATE TABLE IF NOT EXISTS events ( 'event_id' INTEGER PRIMARY KEY, 'random_val' INTEGER NOT NULL, "
    "'timestamp_first' INTEGER NOT NULL, 'timestamp_previous' INTEGER NOT NULL, 'timestamp_current' INTEGER "
    "NOT "
    "NULL, 'visits' INTEGER NOT NULL, 'category' CHAR(256) NOT NULL, 'action' CHAR(256) NOT NULL, 'label' "
    "CHAR(256), 'value' INTEGER);";
constexpr const char* kCreateCustomVarCache =
    "CREATE TABLE IF NOT EXISTS custom_var_cache ( 'cv_id' INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, "
    "'cv_scope' "
    "INTEGER NOT NULL, 'cv_index' INTEGER NOT NULL, 'cv_name' CHAR(64) NOT NULL, 'cv_value' CHAR(64) NOT "
    "NULL);";
constexpr const char* kCreateReferrer =
    "CREATE TABLE IF NOT EXISTS referrer ( 'referrer' TEXT NOT NULL, 'referrer_timestamp' INTEGER NOT NULL, "
    "'referrer_visit' INTEGER NOT NULL, 'referrer_index' INTEGER NOT NULL);";

constexpr int kVisitorScope = 1;
constexpr int kPageScope = 3;

// A kept statement in use: reset, with its bindings cleared, when the use ends.
class Use {
 public:
  explicit Use(sqlite3_stmt* statement) : statement_(statement) {}
  ~Use() {
    if (statement_) {
      sqlite3_reset(statement_);
      sqlite3_clear_bindings(statement_);
    }
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  sqlite3_stmt* get() const { return statement_; }
  explicit operator bool() const { return statement_ != nullptr; }

 private:
  sqlite3_stmt* statement_;
};

// A statement prepared for one use and finalized after it.
class OneShot {
 public:
  explicit OneShot(sqlite3_stmt* statement) : statement_(statement) {}
  ~OneShot() { sqlite3_finalize(statement_); }
  OneShot(const OneShot&) = delete;
  OneShot& operator=(const OneShot&) = delete;
  sqlite3_stmt* get() const { return statement_; }
  explicit operator bool() const { return statement_ != nullptr; }

 private:
  sqlite3_stmt* statement_;
};

void bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* statement, int column) {
  auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string();
}

std::optional<std::string> columnTextOrNothing(sqlite3_stmt* statement, int column) {
  if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
  return columnText(statement, column);
}

std::int32_t randomPositive() { return static_cast<std::int32_t>(ns::Random::shared().next() & 0x7fffffffu); }

}  // namespace

MALPersistentHitStore::MALPersistentHitStore() = default;

MALPersistentHitStore::~MALPersistentHitStore() { closeDatabase(); }

std::shared_ptr<MALPersistentHitStore> MALPersistentHitStore::initWithHitBuilder(
    MALHitBuilderPtr hitBuilder) {
  return initWithHitBuilder(std::move(hitBuilder), std::nullopt);
}

std::shared_ptr<MALPersistentHitStore> MALPersistentHitStore::initWithHitBuilder(
    MALHitBuilderPtr hitBuilder, std::optional<std::string> path) {
  hitBuilder_ = hitBuilder ? std::move(hitBuilder) : std::make_shared<MALHitBuilder>();
  std::string target;
  if (path) {
    target = *path;
  } else {
    std::string library = ns::libraryDirectory();
    if (library.empty()) return nullptr;
    target = ns::stringByAppendingPathComponent(library, kMALDatabaseFileName);
  }
  // Earlier versions kept the file in Documents.
  auto files = ns::FileManager::defaultManager();
  std::string documents = ns::stringByAppendingPathComponent(ns::documentsDirectory(), kMALDatabaseFileName);
  if (documents != target && files->fileExistsAtPath(documents)) {
    ns::ErrorPtr error;
    if (files->fileExistsAtPath(target)) {
      if (files->removeItemAtPath(documents, &error))
        ns::log("Deleted hit store database in Documents.");
      else
        ns::log("Failed to delete hit store database in Documents: %@",
                error ? error->localizedDescription() : "");
    } else if (files->moveItemAtPath(documents, target, &error)) {
      ns::log("Moved hit store database from Documents to Library.");
    } else {
      // Its hits are not thrown away: the copy is used where it is, and moved at a later start.
      ns::log("Failed to move database from Documents to Library: %@",
              error ? error->localizedDescription() : "");
      target = documents;
    }
  }
  if (!open(target)) return nullptr;
  return std::static_pointer_cast<MALPersistentHitStore>(shared_from_this());
}

bool MALPersistentHitStore::open(std::string path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    ns::log("Unable to open App Analytics database");
    sqlite3_close(db);
    return false;
  }
  database_ = db;
  path_ = std::move(path);
  if (!createTables()) {
    ns::log("Error initializing App Analytics database");
    closeDatabase();
    return false;
  }
  for (Kept k : {kBegin, kEnd, kRollback, kUpdateCustomVar, kSelectSession, kInsertSession, kDeleteSession,
                 kSelectReferrer})
    kept(k);
  readSession();
  // The older layout's events become hits once the tables and statements above exist.
  migrateIfReady();
  countHits();
  return true;
}

bool MALPersistentHitStore::createTables() {
  // One transaction for the whole set-up: one write to the disk instead of one per row.
  if (!exec("BEGIN TRANSACTION;", "begin transaction")) return false;
  if (setUpTables()) return exec("END TRANSACTION;", "end transaction");
  exec("ROLLBACK;", "rollback");
  return false;
}

bool MALPersistentHitStore::setUpTables() {
  if (!exec(kCreateSession, "create session table")) return false;
  bool hitsExisted = tableExists("hits");
  bool eventsExisted = tableExists("events");
  if (!exec(kCreateHits, "create hits table") || !exec(kCreateEvents, "create events table") ||
      !exec(kCreateCustomVarCache, "create custom var cache table"))
    return false;
  for (unsigned index = 1; index <= kMALMaxCustomVariables; ++index) {
    OneShot select(
        prepare("SELECT * FROM custom_var_cache WHERE cv_index=?;", "select custom variable by index"));
    if (!select) return false;
    sqlite3_bind_int(select.get(), 1, static_cast<int>(index));
    int rc = sqlite3_step(select.get());
    if (rc == SQLITE_ROW) continue;
    if (rc != SQLITE_DONE) return false;
    OneShot insert(
        prepare("INSERT INTO custom_var_cache (cv_scope,cv_index,cv_name,cv_value) VALUES (?, ?, ?, ?);",
                "insert custom var cache"));
    if (!insert) return false;
    sqlite3_bind_int(insert.get(), 1, kPageScope);
    sqlite3_bind_int(insert.get(), 2, static_cast<int>(index));
    bindText(insert.get(), 3, "");
    bindText(insert.get(), 4, "");
    if (sqlite3_step(insert.get()) != SQLITE_DONE) return false;
  }
  if (!exec(kCreateReferrer, "create referrer table")) return false;
  // The current layout never writes to "events": rows there are an older layout's, waiting.
  migrationPending_ = (!hitsExisted && eventsExisted) || tableHasRows("events");
  return true;
}

sqlite3_stmt* MALPersistentHitStore::prepare(const char* sql, const char* description) {
  if (!database_) return nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(database_, sql, -1, &statement, nullptr) != SQLITE_OK) {
    ns::log("Error: Failed to prepare %@ statement: %d", description, sqlite3_errcode(database_));
    sqlite3_finalize(statement);
    return nullptr;
  }
  return statement;
}

sqlite3_stmt* MALPersistentHitStore::kept(Kept which) {
  if (!statements_[which])
    statements_[which] = prepare(kKeptStatements[which].sql, kKeptStatements[which].description);
  return statements_[which];
}

bool MALPersistentHitStore::exec(const char* sql, const char* description) {
  OneShot statement(prepare(sql, description));
  return statement && sqlite3_step(statement.get()) == SQLITE_DONE;
}

bool MALPersistentHitStore::tableExists(const char* name) {
  OneShot statement(prepare("SELECT name FROM sqlite_master WHERE type='table' AND name=?", "table exists"));
  if (!statement) return false;
  bindText(statement.get(), 1, name);
  return sqlite3_step(statement.get()) == SQLITE_ROW;
}

bool MALPersistentHitStore::tableHasRows(const char* name) {
  if (!tableExists(name)) return false;
  OneShot statement(prepare(ns::format("SELECT 1 FROM %@ LIMIT 1;", name).c_str(), "table has rows"));
  return statement && sqlite3_step(statement.get()) == SQLITE_ROW;
}

const char* MALPersistentHitStore::message() const {
  return database_ ? sqlite3_errmsg(database_) : "not open";
}

ns::ErrorPtr MALPersistentHitStore::sqliteError() const {
  return ns::Error::make(kMALPersistentEventStoreErrorDomain,
                         database_ ? sqlite3_errcode(database_) : kMALStoreErrorNotOpen);
}

void MALPersistentHitStore::readSession() {
  Use select(kept(kSelectSession));
  int rc = select ? sqlite3_step(select.get()) : SQLITE_ERROR;
  if (rc == SQLITE_ROW) {
    timestampFirst_ = sqlite3_column_int(select.get(), 0);
    timestampPrevious_ = sqlite3_column_int(select.get(), 1);
    timestampCurrent_ = sqlite3_column_int(select.get(), 2);
    visits_ = sqlite3_column_int(select.get(), 3);
    storeID_ = sqlite3_column_int(select.get(), 4);
    MALReferrerPtr referrer = getReferrer();
    sessionStarted_ = timestampFirst_ != 0 && (!referrer || referrer->timestamp() != 0);
  } else if (rc == SQLITE_DONE) {
    sessionStarted_ = false;
    useStoredVisitorVars_ = true;
    storeID_ = randomPositive();
    Use insert(kept(kInsertSession));
    bool ok = static_cast<bool>(insert);
    if (ok) {
      for (int i = 1; i <= 4; ++i) sqlite3_bind_int(insert.get(), i, 0);
      sqlite3_bind_int(insert.get(), 5, storeID_);
      ok = sqlite3_step(insert.get()) == SQLITE_DONE;
    }
    if (!ok) ns::log("Error: Failed to set session information '%s'", message());
  } else {
    ns::log("Error: Failed to read session from database '%s'", message());
  }
}

void MALPersistentHitStore::startNewSession() {
  sessionStarted_ = false;
  useStoredVisitorVars_ = true;
  countHits();
}

bool MALPersistentHitStore::updateSession() {
  auto now = static_cast<std::int32_t>(ns::Date::now().timeIntervalSince1970());
  if (timestampFirst_ != 0) {
    timestampPrevious_ = timestampCurrent_;
    timestampCurrent_ = now == timestampPrevious_ ? now + 1 : now;
    ++visits_;
  } else {
    timestampFirst_ = timestampPrevious_ = timestampCurrent_ = now;
    visits_ = 1;
  }
  {
    Use remove(kept(kDeleteSession));
    if (!remove || sqlite3_step(remove.get()) != SQLITE_DONE) {
      ns::log("Error: Failed to delete session record from database '%s'", message());
      return false;
    }
  }
  Use insert(kept(kInsertSession));
  if (insert) {
    sqlite3_bind_int(insert.get(), 1, timestampFirst_);
    sqlite3_bind_int(insert.get(), 2, timestampPrevious_);
    sqlite3_bind_int(insert.get(), 3, timestampCurrent_);
    sqlite3_bind_int(insert.get(), 4, visits_);
    sqlite3_bind_int(insert.get(), 5, storeID_);
  }
  if (!insert || sqlite3_step(insert.get()) != SQLITE_DONE) {
    ns::log("Error: Failed to insert session record into database '%s'", message());
    return false;
  }
  return true;
}

MALPersistentHitStore::Session MALPersistentHitStore::session() const {
  return {timestampFirst_, timestampPrevious_, timestampCurrent_,
          visits_,         sessionStarted_,    useStoredVisitorVars_};
}

bool MALPersistentHitStore::beginTransaction() {
  Use begin(kept(kBegin));
  if (begin && sqlite3_step(begin.get()) == SQLITE_DONE) return true;
  ns::log("Error: Failed begin transaction from database '%s'", message());
  return false;
}

bool MALPersistentHitStore::endTransaction() {
  Use end(kept(kEnd));
  return end && sqlite3_step(end.get()) == SQLITE_DONE;
}

void MALPersistentHitStore::rollback(const Session& saved) {
  {
    Use statement(kept(kRollback));
    if (statement) sqlite3_step(statement.get());
  }
  // What the database forgot, memory forgets too: the next event counts the visit again.
  timestampFirst_ = saved.first;
  timestampPrevious_ = saved.previous;
  timestampCurrent_ = saved.current;
  visits_ = saved.visits;
  sessionStarted_ = saved.started;
  useStoredVisitorVars_ = saved.useStoredVisitorVars;
}

bool MALPersistentHitStore::persistEvent(const MALEventPtr& event, ns::ErrorPtr* error) {
  return persistEvent(event, true, error);
}

bool MALPersistentHitStore::persistEvent(const MALEventPtr& event, bool allowSessionUpdate,
                                         ns::ErrorPtr* error) {
  if (!database_) {
    MALSetError(error, kMALPersistentEventStoreErrorDomain, kMALStoreErrorNotOpen);
    return false;
  }
  if (!event) return false;
  migrateIfReady();
  if (storedHits_ >= kMALMaxStoredHits) {
    MALSetError(error, kMALPersistentEventStoreErrorDomain, kMALStoreErrorFull);
    return false;
  }
  if (sampleRate_ != 100) {
    std::int32_t visitor = event->visitorId() == -1 ? storeID_ : event->visitorId();
    if (static_cast<std::uint32_t>(visitor) % 10000 >= sampleRate_ * 100) {
      MALDebugLog("User has been sampled out. Aborting hit.");
      return true;
    }
  }
  const Session saved = session();
  auto fail = [&] {
    if (error) *error = sqliteError();
    rollback(saved);
    return false;
  };
  if (!beginTransaction()) {
    if (error) *error = sqliteError();
    return false;
  }
  if (!sessionStarted_ && allowSessionUpdate) {
    if (!updateSession()) return fail();
    sessionStarted_ = true;
  }
  if (!event->isSessionInitialized()) {
    event->setRandomVal(randomPositive());
    event->setTimestampFirst(timestampFirst_);
    event->setTimestampPrevious(timestampPrevious_);
    event->setTimestampCurrent(timestampCurrent_);
    event->setVisits(visits_);
  }
  event->setAnonymizeIp(anonymizeIp_);
  if (event->visitorId() == -1) event->setVisitorId(storeID_);
  completeCustomVariables(event);

  MALReferrerPtr referrer = getReferrer();
  if (referrer && referrer->timestamp() == 0) {
    // The campaign's first visit: it is dated now.
    if (!writeReferrer(referrer->referrer(), timestampCurrent_, visits_, referrer->index())) return fail();
    referrer = std::make_shared<MALReferrer>()->initWithReferrer(referrer->referrer(), timestampCurrent_,
                                                                 visits_, referrer->index());
  }
  std::vector<std::string> hits = hitBuilder_->constructHitRequestPath(event, referrer);
  for (const std::string& hit : hits) {
    Use insert(kept(kInsertHit));
    if (insert) bindText(insert.get(), 1, hit);
    if (!insert || sqlite3_step(insert.get()) != SQLITE_DONE) {
      ns::log("Error: Failed to insert hit into database '%s'", message());
      return fail();
    }
  }
  if (!endTransaction()) return fail();
  storedHits_ += static_cast<unsigned>(hits.size());
  return true;
}

void MALPersistentHitStore::completeCustomVariables(const MALEventPtr& event) {
  if (event->isTransaction() || event->isItem()) return;
  if (useStoredVisitorVars_) {
    MALCustomVariableBufferPtr buffer = event->customVariableBuffer();
    if (!buffer) buffer = std::make_shared<MALCustomVariableBuffer>();
    if (MALCustomVariableBufferPtr stored = getVisitorVarBuffer())
      for (const auto& [index, variable] : stored->dictionary())
        if (!buffer->customVariableAtIndex(index)) buffer->addCustomVariable(variable);
    event->setCustomVariableBuffer(buffer);
    useStoredVisitorVars_ = false;
  }
  if (!event->customVariableBuffer()) return;
  for (const auto& [index, variable] : event->customVariableBuffer()->dictionary()) {
    Use update(kept(kUpdateCustomVar));
    if (update) {
      sqlite3_bind_int(update.get(), 1, variable->scope());
      bindText(update.get(), 2, variable->name());
      bindText(update.get(), 3, variable->value());
      sqlite3_bind_int(update.get(), 4, static_cast<int>(index));
    }
    if (!update || sqlite3_step(update.get()) != SQLITE_DONE)
      ns::log("Error: Failed to update custom var cache for database '%s'", message());
  }
}

bool MALPersistentHitStore::writeReferrer(const std::string& text, int timestamp, int visit, int index) {
  {
    OneShot remove(prepare("DELETE FROM referrer;", "delete referrer"));
    if (!remove || sqlite3_step(remove.get()) != SQLITE_DONE) {
      ns::log("Error: Failed to delete referrer from database '%s'", message());
      return false;
    }
  }
  OneShot insert(prepare(
      "INSERT INTO referrer (referrer,referrer_timestamp,referrer_visit,referrer_index) VALUES (?, ?, ?, ?);",
      "insert referrer"));
  if (insert) {
    bindText(insert.get(), 1, text);
    sqlite3_bind_int(insert.get(), 2, timestamp);
    sqlite3_bind_int(insert.get(), 3, visit);
    sqlite3_bind_int(insert.get(), 4, index);
  }
  if (!insert || sqlite3_step(insert.get()) != SQLITE_DONE) {
    ns::log("Error: Failed to insert referrer from database '%s'", message());
    return false;
  }
  return true;
}

std::optional<std::string> MALPersistentHitStore::formatReferrer(const std::string& query) {
  MALUtils::QueryParameters params = MALUtils::paramsFromQuery(query);
  auto has = [&](const char* key) {
    auto it = params.find(key);
    return it != params.end() && it->second.has_value();
  };
  if (!has("gclid") && !(has("utm_campaign") && has("utm_medium") && has("utm_source"))) return std::nullopt;
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"utm_id", "utmcid"},       {"utm_source", "utmcsr"}, {"gclid", "utmgclid"},
      {"utm_campaign", "utmccn"}, {"utm_medium", "utmcmd"}, {"utm_term", "utmctr"},
      {"utm_content", "utmcct"},
  };
  std::vector<std::string> pairs;
  for (const auto& [from, to] : kNames) {
    auto it = params.find(from);
    if (it == params.end() || !it->second || it->second->empty()) continue;
    std::string value = ns::stringByReplacingOccurrences(*it->second, "+", "%20");
    value = ns::stringByReplacingOccurrences(value, " ", "%20");
    pairs.push_back(ns::format("%@=%@", to, value));
  }
  return ns::componentsJoinedByString(pairs, "|");
}

bool MALPersistentHitStore::setReferrer(const std::string& query, ns::ErrorPtr* error) {
  std::optional<std::string> text = formatReferrer(query);
  if (!text) {
    MALSetTrackerError(error, kMALErrorBadArgument);
    return false;
  }
  if (!database_) {
    MALSetTrackerError(error, kMALErrorNoStore);
    return false;
  }
  int index = 1;
  if (MALReferrerPtr stored = getReferrer())
    index = stored->timestamp() > 0 ? stored->index() + 1 : stored->index();
  const Session saved = session();
  if (!beginTransaction()) {
    if (error) *error = sqliteError();
    return false;
  }
  if (!writeReferrer(*text, 0, 0, index) || !endTransaction()) {
    if (error) *error = sqliteError();
    rollback(saved);
    return false;
  }
  sessionStarted_ = false;
  return true;
}

MALReferrerPtr MALPersistentHitStore::getReferrer() {
  Use select(kept(kSelectReferrer));
  if (!select || sqlite3_step(select.get()) != SQLITE_ROW) return nullptr;
  return std::make_shared<MALReferrer>()->initWithReferrer(
      columnText(select.get(), 0), sqlite3_column_int(select.get(), 1), sqlite3_column_int(select.get(), 2),
      sqlite3_column_int(select.get(), 3));
}

std::vector<MALHitPtr> MALPersistentHitStore::peekHits(int limit) {
  std::vector<MALHitPtr> hits;
  Use select(kept(kSelectHits));
  if (!select) return hits;
  sqlite3_bind_int(select.get(), 1, limit < 0 ? static_cast<int>(kMALMaxStoredHits) : limit);
  while (sqlite3_step(select.get()) == SQLITE_ROW)
    hits.push_back(std::make_shared<MALHit>()->initWithHitString(
        columnText(select.get(), 1), static_cast<std::uint64_t>(sqlite3_column_int64(select.get(), 0))));
  return hits;
}

bool MALPersistentHitStore::deleteHit(std::uint64_t hitId) {
  Use remove(kept(kDeleteHit));
  if (remove) sqlite3_bind_int64(remove.get(), 1, static_cast<sqlite3_int64>(hitId));
  if (!remove || sqlite3_step(remove.get()) != SQLITE_DONE) {
    ns::log("Error: Failed to delete hit from database '%s'", message());
    return false;
  }
  // Only a row really deleted lowers the count, and never below zero.
  auto removed = static_cast<unsigned>(sqlite3_changes(database_));
  storedHits_ -= std::min(storedHits_, removed);
  return true;
}

unsigned MALPersistentHitStore::countHits() {
  OneShot count(prepare("SELECT COUNT(*) FROM hits;", "count hits"));
  if (count && sqlite3_step(count.get()) == SQLITE_ROW)
    storedHits_ = static_cast<unsigned>(sqlite3_column_int64(count.get(), 0));
  else if (database_)
    ns::log("Error: Failed to read from database '%s'", message());
  return storedHits_;
}

std::optional<std::string> MALPersistentHitStore::visitorCustomVarAtIndex(unsigned index) {
  OneShot select(prepare("SELECT cv_value FROM custom_var_cache WHERE cv_scope=? AND cv_index=?;",
                         "select custom var value by scope and index"));
  if (!select) return std::nullopt;
  sqlite3_bind_int(select.get(), 1, kVisitorScope);
  sqlite3_bind_int(select.get(), 2, static_cast<int>(index));
  if (sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;
  return columnText(select.get(), 0);
}

MALCustomVariableBufferPtr MALPersistentHitStore::getVisitorVarBuffer() {
  OneShot select(
      prepare("SELECT cv_index, cv_name, cv_value, cv_scope  FROM custom_var_cache WHERE cv_scope=?;",
              "select custom var by scope"));
  if (!select) return nullptr;
  sqlite3_bind_int(select.get(), 1, kVisitorScope);
  auto buffer = std::make_shared<MALCustomVariableBuffer>();
  while (sqlite3_step(select.get()) == SQLITE_ROW) {
    auto index = sqlite3_column_int(select.get(), 0);
    if (index <= 0) continue;
    buffer->addCustomVariable(std::make_shared<MALCustomVariable>()->initWithIndex(
        static_cast<unsigned>(index), columnText(select.get(), 1), columnText(select.get(), 2),
        sqlite3_column_int(select.get(), 3)));
  }
  return buffer;
}

std::optional<std::string> MALPersistentHitStore::visitorIDForAds() const {
  if (!sessionStarted_) return std::nullopt;
  return ns::format("%d.%d", storeID_, timestampFirst_);
}

std::optional<std::string> MALPersistentHitStore::sessionIDForAds() const {
  if (!sessionStarted_) return std::nullopt;
  return ns::format("%d", timestampCurrent_);
}

void MALPersistentHitStore::migrateIfReady() {
  if (migrationPending_ && !migrating_ && database_ && !hitBuilder_->accountIDs().empty()) migrate();
}

void MALPersistentHitStore::migrate() {
  migrating_ = true;
  migrationPending_ = false;
  const bool withCustomVariables = tableExists("custom_variables");
  const bool withTransactions = tableExists("transactions");
  const bool withItems = tableExists("items");
  std::vector<MALEventPtr> events;
  {
    Use select(kept(kSelectEvents));
    if (select) sqlite3_bind_int(select.get(), 1, static_cast<int>(kMALMaxStoredHits));
    while (select && sqlite3_step(select.get()) == SQLITE_ROW) {
      sqlite3_stmt* s = select.get();
      events.push_back(std::make_shared<MALEvent>()->initWithEventID(
          sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1), sqlite3_column_int(s, 2),
          sqlite3_column_int(s, 3), sqlite3_column_int(s, 4), sqlite3_column_int(s, 5), std::nullopt,
          columnText(s, 6), columnText(s, 7), columnTextOrNothing(s, 8), sqlite3_column_int(s, 9)));
    }
  }
  for (const MALEventPtr& event : events) {
    if (event->isTransaction() && withTransactions) {
      Use select(kept(kSelectTransaction));
      if (select) sqlite3_bind_int64(select.get(), 1, event->eventID());
      if (select && sqlite3_step(select.get()) == SQLITE_ROW) {
        sqlite3_stmt* s = select.get();
        event->setTransaction(std::make_shared<MALTransaction>()->initWithOrderID(
            columnText(s, 2), columnTextOrNothing(s, 3), ns::stringDoubleValue(columnText(s, 4)),
            ns::stringDoubleValue(columnText(s, 5)), ns::stringDoubleValue(columnText(s, 6))));
      }
    } else if (event->isItem() && withItems) {
      Use select(kept(kSelectItem));
      if (select) sqlite3_bind_int64(select.get(), 1, event->eventID());
      if (select && sqlite3_step(select.get()) == SQLITE_ROW) {
        sqlite3_stmt* s = select.get();
        event->setItem(std::make_shared<MALItem>()->initWithOrderID(
            columnText(s, 2), columnText(s, 3), sqlite3_column_double(s, 6), sqlite3_column_int(s, 7),
            columnTextOrNothing(s, 4), columnTextOrNothing(s, 5)));
      }
    } else if (!event->isTransaction() && !event->isItem() && withCustomVariables) {
      Use select(kept(kSelectEventCustomVars));
      if (select) sqlite3_bind_int64(select.get(), 1, event->eventID());
      auto buffer = std::make_shared<MALCustomVariableBuffer>();
      while (select && sqlite3_step(select.get()) == SQLITE_ROW) {
        sqlite3_stmt* s = select.get();
        int index = sqlite3_column_int(s, 3);
        if (index <= 0) continue;
        buffer->addCustomVariable(std::make_shared<MALCustomVariable>()->initWithIndex(
            static_cast<unsigned>(index), columnText(s, 4), columnText(s, 5), sqlite3_column_int(s, 2)));
      }
      if (buffer->hasCustomVariables()) event->setCustomVariableBuffer(buffer);
    }
    persistEvent(event, false, nullptr);
  }
  // The old tables go; their statements first, or the drops would find them busy.
  for (Kept k : {kSelectEvents, kSelectEventCustomVars, kSelectTransaction, kSelectItem}) {
    sqlite3_finalize(statements_[k]);
    statements_[k] = nullptr;
  }
  for (const char* table : {"events", "items", "transactions", "custom_variables"})
    if (tableExists(table)) exec(ns::format("drop table %@;", table).c_str(), "delete table");
  migrating_ = false;
}

void MALPersistentHitStore::closeDatabase() {
  if (!database_) return;
  for (sqlite3_stmt*& statement : statements_) {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
  while (sqlite3_stmt* statement = sqlite3_next_stmt(database_, nullptr)) {
    ns::log("Unfinalized statement: %s", sqlite3_sql(statement));
    sqlite3_finalize(statement);
  }
  if (sqlite3_close(database_) != SQLITE_OK)
    ns::log("Failed to close database: %s", sqlite3_errmsg(database_));
  database_ = nullptr;
}
