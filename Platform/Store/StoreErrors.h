#pragma once

#include <cstdint>

namespace cd {

// The object store's error domain for failures of the database engine (the code is the engine's
// result code), and the published codes of the store's own failures in "NSCocoaErrorDomain".
inline constexpr const char* kSQLiteErrorDomain = "NSSQLiteErrorDomain";
inline constexpr const char* kSQLiteErrorUserInfoKey = "NSSQLiteErrorDomain";
inline constexpr const char* kValidationKeyErrorKey = "NSValidationErrorKey";

inline constexpr std::int64_t kValidationMissingMandatoryPropertyError = 1570;
inline constexpr std::int64_t kPersistentStoreSaveError = 134030;
inline constexpr std::int64_t kPersistentStoreOperationError = 134070;
inline constexpr std::int64_t kPersistentStoreOpenError = 134080;
inline constexpr std::int64_t kPersistentStoreIncompatibleVersionHashError = 134100;

}  // namespace cd
