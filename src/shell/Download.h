#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Downloads over HTTP(S) on the calling thread (libcurl). Between reads the caller's message
// pump runs, so a window stays responsive while a download waits.

// Told the bytes received so far and the total (bytes so far + 1 when the server gave no length).
using TDownloadProgress = std::function<void(void* UserData, int64_t Received, int64_t Total)>;
// Handles the calling thread's pending messages (the main window passes processEvents).
using TMessagePump = std::function<void()>;

// How long a download may wait. A host that accepts the connection and then sends nothing ends
// the download after StallSeconds; the whole transfer ends after TotalSeconds (0: no bound).
// DownloadFile stores at most MaxBytes (0: no bound); a larger body ends it with -10.
struct TDownloadLimits {
    long ConnectSeconds = 10;
    long StallSeconds = 15;
    long TotalSeconds = 0;
    int64_t MaxBytes = 0;
};

// The updater package is run with administrator rights, so only an authenticated channel is
// accepted: https (certificates verified), or plain http to this very machine (127.0.0.0/8,
// localhost, ::1).
bool IsAcceptedDownloadUrl(const std::string& URL);

// Result codes of both downloads.
constexpr int kDownloadOK = 0;
constexpr int kDownloadFailed = -1;            // a failure raised inside
constexpr int kDownloadOpenFailed = -2;        // no internet handle
constexpr int kDownloadOpenUrlFailed = -3;     // URL refused, not reached or HTTP error
constexpr int kDownloadBufferTooSmall = -4;    // content length above the buffer's size
constexpr int kDownloadReadFailed = -5;        // a read failed (also a stalled transfer)
constexpr int kDownloadDeleteFailed = -6;      // the old destination file cannot be deleted
constexpr int kDownloadCreateFailed = -7;      // the destination file cannot be created
constexpr int kDownloadAllocFailed = -8;       // no read buffer
constexpr int kDownloadWriteFailed = -9;       // a short write to the destination file
constexpr int kDownloadTooLarge = -10;         // the body is larger than the limit allows

// Fills Buffer (Size bytes, zeroed first) with the body of URL; Size becomes the bytes read.
// A content length above Size returns -4 before any of the body is read. Logs nothing.
int DownloadToBuffer(const std::string& URL, void* Buffer, int& Size, const std::string& Agent,
                     const TDownloadProgress& Progress, void* UserData,
                     const TMessagePump& Pump = {}, const TDownloadLimits& Limits = {});

// Stores the body of URL in FileName (an empty FileName downloads without storing). Setting
// *Cancel ends the download early with 0. Each failure logs its one line and removes the file it
// had begun, so no partial download is left behind. A content length above Limits.MaxBytes
// fails before any of the body is read.
int DownloadFile(const std::string& URL, const std::string& FileName, void* UserData,
                 const std::string& Agent, const std::atomic<bool>* Cancel,
                 const TDownloadProgress& Progress, const TMessagePump& Pump = {},
                 const TDownloadLimits& Limits = {});

// The current local time as "_yyyy_mm_dd__hh_nn_ss"; "" (and a log line) on failure.
std::string NowDateTimeToString();
