#include "notifications/WebhookOutput.h"

#include <curl/curl.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

#include "notifications/SnapshotFile.h"
#include "platform/BuildVersion.h"
#include "platform/Diagnostics.h"
#include "platform/Sync.h"

namespace {

// A picture larger than this is not a snapshot of ours; the event goes without it.
constexpr std::streamoff kMaxPictureBytes = 32 * 1024 * 1024;

#define TANDREL_TEXT(x) #x
#define TANDREL_VERSION_TEXT(a, b, c) TANDREL_TEXT(a) "." TANDREL_TEXT(b) "." TANDREL_TEXT(c)
const char* const kUserAgent = "Tandrel/" TANDREL_VERSION_TEXT(
    TANDREL_VERSION_MAJOR, TANDREL_VERSION_MINOR, TANDREL_VERSION_RELEASE);

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TUrlDeleter {
    void operator()(CURLU* Url) const { curl_url_cleanup(Url); }
};
using TUrl = std::unique_ptr<CURLU, TUrlDeleter>;

// The parsed address, or null when curl cannot read it.
TUrl ParseUrl(const std::string& Url) {
    GlobalInit();
    TUrl url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, Url.c_str(), 0) != CURLUE_OK) {
        return nullptr;
    }
    return url;
}

std::string UrlPart(CURLU* Url, CURLUPart Part, unsigned Flags = 0) {
    char* text = nullptr;
    if (curl_url_get(Url, Part, &text, Flags) != CURLUE_OK || text == nullptr) {
        return {};
    }
    std::string result(text);
    curl_free(text);
    return result;
}

// The parts of the address that may hold secrets and so never go into a log line.
std::vector<std::string> HiddenParts(const std::string& Url) {
    std::vector<std::string> hidden;
    const TUrl url = ParseUrl(Url);
    if (!url) {
        return hidden;
    }
    for (const CURLUPart part :
         {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_QUERY, CURLUPART_FRAGMENT}) {
        std::string text = UrlPart(url.get(), part);
        if (!text.empty()) {
            hidden.push_back(std::move(text));
        }
    }
    const std::string path = UrlPart(url.get(), CURLUPART_PATH);
    if (path.size() > 1) {
        hidden.push_back(path);
    }
    return hidden;
}

size_t DiscardBody(char*, size_t Size, size_t Count, void*) {
    return Size * Count;
}

// Called by curl during a transfer, at least about once a second even while nothing arrives:
// the end of the program breaks the transfer off.
int CheckStopping(void* Stopping, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TEvent*>(Stopping)->WaitFor(0) == WAIT_OBJECT_0 ? 1 : 0;
}

// Failures another try cannot mend: the address, the certificate, the program's end.
bool IsFinal(CURLcode Code) {
    switch (Code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_ABORTED_BY_CALLBACK:
            return true;
        default:
            return false;
    }
}

bool ReadPicture(const std::string& Path, std::string& Picture) {
    std::ifstream in(Path, std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxPictureBytes) {
        return false;
    }
    Picture.resize(static_cast<size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(Picture.data(), size));
}

std::string BaseName(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

}  // namespace

struct TWebhookOutput::TCurl {
    CURL* Easy = nullptr;
    ~TCurl() {
        if (Easy != nullptr) {
            curl_easy_cleanup(Easy);
        }
    }
};

TWebhookOutput::TWebhookOutput(TWebhookSettings Settings)
    : TWebhookOutput(std::move(Settings), TWebhookTiming{}) {}

TWebhookOutput::TWebhookOutput(TWebhookSettings Settings, TWebhookTiming Timing)
    : FSettings(std::move(Settings)),
      FTiming(Timing),
      FOrigin(Origin(FSettings.Url)),
      FUrlError(UrlError(FSettings.Url)) {}

TWebhookOutput::~TWebhookOutput() = default;

std::string TWebhookOutput::Origin(const std::string& Url) {
    const TUrl url = ParseUrl(Url);
    if (!url) {
        return {};
    }
    const std::string scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    const std::string host = UrlPart(url.get(), CURLUPART_HOST);
    const std::string port = UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (scheme.empty() || host.empty()) {
        return {};
    }
    return scheme + "://" + host + (port.empty() ? "" : ":" + port);
}

std::string TWebhookOutput::UrlError(const std::string& Url) {
    if (Url.empty()) {
        return "no webhook address is given";
    }
    const TUrl url = ParseUrl(Url);
    if (!url || UrlPart(url.get(), CURLUPART_HOST).empty()) {
        return "the webhook address is not a valid URL";
    }
    const std::string scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https") {
        return "a webhook address must begin with http:// or https://, not " + scheme + "://";
    }
    return {};
}

std::string TWebhookOutput::Name() const {
    return FOrigin.empty() ? std::string("webhook (no valid address)") : "webhook " + FOrigin;
}

