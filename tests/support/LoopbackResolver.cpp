#include "support/LoopbackResolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>

namespace {

std::atomic<bool> guarding{false};
std::mutex namesMutex;
std::map<std::string, std::vector<std::string>> givenNames;

std::string canonical(const char* name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (!lower.empty() && lower.back() == '.') lower.pop_back();
  return lower;
}

}  // namespace

namespace testsupport {

void keepNameLookupsOnTheLoopback() { guarding = true; }

void setHostAddresses(const std::string& name, std::vector<std::string> addresses) {
  std::lock_guard lock(namesMutex);
  givenNames[canonical(name.c_str())] = std::move(addresses);
}

}  // namespace testsupport

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
  using Resolve = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const auto system = reinterpret_cast<Resolve>(dlsym(RTLD_NEXT, "getaddrinfo"));
  if (!node || !guarding.load()) return system(node, service, hints, result);
  addrinfo numeric = hints ? *hints : addrinfo{};
  numeric.ai_flags |= AI_NUMERICHOST;
  if (system(node, service, &numeric, result) == 0) return 0;
  const std::string name = canonical(node);
  if (name == "localhost" || name.ends_with(".localhost")) return system("localhost", service, hints, result);
  std::vector<std::string> addresses;
  {
    std::lock_guard lock(namesMutex);
    if (auto it = givenNames.find(name); it != givenNames.end()) addresses = it->second;
  }
  // The system's own answers for each numeric address, chained into one list (freeaddrinfo frees
  // it node by node).
  addrinfo* head = nullptr;
  addrinfo** tail = &head;
  for (const auto& address : addresses) {
    addrinfo* one = nullptr;
    if (system(address.c_str(), service, &numeric, &one) != 0) continue;
    *tail = one;
    while (*tail) tail = &(*tail)->ai_next;
  }
  *result = head;
  return head ? 0 : EAI_NONAME;
}
