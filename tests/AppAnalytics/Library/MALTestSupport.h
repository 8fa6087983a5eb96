#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALDataDispatcher.h"
#include "AppAnalytics/Library/MALHit.h"
#include "AppAnalytics/Library/MALHitBuilder.h"

namespace maltest {

inline MALHitPtr hit(std::string text, std::uint64_t id) {
  return std::make_shared<MALHit>()->initWithHitString(std::move(text), id);
}

// Hit strings as the store keeps them, n of them, each carrying its index.
inline std::vector<MALHitPtr> hits(std::size_t n, const std::string& extra = "") {
  std::vector<MALHitPtr> out;
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(hit("/__utm.gif?utmwv=4.9.1mi&utmn=" + std::to_string(i) + "&utmac=UA-1" + extra, i + 1));
  return out;
}

// Records what a dispatcher reports.
struct DispatcherRecorder final : MALDataDispatcherDelegate {
  std::vector<std::uint64_t> acknowledged;
  int completions = 0;
  void dataDispatcherDispatched(MALDataDispatcher&, const MALHitPtr& h) override {
    acknowledged.push_back(h->hitId());
  }
  void dataDispatcherDidComplete(MALDataDispatcher&) override { ++completions; }
};

inline MALHitBuilderPtr builder(std::vector<std::string> accounts) {
  auto b = std::make_shared<MALHitBuilder>();
  b->setAccountIDs(std::move(accounts));
  return b;
}

// Plain SQLite access to a store's file, as another program would look at it.
class Database {
 public:
  explicit Database(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool exec(const std::string& sql) {
    char* error = nullptr;
    bool ok = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok) ADD_FAILURE() << sql << ": " << (error ? error : "");
    sqlite3_free(error);
    return ok;
  }
  // Every row of a query, its columns joined by "|".
  std::vector<std::string> rows(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
      return out;
    }
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        if (i) row += "|";
        const unsigned char* text = sqlite3_column_text(s, i);
        row += text ? reinterpret_cast<const char*>(text) : "NULL";
      }
      out.push_back(row);
    }
    sqlite3_finalize(s);
    return out;
  }
  std::string value(const std::string& sql) {
    auto r = rows(sql);
    return r.empty() ? std::string() : r.front();
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace maltest