bool TWebhookOutput::Wants(const TNotificationEvent& Event) const {
    return FSettings.Events.empty() || std::find(FSettings.Events.begin(), FSettings.Events.end(),
                                                 Event.Name()) != FSettings.Events.end();
}

std::string TWebhookOutput::Deliver(const TNotificationEvent& Event, TEvent& Stopping) {
    if (!FUrlError.empty()) {
        if (!FRefusalLogged) {
            FRefusalLogged = true;
            LogMessageFmt("Webhook %s cannot be used: %s.",
                          FOrigin.empty() ? "(no valid address)" : FOrigin.c_str(),
                          FUrlError.c_str());
        }
        return FUrlError;
    }
    if (!FCurl) {
        GlobalInit();
        FCurl = std::make_unique<TCurl>();
        FCurl->Easy = curl_easy_init();
    }
    if (FCurl->Easy == nullptr) {
        const std::string reason = "the HTTP library could not be started";
        LogMessageFmt("Webhook %s did not take the event %s (%s); it is dropped.", FOrigin.c_str(),
                      Event.Name().c_str(), reason.c_str());
        return reason;
    }

    // The picture is read once for all tries; a picture that cannot be read is left out.
    std::string picture;
    std::string pictureName;
    if (FSettings.AttachSnapshot && Event.Snapshot() && Event.Snapshot()->WaitWritten(0) &&
        ReadPicture(Event.Snapshot()->Path(), picture)) {
        pictureName = BaseName(Event.Snapshot()->Path());
    }

    std::string reason;
    uint32_t pause = FTiming.FirstPauseMs;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        if (Stopping.WaitFor(0) == WAIT_OBJECT_0) {
            reason = reason.empty() ? "the program is ending" : reason + "; the program is ending";
            break;
        }
        bool retry = false;
        const std::string error = Post(Event, picture, pictureName, Stopping, retry);
        if (error.empty()) {
            return {};
        }
        reason = error;
        if (!retry || attempt == kTries) {
            break;
        }
        if (Stopping.WaitFor(pause) == WAIT_OBJECT_0) {
            reason += "; the program is ending";
            break;
        }
        pause *= 2;
    }
    LogMessageFmt("Webhook %s did not take the event %s (%s); it is dropped.", FOrigin.c_str(),
                  Event.Name().c_str(), reason.c_str());
    return reason;
}

std::string TWebhookOutput::Post(const TNotificationEvent& Event, const std::string& Picture,
                                 const std::string& PictureName, TEvent& Stopping, bool& Retry) {
    CURL* easy = FCurl->Easy;
    // The handle keeps its connections and TLS sessions across the reset.
    curl_easy_reset(easy);
    const std::string json = Event.Json();
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(easy, CURLOPT_URL, FSettings.Url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // The system's proxy settings apply, except to this machine, which no proxy can reach.
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(FTiming.TryTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(FTiming.TryTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &DiscardBody);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CheckStopping);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &Stopping);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);

    curl_slist* headers = nullptr;
    // The body goes at once, without waiting for a "100 Continue" first.
    headers = curl_slist_append(headers, "Expect:");
    if (!FSettings.Authorization.empty()) {
        headers = curl_slist_append(headers, ("Authorization: " + FSettings.Authorization).c_str());
    }
    curl_mime* mime = nullptr;
    if (!PictureName.empty()) {
        mime = curl_mime_init(easy);
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, "event");
        curl_mime_type(part, "application/json");
        curl_mime_data(part, json.data(), json.size());
        part = curl_mime_addpart(mime);
        curl_mime_name(part, "snapshot");
        curl_mime_type(part, "image/jpeg");
        curl_mime_filename(part, PictureName.c_str());
        curl_mime_data(part, Picture.data(), Picture.size());
        curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime);
    } else {
        headers = curl_slist_append(headers, "Content-Type: application/json");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(json.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, json.data());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    // Nothing of this try may outlive it inside the handle.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_MIMEPOST, nullptr);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);
    curl_mime_free(mime);

    if (code != CURLE_OK) {
        Retry = !IsFinal(code);
        if (code == CURLE_ABORTED_BY_CALLBACK) {
            return "the program is ending";
        }
        std::string text = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
        // curl's own text names the host at most; should it ever quote more of the address,
        // its general text is given instead.
        for (const std::string& hidden : HiddenParts(FSettings.Url)) {
            if (text.find(hidden) != std::string::npos) {
                text = curl_easy_strerror(code);
                break;
            }
        }
        return text;
    }
    if (status >= 200 && status < 300) {
        return {};
    }
    if (status >= 300 && status < 400) {
        Retry = false;
        return "HTTP status " + std::to_string(status) + ", a redirect, which is not followed";
    }
    Retry = !(status >= 400 && status < 500 && status != 408 && status != 429);
    return "HTTP status " + std::to_string(status);
}

void TWebhookOutput::Close() {
    FCurl.reset();
}
