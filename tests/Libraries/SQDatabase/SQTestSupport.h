#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQResultSet.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace sqtest {

// A fresh folder per test, with helpers to open connections to files in it.
class DatabaseTest : public testsupport::TempDirTest {
 protected:
  std::string dbPath(const std::string& name = "test.db") const { return tmp.file(name); }

  std::shared_ptr<SQDatabase> openFile(const std::string& name = "test.db") const {
    auto db = SQDatabase::databaseWithPath(dbPath(name));
    EXPECT_TRUE(db->open());
    return db;
  }

  static std::shared_ptr<SQDatabase> openMemory() {
    auto db = SQDatabase::databaseWithPath(std::nullopt);
    EXPECT_TRUE(db->open());
    return db;
  }

  // "ok" when the file is sound.
  static std::string integrity(SQDatabase& db) {
    return db.stringForQuery("PRAGMA integrity_check").value_or("?");
  }
};

}  // namespace sqtest
