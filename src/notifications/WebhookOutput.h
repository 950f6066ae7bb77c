#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "notifications/EventOutput.h"
#include "notifications/NotificationSettings.h"

// How long a webhook waits for the receiver and between tries. The defaults are the program's;
// tests shorten them.
struct TWebhookTiming {
    // One try, connecting included.
    uint32_t TryTimeoutMs = 5000;
    // The pause before the second try; the one before the third is twice as long.
    uint32_t FirstPauseMs = 1000;
};

// Sends each event to a web address as an HTTP POST: the event's JSON as application/json, or,
// with AttachSnapshot and an event whose picture was written, multipart/form-data with a part
// "event" (the JSON) and a part "snapshot" (the JPEG under its file name).
//
// A 2xx answer is success. Anything else is tried three times in all (pauses of FirstPauseMs and
// twice that), except answers that another try cannot change: a 4xx other than 408 and 429, a
// redirect (redirects are not followed: a POST is never sent on to another address), a refused
// certificate, an address curl cannot use. After the last failed try the event is dropped with
// one log line. The URL's path, query and user info never reach the log (webhook addresses often
// carry secret tokens there), nor does the Authorization value.
//
// https certificates and host names are verified against the system's authorities. Only http and
// https addresses are taken; any other is refused at each Deliver with UrlError's text (said
// once in the log).
//
// Threads: Deliver runs on one thread at a time (the output's queue thread, or the worker of the
// dialog's "Send test event", which calls Deliver without Open); the curl handle and
// FRefusalLogged belong to that thread. Name and Wants read only fields fixed at construction,
// so any thread may call them.
class TWebhookOutput : public TEventOutput {
public:
    static constexpr int kTries = 3;

    explicit TWebhookOutput(TWebhookSettings Settings);
    TWebhookOutput(TWebhookSettings Settings, TWebhookTiming Timing);
    ~TWebhookOutput() override;
    TWebhookOutput(const TWebhookOutput&) = delete;
    TWebhookOutput& operator=(const TWebhookOutput&) = delete;

    // "webhook https://hooks.example.org:443": the scheme, host and port only.
    std::string Name() const override;
    bool Wants(const TNotificationEvent& Event) const override;
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override;
    void Close() override;

    // Why Url cannot be used as a webhook (not http or https, not an address at all); empty
    // when it can.
    static std::string UrlError(const std::string& Url);
    // "https://hooks.example.org:443" (the default port filled in), or empty when Url is not an
    // address.
    static std::string Origin(const std::string& Url);

private:
    struct TCurl;
    // One POST. Returns the empty text on a 2xx answer, otherwise the reason; Retry says
    // whether another try could help.
    std::string Post(const TNotificationEvent& Event, const std::string& Picture,
                     const std::string& PictureName, TEvent& Stopping, bool& Retry);

    const TWebhookSettings FSettings;
    const TWebhookTiming FTiming;
    const std::string FOrigin;     // scheme://host:port, what the log shows of the address
    const std::string FUrlError;   // UrlError(FSettings.Url)
    std::unique_ptr<TCurl> FCurl;  // made at the first Deliver, reused after
    bool FRefusalLogged = false;
};
