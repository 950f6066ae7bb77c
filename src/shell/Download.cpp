#include "shell/Download.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Diagnostics.h"

namespace {

// The most one read hands over, as the read loops of both downloads are written.
constexpr long kReadPiece = 10240;
// How long one wait for the connection lasts before the message pump runs again.
constexpr int kPumpIntervalMS = 50;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct TMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct TUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using TEasy = std::unique_ptr<CURL, TEasyDeleter>;

// One transfer: the body goes to Sink piece by piece; OnHeaders sees the content length (-1 when
// none was given) once before the first piece. Either may end the transfer with a code of its
// own (EndCode), which Run then returns instead of the transfer's result.
struct TTransfer {
    CURL* Easy = nullptr;
    std::function<bool(const char* data, size_t size)> Sink;
    std::function<bool(int64_t total)> OnHeaders;
    const TDownloadProgress* Progress = nullptr;
    void* UserData = nullptr;
    int64_t Received = 0;
    int64_t Total = -1;
    bool HeadersSeen = false;
    bool Ended = false;
    int EndCode = kDownloadOK;

    void End(int code) {
        Ended = true;
        EndCode = code;
    }

    bool Headers() {
        if (HeadersSeen) {
            return true;
        }
        HeadersSeen = true;
        curl_off_t length = -1;
        if (curl_easy_getinfo(Easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
            length < 0) {
            length = -1;
        }
        Total = length;
        return OnHeaders ? OnHeaders(Total) : true;
    }

    static size_t Write(char* data, size_t size, size_t count, void* self) {
        auto* transfer = static_cast<TTransfer*>(self);
        const size_t bytes = size * count;
        try {
            if (transfer->Ended || !transfer->Headers()) {
                return 0;
            }
            if (!transfer->Sink(data, bytes)) {
                return 0;
            }
            transfer->Received += static_cast<int64_t>(bytes);
            if (transfer->Progress != nullptr && *transfer->Progress) {
                const int64_t total =
                    transfer->Total >= 0 ? transfer->Total : transfer->Received + 1;
                (*transfer->Progress)(transfer->UserData, transfer->Received, total);
            }
            return transfer->Ended ? 0 : bytes;
        } catch (...) {
            transfer->End(kDownloadFailed);
            return 0;
        }
    }
};

TEasy NewEasy(const std::string& URL, const std::string& Agent, const TDownloadLimits& Limits) {
    GlobalInit();
    TEasy easy(curl_easy_init());
    if (!easy) {
        return easy;
    }
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, URL.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, Agent.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // The system's proxy settings apply, except to this machine, which no proxy can reach.
    curl_easy_setopt(e, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // A redirect may only lead to an authenticated channel.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReadPiece);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, std::max(1L, Limits.ConnectSeconds));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, std::max(1L, Limits.StallSeconds));
    if (Limits.TotalSeconds > 0) {
        curl_easy_setopt(e, CURLOPT_TIMEOUT, Limits.TotalSeconds);
    }
    return easy;
}

// Runs the transfer to its end, the message pump between reads. Returns 0, the transfer's own
// end code, -3 when the URL was not reached (no response) or -5 when reading failed.
int Run(TTransfer& transfer, const TMessagePump& Pump, const std::atomic<bool>* Cancel) {
    std::unique_ptr<CURLM, TMultiDeleter> multi(curl_multi_init());
    if (!multi) {
        return kDownloadOpenUrlFailed;
    }
    curl_easy_setopt(transfer.Easy, CURLOPT_WRITEFUNCTION, &TTransfer::Write);
    curl_easy_setopt(transfer.Easy, CURLOPT_WRITEDATA, &transfer);
    if (curl_multi_add_handle(multi.get(), transfer.Easy) != CURLM_OK) {
        return kDownloadOpenUrlFailed;
    }
    CURLcode result = CURLE_OK;
    bool cancelled = false;
    for (;;) {
        if (Pump) {
            Pump();
        }
        if (Cancel != nullptr && Cancel->load()) {
            cancelled = true;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
                if (message->msg == CURLMSG_DONE) {
                    result = message->data.result;
                }
            }
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, kPumpIntervalMS, nullptr);
    }
    curl_multi_remove_handle(multi.get(), transfer.Easy);
    if (cancelled) {
        return kDownloadOK;
    }
    if (transfer.Ended) {
        return transfer.EndCode;
    }
    if (result == CURLE_OK) {
        // A body of no bytes never reaches the sink; its headers are looked at all the same.
        if (!transfer.Headers()) {
            return transfer.EndCode;
        }
        return kDownloadOK;
    }
    long status = 0;
    curl_easy_getinfo(transfer.Easy, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_HTTP_RETURNED_ERROR || status == 0) {
        return kDownloadOpenUrlFailed;
    }
    return kDownloadReadFailed;
}

bool IsLoopbackHost(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (host == "localhost" || host == "[::1]") {
        return true;
    }
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return (ntohl(address.s_addr) >> 24) == 127;
    }
    return false;
}

}  // namespace

bool IsAcceptedDownloadUrl(const std::string& URL) {
    std::unique_ptr<CURLU, TUrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, URL.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    bool accepted = false;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0') {
        const std::string s = scheme;
        accepted = s == "https" || (s == "http" && IsLoopbackHost(host));
    }
    curl_free(scheme);
    curl_free(host);
    return accepted;
}

