#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Tests reach nothing but the loopback, and no name a test uses is looked up beyond it: once this
// is called (the test main does it first), the process's resolver gives numeric addresses and
// "localhost" (with the names under it) what the system gives them, a name given addresses below
// those addresses, and any other name no address at all, without asking a name server.
void keepNameLookupsOnTheLoopback();

// The numeric addresses the resolver gives the name (in any case), in this order, until they are set
// again; none makes it unknown.
void setHostAddresses(const std::string& name, std::vector<std::string> addresses);

}  // namespace testsupport
