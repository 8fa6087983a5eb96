#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALEvent.h"
#include "AppAnalytics/Library/MALHit.h"
#include "AppAnalytics/Library/MALHitBuilder.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"

struct sqlite3;
struct sqlite3_stmt;

inline constexpr const char* kMALPersistentEventStoreErrorDomain =
    "org.videocatalogue.MALPersistentEventStoreError";
inline constexpr std::int32_t kMALStoreErrorNotOpen = static_cast<std::int32_t>(0xDEADC0DEu);
inline constexpr std::int32_t kMALStoreErrorFull = 0xBADE7A9;
inline constexpr const char* kMALDatabaseFileName = "appanalytics.sql";
inline constexpr unsigned kMALMaxStoredHits = 1000;

// The version 1 tracker's state in one SQLite file: the hits waiting to be sent, the visitor's
// session (visitor id, first, previous and current visit times, visit count), the campaign
// referrer and a cache of custom variables. Each accepted event becomes its hits (one per
// account) in one transaction: all of them or none. Not locked: the tracker serialises calls.
class MALPersistentHitStore final : public ns::Object {
 public:
  MALPersistentHitStore();
  ~MALPersistentHitStore() override;

  // Opens "appanalytics.sql" in the Library folder (moving an older copy out of Documents), or
  // the given file; nullptr when the database cannot be opened or set up.
  std::shared_ptr<MALPersistentHitStore> initWithHitBuilder(MALHitBuilderPtr hitBuilder);
  std::shared_ptr<MALPersistentHitStore> initWithHitBuilder(MALHitBuilderPtr hitBuilder,
                                                            std::optional<std::string> path);

  // Completes the event with visitor, session and custom variable data and stores its hits.
  // True also when sampling drops it.
  bool persistEvent(const MALEventPtr& event, ns::ErrorPtr* error = nullptr);
  bool persistEvent(const MALEventPtr& event, bool allowSessionUpdate, ns::ErrorPtr* error);
  // Stored hits in id order; a negative limit means kMALMaxStoredHits.
  std::vector<MALHitPtr> peekHits(int limit);
  bool deleteHit(std::uint64_t hitId);
  // Reads the number of stored hits into storedHits and returns it.
  unsigned countHits();
  // The next event opens a new visit.
  void startNewSession();
  // Keeps the campaign of a query ("utm_source=...&utm_medium=...&utm_campaign=..." or "gclid=...")
  // for the next visit. Errors are the tracker's: kMALErrorBadArgument, kMALErrorNoStore.
  bool setReferrer(const std::string& query, ns::ErrorPtr* error = nullptr);
  MALReferrerPtr getReferrer();
  std::optional<std::string> visitorCustomVarAtIndex(unsigned index);
  MALCustomVariableBufferPtr getVisitorVarBuffer();
  // "<store id>.<first visit>" and "<current visit>", only while a session is started.
  std::optional<std::string> visitorIDForAds() const;
  std::optional<std::string> sessionIDForAds() const;
  void closeDatabase();

  unsigned storedHits() const { return storedHits_; }
  unsigned sampleRate() const { return sampleRate_; }
  void setSampleRate(unsigned rate) { sampleRate_ = rate; }
  bool anonymizeIp() const { return anonymizeIp_; }
  void setAnonymizeIp(bool v) { anonymizeIp_ = v; }
  std::int32_t storeID() const { return storeID_; }
  std::int32_t timestampFirst() const { return timestampFirst_; }
  std::int32_t timestampPrevious() const { return timestampPrevious_; }
  std::int32_t timestampCurrent() const { return timestampCurrent_; }
  std::int32_t visits() const { return visits_; }
  bool sessionStarted() const { return sessionStarted_; }
  sqlite3* database() const { return database_; }
  const std::string& path() const { return path_; }

  // The campaign text kept for a query, or nothing when the query names no campaign.
  static std::optional<std::string> formatReferrer(const std::string& query);

 private:
  // Statements kept for the store's life, prepared on first use.
  enum Kept {
    kBegin,
    kEnd,
    kRollback,
    kUpdateCustomVar,
    kSelectSession,
    kInsertSession,
    kDeleteSession,
    kSelectReferrer,
    kInsertHit,
    kSelectHits,
    kDeleteHit,
    kSelectEvents,
    kSelectEventCustomVars,
    kSelectTransaction,
    kSelectItem,
    kKeptCount
  };
  // The in-memory session that a rolled-back write must not leave changed.
  struct Session {
    std::int32_t first, previous, current, visits;
    bool started, useStoredVisitorVars;
  };

  bool open(std::string path);
  bool createTables();
  bool setUpTables();
  bool exec(const char* sql, const char* description);
  bool tableExists(const char* name);
  bool tableHasRows(const char* name);
  sqlite3_stmt* kept(Kept which);
  sqlite3_stmt* prepare(const char* sql, const char* description);
  void readSession();
  bool updateSession();
  bool beginTransaction();
  bool endTransaction();
  void rollback(const Session& saved);
  Session session() const;
  bool writeReferrer(const std::string& text, int timestamp, int visit, int index);
  void completeCustomVariables(const MALEventPtr& event);
  void migrateIfReady();
  void migrate();
  ns::ErrorPtr sqliteError() const;
  const char* message() const;

  sqlite3* database_ = nullptr;
  std::string path_;
  std::array<sqlite3_stmt*, kKeptCount> statements_{};
  MALHitBuilderPtr hitBuilder_;
  unsigned storedHits_ = 0;
  std::int32_t timestampFirst_ = 0, timestampPrevious_ = 0, timestampCurrent_ = 0, visits_ = 0, storeID_ = 0;
  bool anonymizeIp_ = false;
  bool useStoredVisitorVars_ = true;
  bool sessionStarted_ = false;
  unsigned sampleRate_ = 100;
  // Events of the older layout wait here until the hit builder knows the accounts to build for.
  bool migrationPending_ = false;
  bool migrating_ = false;
};

using MALPersistentHitStorePtr = std::shared_ptr<MALPersistentHitStore>;
