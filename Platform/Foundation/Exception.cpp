#include "Foundation/Exception.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Foundation/Format.h"

namespace ns {

namespace {

constexpr int kMaxFrames = 64;

std::atomic<UncaughtExceptionHandler> uncaughtHandler{nullptr};

std::string withoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

std::string demangled(const char* symbol) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(symbol, nullptr, nullptr, &status),
                                              std::free);
  return withoutBlanks(status == 0 && name ? name.get() : symbol);
}

const char* baseName(const char* path) {
  const char* slash = path ? std::strrchr(path, '/') : nullptr;
  return slash ? slash + 1 : path ? path : "???";
}

bool sameModule(void* address, void* moduleBase) {
  Dl_info info{};
  return dladdr(address, &info) && info.dli_fbase == moduleBase;
}

bool isRuntimeLibraryFrame(void* address) {
  Dl_info info{};
  return dladdr(address, &info) && info.dli_fname && std::strstr(baseName(info.dli_fname), "libstdc++");
}

}  // namespace

// The frames of making an exception: kept out of line so that exactly these two stand above the
// maker's frame.
struct ExceptionMaking {
  [[gnu::noinline]] static void captureCallStack(Exception& exception) {
    void* frames[kMaxFrames];
    int count = ::backtrace(frames, kMaxFrames);
    // A sanitizer's runtime lists its own frame first: the listing starts at this function's.
    int first = 0;
    Dl_info own{};
    if (dladdr(reinterpret_cast<void*>(&captureCallStack), &own))
      while (first < count && !sameModule(frames[first], own.dli_fbase)) ++first;
    if (first == count) first = 0;
    exception.callStack_.assign(frames + first, frames + (count > 0 ? count : 0));
    // Nothing may follow the call in a way that lets it become a jump: the frame would be lost.
    asm volatile("" ::: "memory");
  }

  // An exception for what terminate found: the terminate machinery's frames between the two frames
  // of making and the frame that gave up the exception are dropped.
  [[gnu::noinline]] static Exception forTerminate(std::string name, std::string reason) {
    Exception exception(std::move(name), std::move(reason));
    auto& stack = exception.callStack_;
    if (stack.size() > 2) {
      auto first = stack.begin() + 2;
      auto last = first + 1;  // this function's caller, the terminate handler
      while (last != stack.end() && isRuntimeLibraryFrame(*last)) ++last;
      stack.erase(first, last);
    }
    return exception;
  }
};

Exception::Exception(std::string name, std::string reason, Dictionary userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {
  ExceptionMaking::captureCallStack(*this);
  asm volatile("" ::: "memory");
}

std::vector<std::string> Exception::callStackSymbols() const {
  std::vector<std::string> lines;
  lines.reserve(callStack_.size());
  for (std::size_t i = 0; i < callStack_.size(); ++i) {
    void* address = callStack_[i];
    Dl_info info{};
    bool found = dladdr(address, &info) != 0;
    std::string module = withoutBlanks(baseName(found ? info.dli_fname : nullptr));
    std::string symbol;
    std::uintptr_t offset = 0;
    if (found && info.dli_sname) {
      symbol = demangled(info.dli_sname);
      offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(info.dli_saddr);
    } else {
      symbol = module;
      offset = reinterpret_cast<std::uintptr_t>(address) -
               reinterpret_cast<std::uintptr_t>(found ? info.dli_fbase : nullptr);
    }
    lines.push_back(format("%-4zu%-35@ 0x%016llx %@ + %llu", i, module,
                           static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)), symbol,
                           static_cast<unsigned long long>(offset)));
  }
  return lines;
}

void raiseInvalidParameter(const char* condition) {
  throw Exception(kInternalInconsistencyException,
                  std::string("Invalid parameter not satisfying: ") + condition);
}

UncaughtExceptionHandler getUncaughtExceptionHandler() { return uncaughtHandler.load(); }

void setUncaughtExceptionHandler(UncaughtExceptionHandler handler) { uncaughtHandler.store(handler); }

namespace {

std::terminate_handler previousTerminate = nullptr;

void report(const Exception& exception) {
  log("*** Terminating app due to uncaught exception '%@', reason: '%@'", exception.name(),
      exception.reason());
  if (auto handler = uncaughtHandler.load()) handler(exception);
}

[[noreturn]] void onTerminate() {
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const Exception& exception) {
      report(exception);
    } catch (const std::exception& other) {
      report(ExceptionMaking::forTerminate(demangled(typeid(other).name()), other.what()));
    } catch (...) {
      report(ExceptionMaking::forTerminate(kGenericException, "an exception of unknown type"));
    }
    std::abort();
  }
  // Not an exception: terminate was called for another reason.
  if (previousTerminate) previousTerminate();
  std::abort();
}

// Installed before main runs, so every program of the system ends uncaught exceptions this way.
[[maybe_unused]] const bool terminateInstalled = [] {
  previousTerminate = std::set_terminate(onTerminate);
  return true;
}();

}  // namespace

}  // namespace ns