int DownloadToBuffer(const std::string& URL, void* Buffer, int& Size, const std::string& Agent,
                     const TDownloadProgress& Progress, void* UserData, const TMessagePump& Pump,
                     const TDownloadLimits& Limits) {
    try {
        const int capacity = std::max(Size, 0);
        TEasy easy = NewEasy(URL, Agent, Limits);
        if (!easy) {
            return kDownloadOpenFailed;
        }
        if (Buffer == nullptr || !IsAcceptedDownloadUrl(URL)) {
            return kDownloadOpenUrlFailed;
        }
        Size = 0;
        auto* out = static_cast<char*>(Buffer);
        int filled = 0;
        TTransfer transfer;
        transfer.Easy = easy.get();
        transfer.Progress = &Progress;
        transfer.UserData = UserData;
        transfer.OnHeaders = [&](int64_t total) {
            if (total > capacity) {
                transfer.End(kDownloadBufferTooSmall);
                return false;
            }
            std::memset(out, 0, static_cast<size_t>(capacity));
            return true;
        };
        transfer.Sink = [&](const char* data, size_t size) {
            const size_t room = static_cast<size_t>(capacity - filled);
            const size_t taken = std::min(size, room);
            std::memcpy(out + filled, data, taken);
            filled += static_cast<int>(taken);
            if (filled == capacity) {
                // No room left: what was read is the result.
                transfer.End(kDownloadOK);
            }
            return true;
        };
        const int result = Run(transfer, Pump, nullptr);
        Size = filled;
        return result;
    } catch (...) {
        return kDownloadFailed;
    }
}

namespace {

struct TFileCloser {
    int Fd = -1;
    ~TFileCloser() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

int DownloadFile(const std::string& URL, const std::string& FileName, void* UserData,
                 const std::string& Agent, const std::atomic<bool>* Cancel,
                 const TDownloadProgress& Progress, const TMessagePump& Pump,
                 const TDownloadLimits& Limits) {
    // The file this call created: a failed download removes it, so nothing half-written stays
    // behind (a temporary file system filled up by an endless body included).
    std::string created;
    struct TRemoveCreated {
        std::string& Path;
        ~TRemoveCreated() {
            if (!Path.empty()) {
                ::unlink(Path.c_str());
            }
        }
    } removeCreated{created};
    try {
        struct stat info {};
        if (!FileName.empty() && ::lstat(FileName.c_str(), &info) == 0 &&
            ::unlink(FileName.c_str()) != 0) {
            LogMessage("Error in DownloadFile - error deleting destination file.");
            return kDownloadDeleteFailed;
        }
        TFileCloser file;
        if (!FileName.empty()) {
            // Created afresh and never through a link someone else left at that name.
            file.Fd = ::open(FileName.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (file.Fd < 0) {
                LogMessage("Error in DownloadFile - error creating destination file.");
                return kDownloadCreateFailed;
            }
            created = FileName;
        }
        TEasy easy = NewEasy(URL, Agent, Limits);
        if (!easy) {
            LogMessage("Error in DownloadFile - error calling InternetOpen.");
            return kDownloadOpenFailed;
        }
        if (!IsAcceptedDownloadUrl(URL)) {
            LogMessage("Error in DownloadFile - error calling InternetOpenURL.");
            return kDownloadOpenUrlFailed;
        }
        TTransfer transfer;
        transfer.Easy = easy.get();
        transfer.Progress = &Progress;
        transfer.UserData = UserData;
        const int64_t maxBytes = Limits.MaxBytes;
        transfer.OnHeaders = [&](int64_t total) {
            if (total < 0) {
                LogMessage("Error in DownloadFile - error calling HttpQueryInfo.");
            } else if (maxBytes > 0 && total > maxBytes) {
                transfer.End(kDownloadTooLarge);
                return false;
            }
            return true;
        };
        transfer.Sink = [&](const char* data, size_t size) {
            if (maxBytes > 0 && transfer.Received + static_cast<int64_t>(size) > maxBytes) {
                transfer.End(kDownloadTooLarge);
                return false;
            }
            if (file.Fd >= 0 && !WriteAll(file.Fd, data, size)) {
                transfer.End(kDownloadWriteFailed);
                return false;
            }
            return true;
        };
        const int result = Run(transfer, Pump, Cancel);
        if (result == kDownloadOK) {
            created.clear();
        }
        switch (result) {
            case kDownloadOpenUrlFailed:
                LogMessage("Error in DownloadFile - error calling InternetOpenURL.");
                break;
            case kDownloadReadFailed:
                LogMessage("Error in DownloadFile - error calling InternetReadFile.");
                break;
            case kDownloadWriteFailed:
                LogMessage("Error in DownloadFile - error writing destination file.");
                break;
            case kDownloadTooLarge:
                LogMessageFmt("Error in DownloadFile - the download is larger than %lld bytes.",
                              static_cast<long long>(maxBytes));
                break;
            case kDownloadFailed:
                LogMessage("Error in DownloadFile call...");
                break;
            default:
                break;
        }
        return result;
    } catch (...) {
        LogMessage("Error in DownloadFile call...");
        return kDownloadFailed;
    }
}

std::string NowDateTimeToString() {
    try {
        const TDateTimeParts parts = DecodeDateTime(Now());
        char text[64];
        std::snprintf(text, sizeof text, "_%.4d_%.2d_%.2d__%.2d_%.2d_%.2d", parts.Year,
                      parts.Month, parts.Day, parts.Hour, parts.Minute, parts.Second);
        return text;
    } catch (...) {
        LogMessage("gkt: Error in NowDateTimeToString call...");
        return std::string();
    }
}
