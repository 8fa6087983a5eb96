// Where the Facebook client sends tokens: configured origins, and plain http only on the loopback.
#include <gtest/gtest.h>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "FacebookPeerSuite.h"
#include "support/CaseName.h"
#include "support/LogCapture.h"

namespace {

struct Origin {
  std::string name;
  std::string text;
  std::optional<std::string> accepted;
};

class FBConfigurationOriginTest : public ::testing::TestWithParam<Origin> {};

TEST_P(FBConfigurationOriginTest, AcceptsHttpsAndLoopbackHttpOriginsOnly) {
  testsupport::LogCapture log;
  EXPECT_EQ(FBConfiguration::checkedOrigin("SETTING", GetParam().text), GetParam().accepted);
  EXPECT_EQ(log.contains("SETTING"), !GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Origins, FBConfigurationOriginTest,
    ::testing::Values(Origin{"https_anywhere", "https://graph.example", "https://graph.example"},
                      Origin{"https_with_port_and_slash", "https://graph.example:8443/",
                             "https://graph.example:8443"},
                      Origin{"http_fake_host", "http://fb.localhost:8091", "http://fb.localhost:8091"},
                      Origin{"http_localhost", "http://LOCALHOST", "http://LOCALHOST"},
                      Origin{"http_loopback_ip", "http://127.0.0.1:9", "http://127.0.0.1:9"},
                      Origin{"http_loopback_range", "http://127.8.9.10", "http://127.8.9.10"},
                      Origin{"http_loopback_ipv6", "http://[::1]:80", "http://[::1]:80"},
                      Origin{"http_elsewhere", "http://graph.example", std::nullopt},
                      Origin{"http_lookalike_host", "http://localhost.example", std::nullopt},
                      Origin{"http_lookalike_ip", "http://127.0.0.1.example", std::nullopt},
                      Origin{"http_private_address", "http://10.0.0.1", std::nullopt},
                      Origin{"other_scheme", "ftp://fb.localhost", std::nullopt},
                      Origin{"with_path", "https://graph.example/v1", std::nullopt},
                      Origin{"with_credentials", "https://u:p@graph.example", std::nullopt},
                      Origin{"not_a_url", "graph example", std::nullopt}),
    testsupport::CaseName());

TEST(FBConfigurationTest, TheEnvironmentOverridesTheBuildSettings) {
  testsupport::EnvironmentOverride environment;
  environment.set("VCC_FB_GRAPH_ORIGIN", std::nullopt);
  environment.set("VCC_FB_APP_ID", std::nullopt);
  EXPECT_EQ(FBConfiguration::graphOrigin(), "http://fb.localhost:8091");
  EXPECT_EQ(FBConfiguration::appId(), "100000000000001");
  environment.set("VCC_FB_GRAPH_ORIGIN", "https://graph.example");
  environment.set("VCC_FB_APP_ID", "42");
  EXPECT_EQ(FBConfiguration::graphOrigin(), "https://graph.example");
  EXPECT_EQ(FBConfiguration::appId(), "42");
  testsupport::LogCapture log;
  environment.set("VCC_FB_REST_ORIGIN", "http://rest.example");
  EXPECT_EQ(FBConfiguration::restOrigin(), std::nullopt);
}

}  // namespace
