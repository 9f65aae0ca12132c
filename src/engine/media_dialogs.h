// The questions of a failed web media fetch: retry through a proxy
// (TqvoProxy, while the HTTP transport is in use), resume or start a new copy
// (TqvoProxyEx, while the light-weight downloader is in use), download again
// or extract again (TqvoExtract). Built into the engine; every text comes from
// the engine's message table. The callers never show them in a silent run.
#pragma once

#include "base/error.h"
#include "dialogs/page_roles.h"
#include "engine/messages.h"
#include "media/web_media.h"

#include <windows.h>

#include <optional>
#include <string>

namespace quillon {

using media::ExtractChoice;
using media::ProxySettings;
using media::ResumeChoice;

// What the dialogs need around them: the texts, the window they are centred
// over (and disable while they are up), the taskbar's attention.
struct MediaDialogHost {
    const EngineMessages& messages;
    HWND owner = nullptr;
    PageShell* shell = nullptr;
    // The unanswered dialogs with a timer answer by themselves after this long.
    unsigned timeout_ms = 60000;
};

// Yes: the proxy values as the user left them; No (or Esc): nothing.
Result<std::optional<ProxySettings>> AskRetryThroughProxy(const MediaDialogHost& host, const ProxySettings& current);
// OK (or the time-out): the checked choice; Cancel or closing the window: nothing.
Result<std::optional<ResumeChoice>> AskResumeOrNewCopy(const MediaDialogHost& host);
// OK: the checked choice; the time-out: always a fresh download; Cancel or closing: nothing.
Result<std::optional<ExtractChoice>> AskDownloadOrExtract(const MediaDialogHost& host);

} // namespace quillon
