// The web server for native tests: answers what the test sets and records
// where each question went.
#pragma once

#include "interp/web_server.h"

#include <string>
#include <vector>

namespace quillon::test {

class FakeWebServer : public WebServer {
public:
    std::string anonymous_user(const WebServerTarget& target) override
    {
        asked.push_back(target);
        return anonymous_account;
    }

    std::string anonymous_account;
    std::vector<WebServerTarget> asked;
};

} // namespace quillon::test
