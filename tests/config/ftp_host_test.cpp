#include <gtest/gtest.h>

#include "config/settings_rules.h"

namespace quendrel {
namespace {

TEST(FtpHostRule, TakesHostNamesIpv4AndBracketedIpv6WithAnOptionalPort) {
    struct Case {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
    };
    const Case cases[] = {
        {"ftp.example.com", "ftp.example.com", 21},
        {"ftp.example.com:2121", "ftp.example.com", 2121},
        {"ftp-1.example.com", "ftp-1.example.com", 21},
        {"SERVER1", "SERVER1", 21},
        {"127.0.0.1:65535", "127.0.0.1", 65535},
        {"127.0.0.1:1", "127.0.0.1", 1},
        {"[::1]:2121", "::1", 2121},
        {"[fe80::1:2]", "fe80::1:2", 21},
        {"[::ffff:192.0.2.1]:21", "::ffff:192.0.2.1", 21},
        // The typos an IT person makes: refused, never taken for something else.
        {"127.0.0,1:2121", nullptr, 0},
        {"127.0.0.1 2121", nullptr, 0},
        {"ftp.example.com,2121", nullptr, 0},
        {"ftp.example.com/incoming", nullptr, 0},
        {"user@ftp.example.com", nullptr, 0},
        {"127.0.0.1:2121:", nullptr, 0},
        {"127.0.0.1::2121", nullptr, 0},
        {"::1", nullptr, 0},  // IPv6 without brackets
        {"2001:db8::7", nullptr, 0},
        {"\\\\server", nullptr, 0},
        {"ftp..example.com", nullptr, 0},
        {" ftp.example.com", nullptr, 0},
        {"ftp.example.com.", nullptr, 0},
        {"127.0.0", nullptr, 0},
        {"256.1.1.1", nullptr, 0},
        {"", nullptr, 0},
        {"host:", nullptr, 0},
        {"host:0", nullptr, 0},
        {"host:65536", nullptr, 0},
        {"host:21x", nullptr, 0},
        {":21", nullptr, 0},
        {"[::1]:", nullptr, 0},
        {"[::1]x", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[]:21", nullptr, 0},
        {"[host]:21", nullptr, 0},
        {"host\r\n", nullptr, 0},
    };
    for (const Case& c : cases) {
        const auto endpoint = ParseFtpHost(c.text);
        const Status checked = CheckFtpHost(c.text);
        if (!c.host) {
            EXPECT_FALSE(endpoint.has_value()) << c.text;
            EXPECT_NE(checked.description.find(std::string("\"") + c.text + "\""), std::string::npos) << c.text;
            continue;
        }
        ASSERT_TRUE(endpoint.has_value()) << c.text;
        EXPECT_EQ(endpoint->host, c.host) << c.text;
        EXPECT_EQ(endpoint->port, c.port) << c.text;
        EXPECT_TRUE(checked.ok()) << c.text;
    }
    EXPECT_NE(CheckFtpHost("ftp.example.com/incoming").description.find("remote path"), std::string::npos);
}

}  // namespace
}  // namespace quendrel
