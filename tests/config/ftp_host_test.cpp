#include <gtest/gtest.h>

#include "config/settings_rules.h"

namespace quendrel {
namespace {

void ExpectEndpoint(const std::string& text, const std::string& host, int port) {
    const auto endpoint = ParseFtpHost(text);
    ASSERT_TRUE(endpoint.has_value()) << text;
    EXPECT_EQ(endpoint->host, host) << text;
    EXPECT_EQ(endpoint->port, port) << text;
}

TEST(ParseFtpHost, AcceptsHostsWithAndWithoutPort) {
    ExpectEndpoint("ftp.example.com", "ftp.example.com", 21);
    ExpectEndpoint("ftp.example.com:2121", "ftp.example.com", 2121);
    ExpectEndpoint("127.0.0.1:65535", "127.0.0.1", 65535);
    ExpectEndpoint("127.0.0.1:1", "127.0.0.1", 1);
    ExpectEndpoint("[::1]:2121", "::1", 2121);
    ExpectEndpoint("[fe80::1:2]", "fe80::1:2", 21);
    ExpectEndpoint("::1", "::1", 21);  // bare IPv6 address: no port in it
    ExpectEndpoint("2001:db8::7", "2001:db8::7", 21);
}

TEST(ParseFtpHost, RefusesWhatNamesNoUsableHostOrPort) {
    for (const char* text : {"", "host:", "host:0", "host:65536", "host:21x", "host:-1", ":21", "[::1]:",
                             "[::1]x", "[::1", "[]:21", "[::1]:99999", "host:123456",
                             "host:21:", "ftp.example.com:21:21", "[host]:21", "[[::1]", "x[::1]:1]"}) {
        EXPECT_FALSE(ParseFtpHost(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace quendrel
