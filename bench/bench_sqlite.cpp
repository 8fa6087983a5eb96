// The SQLite wrapper against the raw SQLite C API: 100,000 rows of t(id, i, d, s, b) inserted in
// transactions and read back, in memory and in a file with synchronous=OFF.
//   (a) raw C API: prepare once, bind/step/reset, column_*
//   (b) wrapper with the statement cache, getters by column index
//   (c) wrapper with the statement cache, getters by column name
//   (d) wrapper through a queue, one queue call per row
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQDatabaseQueue.h"
#include "SQDatabase/SQResultSet.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRowsPerTransaction = 1000;
constexpr int kRepeats = 3;
const char* kCreate = "create table t (id INTEGER PRIMARY KEY, i, d, s TEXT, b BLOB)";
const char* kInsert = "insert into t (id, i, d, s, b) values (?, ?, ?, ?, ?)";
const char* kSelect = "select id, i, d, s, b from t order by id";

struct Input {
  std::vector<std::string> texts;
  std::vector<ns::Data> blobs;
};

Input makeInput() {
  Input input;
  for (int k = 0; k < kRows; ++k) {
    input.texts.push_back("title number " + std::to_string(k) + " of the catalogue");
    std::string bytes(24, '\0');
    for (std::size_t j = 0; j < bytes.size(); ++j) bytes[j] = static_cast<char>(k * 31 + static_cast<int>(j));
    input.blobs.emplace_back(std::move(bytes));
  }
  return input;
}

// What a reader keeps of a row; the sum proves every variant read the same data.
struct Row {
  std::int64_t id = 0;
  std::int64_t i = 0;
  double d = 0;
  std::string s;
  std::string b;
};

double checksum(const Row& row) {
  return static_cast<double>(row.id + row.i) + row.d + static_cast<double>(row.s.size() + row.b.size());
}

struct Timing {
  double insertNs = 0;
  double readNs = 0;
  double total() const { return insertNs + readNs; }
};

using Clock = std::chrono::steady_clock;
double nsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Store: an empty string is memory, otherwise a fresh file.
std::string freshStore(const std::string& file) {
  if (file.empty()) return ":memory:";
  std::filesystem::remove(file);
  std::filesystem::remove(file + "-journal");
  return file;
}

Timing runRaw(const std::string& path, const Input& input, double& sum) {
  Timing timing;
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);

  auto start = Clock::now();
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, kInsert, -1, &insert, nullptr);
  for (int k = 0; k < kRows; ++k) {
    if (k % kRowsPerTransaction == 0)
      sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr);
    sqlite3_bind_int64(insert, 1, k + 1);
    sqlite3_bind_int64(insert, 2, k * 7);
    sqlite3_bind_double(insert, 3, k * 0.5);
    sqlite3_bind_text(insert, 4, input.texts[k].data(), static_cast<int>(input.texts[k].size()),
                      SQLITE_STATIC);
    sqlite3_bind_blob(insert, 5, input.blobs[k].bytes(), static_cast<int>(input.blobs[k].length()),
                      SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
    sqlite3_reset(insert);
    if (k % kRowsPerTransaction == kRowsPerTransaction - 1)
      sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(insert);
  timing.insertNs = nsSince(start);

  start = Clock::now();
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, kSelect, -1, &select, nullptr);
  Row row;
  while (sqlite3_step(select) == SQLITE_ROW) {
    row.id = sqlite3_column_int64(select, 0);
    row.i = sqlite3_column_int64(select, 1);
    row.d = sqlite3_column_double(select, 2);
    row.s.assign(reinterpret_cast<const char*>(sqlite3_column_text(select, 3)),
                 static_cast<std::size_t>(sqlite3_column_bytes(select, 3)));
    row.b.assign(static_cast<const char*>(sqlite3_column_blob(select, 4)),
                 static_cast<std::size_t>(sqlite3_column_bytes(select, 4)));
    sum += checksum(row);
  }
  sqlite3_finalize(select);
  timing.readNs = nsSince(start);
  sqlite3_close(db);
  return timing;
}

void insertWithWrapper(SQDatabase& db, const Input& input) {
  for (int k = 0; k < kRows; ++k) {
    if (k % kRowsPerTransaction == 0) db.beginTransaction();
    if (!db.executeUpdate(kInsert, k + 1, k * 7, k * 0.5, input.texts[k], input.blobs[k])) std::abort();
    if (k % kRowsPerTransaction == kRowsPerTransaction - 1) db.commit();
  }
}

Timing runWrapper(const std::string& path, const Input& input, double& sum, bool byName) {
  Timing timing;
  auto db = SQDatabase::databaseWithPath(path);
  db->open();
  db->setShouldCacheStatements(true);
  db->executeUpdate("PRAGMA synchronous = OFF");
  db->executeUpdate(kCreate);

  auto start = Clock::now();
  insertWithWrapper(*db, input);
  timing.insertNs = nsSince(start);

  start = Clock::now();
  auto rs = db->executeQuery(kSelect);
  Row row;
  while (rs->next()) {
    if (byName) {
      row.id = rs->longLongIntForColumn("id");
      row.i = rs->longLongIntForColumn("i");
      row.d = rs->doubleForColumn("d");
      row.s.assign(rs->UTF8StringForColumnName("s"));
      row.b.assign(rs->dataNoCopyForColumn("b").value_or(std::string_view()));
    } else {
      row.id = rs->longLongIntForColumnIndex(0);
      row.i = rs->longLongIntForColumnIndex(1);
      row.d = rs->doubleForColumnIndex(2);
      row.s.assign(rs->UTF8StringForColumnIndex(3));
      row.b.assign(rs->dataNoCopyForColumnIndex(4).value_or(std::string_view()));
    }
    sum += checksum(row);
  }
  timing.readNs = nsSince(start);
  db->close();
  return timing;
}

