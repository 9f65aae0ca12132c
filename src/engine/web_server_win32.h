// The local web server on Windows: the IIS 7 configuration library the engine
// carries (written into the support folder on its first use in the process,
// loaded by full path for each call, deleted when the engine ends), or the
// administration objects of older servers through ADSI ("IISNamespace").
#pragma once

#include "engine/embedded_programs.h"
#include "interp/web_server.h"

namespace quillon {

class WindowsWebServer : public WebServer {
public:
    std::string anonymous_user(const WebServerTarget& target) override;

private:
    // The written library's path, or the empty text when it cannot be written.
    std::string library_path(const std::string& support_folder);

    IisWrapperFile m_library;
};

} // namespace quillon
