#pragma once

#include <exception>
#include <string>
#include <vector>

#include "Foundation/Value.h"

namespace ns {

inline constexpr const char* kGenericException = "NSGenericException";
inline constexpr const char* kInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* kInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* kRangeException = "NSRangeException";

// What the platform throws: a named exception with a reason. what() gives the reason. It remembers
// the call stack it was made on.
class Exception : public std::exception {
 public:
  Exception(std::string name, std::string reason, Dictionary userInfo = {});
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const Dictionary& userInfo() const { return userInfo_; }
  const char* what() const noexcept override { return reason_.c_str(); }

  // The call stack where the exception was made, innermost frame first, one line a frame:
  // "<index> <module> 0x<address> <symbol> + <offset>", symbols demangled with their blanks taken
  // out so the line splits into its fields at white space (programs link with -rdynamic for
  // their own names). The first two frames are the making of the exception itself.
  std::vector<std::string> callStackSymbols() const;
  const std::vector<void*>& callStackReturnAddresses() const { return callStack_; }

 private:
  friend struct ExceptionMaking;
  std::string name_;
  std::string reason_;
  Dictionary userInfo_;
  std::vector<void*> callStack_;
};

// Throws the platform's precondition failure: "Invalid parameter not satisfying: <condition>".
[[noreturn]] void raiseInvalidParameter(const char* condition);

// The process's uncaught-exception handler. An exception nothing catches ends the process; on its
// way the handler, when one is set, is called with it (any other exception type as an ns::Exception
// named after its type, with the call stack at the end). When the handler returns the process aborts.
//
// Escaping exceptions follow one rule on every thread: an exception that escapes a run loop's posted
// call, timer or descriptor source, a block of any dispatch queue (main, global or serial), a worker
// job or a thread's body is uncaught, and ends the process as above, on the thread where it escaped.
// Code that expects a failure catches it itself; dispatch::sync hands a block's exception to its caller.
using UncaughtExceptionHandler = void (*)(const Exception& exception);
UncaughtExceptionHandler getUncaughtExceptionHandler();
void setUncaughtExceptionHandler(UncaughtExceptionHandler handler);

}  // namespace ns

#define NS_PARAMETER_ASSERT(condition)                         \
  do {                                                         \
    if (!(condition)) ::ns::raiseInvalidParameter(#condition); \
  } while (0)