Timing runQueue(const std::string& path, const Input& input, double& sum) {
  Timing timing;
  auto queue = SQDatabaseQueue::databaseQueueWithPath(path);
  queue->inDatabase([](SQDatabase& db) {
    db.setShouldCacheStatements(true);
    db.executeUpdate("PRAGMA synchronous = OFF");
    db.executeUpdate(kCreate);
  });

  auto start = Clock::now();
  for (int k = 0; k < kRows; ++k) {
    if (k % kRowsPerTransaction == 0) queue->inDatabase([](SQDatabase& db) { db.beginTransaction(); });
    queue->inDatabase([&](SQDatabase& db) {
      if (!db.executeUpdate(kInsert, k + 1, k * 7, k * 0.5, input.texts[k], input.blobs[k])) std::abort();
    });
    if (k % kRowsPerTransaction == kRowsPerTransaction - 1)
      queue->inDatabase([](SQDatabase& db) { db.commit(); });
  }
  timing.insertNs = nsSince(start);

  start = Clock::now();
  Row row;
  for (int k = 0; k < kRows; ++k) {
    queue->inDatabase([&](SQDatabase& db) {
      auto rs = db.executeQuery("select id, i, d, s, b from t where id = ?", k + 1);
      if (!rs->next()) std::abort();
      row.id = rs->longLongIntForColumnIndex(0);
      row.i = rs->longLongIntForColumnIndex(1);
      row.d = rs->doubleForColumnIndex(2);
      row.s.assign(rs->UTF8StringForColumnIndex(3));
      row.b.assign(rs->dataNoCopyForColumnIndex(4).value_or(std::string_view()));
      rs->close();
    });
    sum += checksum(row);
  }
  timing.readNs = nsSince(start);
  queue->close();
  return timing;
}

}  // namespace

int main() {
  const Input input = makeInput();
  const std::string file =
      (std::filesystem::temp_directory_path() / ("bench_sqlite_" + std::to_string(getpid()) + ".db"))
          .string();
  const char* variants[] = {"(a) raw C API", "(b) wrapper, cache, by index", "(c) wrapper, cache, by name",
                            "(d) wrapper, one queue call per row"};
  const char* stores[] = {"memory", "file, synchronous=OFF"};
  Timing best[2][4];
  double sums[2][4] = {};

  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    for (int store = 0; store < 2; ++store) {
      const std::string where = store == 0 ? "" : file;
      for (int v = 0; v < 4; ++v) {
        double sum = 0;
        Timing t;
        const std::string path = freshStore(where);
        switch (v) {
          case 0:
            t = runRaw(path, input, sum);
            break;
          case 1:
            t = runWrapper(path, input, sum, false);
            break;
          case 2:
            t = runWrapper(path, input, sum, true);
            break;
          default:
            t = runQueue(path, input, sum);
            break;
        }
        sums[store][v] = sum;
        Timing& b = best[store][v];
        if (repeat == 0 || t.insertNs < b.insertNs) b.insertNs = t.insertNs;
        if (repeat == 0 || t.readNs < b.readNs) b.readNs = t.readNs;
      }
    }
  }
  freshStore(file);
  std::filesystem::remove(file);

  std::printf("SQLite %s, %d rows, %d rows per transaction, best of %d\n", sqlite3_libversion(), kRows,
              kRowsPerTransaction, kRepeats);
  std::printf("%-38s %-22s %12s %12s %12s\n", "variant", "store", "insert ns/row", "read ns/row",
              "ratio to (a)");
  double totals[4] = {};
  for (int store = 0; store < 2; ++store) {
    for (int v = 0; v < 4; ++v) {
      const Timing& t = best[store][v];
      totals[v] += t.total();
      std::printf("%-38s %-22s %12.1f %12.1f %12.2f\n", variants[v], stores[store], t.insertNs / kRows,
                  t.readNs / kRows, t.total() / best[store][0].total());
      if (sums[store][v] != sums[store][0]) std::printf("  checksum differs from (a)!\n");
    }
  }
  std::printf("read-only ratios to (a): (b) %.2f, (c) %.2f, (d) %.2f\n",
              (best[0][1].readNs + best[1][1].readNs) / (best[0][0].readNs + best[1][0].readNs),
              (best[0][2].readNs + best[1][2].readNs) / (best[0][0].readNs + best[1][0].readNs),
              (best[0][3].readNs + best[1][3].readNs) / (best[0][0].readNs + best[1][0].readNs));
  std::printf("queue per row / raw C API: %.2f (no target)\n", totals[3] / totals[0]);
  std::printf("ratio (b) wrapper by index/raw C API = %.2f (target <= 1.3)\n", totals[1] / totals[0]);
  std::printf("ratio (c) wrapper by name/raw C API = %.2f (target <= 2)\n", totals[2] / totals[0]);
  return 0;
}
