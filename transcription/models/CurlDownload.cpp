#include "transcription/models/CurlDownload.h"

#include "transcription/models/CurlUrlHandle.h"
#include "transcription/models/DownloadProgress.h"
#include "transcription/models/TempFile.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>

namespace korvane {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct Transfer {
    CURL* handle = nullptr;
    TempFile* file = nullptr;
    DownloadProgress* progress = nullptr;
    std::int64_t limitBytes = 0;
    DownloadOutcome outcome;
};

bool isSuccessStatus(long status)
{
    return status >= 200 && status <= 299;
}

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(transfer.handle, CURLINFO_RESPONSE_CODE, &status);
    if (!isSuccessStatus(status)) {
        // An error page is no model; stop reading it instead of storing it.
        transfer.outcome.stoppedAtRefusedStatus = true;
        return 0;
    }
    if (transfer.outcome.receivedBytes + static_cast<std::int64_t>(bytes) > transfer.limitBytes) {
        transfer.outcome.receivedBytes += static_cast<std::int64_t>(bytes);
        transfer.outcome.stoppedAtExcessBytes = true;
        transfer.progress->bytesReceived(transfer.outcome.receivedBytes);
        return 0;
    }
    if (const int error = transfer.file->write(data, bytes); error != 0) {
        transfer.outcome.writeError = error;
        return 0;
    }
    transfer.outcome.receivedBytes += static_cast<std::int64_t>(bytes);
    transfer.progress->bytesReceived(transfer.outcome.receivedBytes);
    return bytes;
}

// Failures of reaching the server at all, as opposed to one that answered badly or broke off.
bool failedToReachServer(CURL* easy, CURLcode result)
{
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return true;
    case CURLE_OPERATION_TIMEDOUT: {
        // A connect time-out, not the low-speed abort of a transfer under way.
        curl_off_t connected = 0;
        curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
        return connected == 0;
    }
    default:
        return false;
    }
}

}  // namespace

std::string hostOf(const std::string& url)
{
    initialiseCurlOnce();
    const CurlUrlHandle parsed(curl_url());
    char* host = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
        return {};
    }
    std::string text(host);
    curl_free(host);
    return text;
}

bool isWellFormedUrl(const std::string& url)
{
    initialiseCurlOnce();
    const CurlUrlHandle parsed(curl_url());
    return parsed && curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
}

DownloadOutcome downloadToFile(const std::string& url, const ModelDownloadOptions& options, TempFile& file,
                               std::int64_t limitBytes, DownloadProgress& progress)
{
    initialiseCurlOnce();
    const EasyHandle handle(curl_easy_init());
    if (!handle) {
        DownloadOutcome failed;
        failed.transportError = "cannot create a transfer";
        return failed;
    }
    Transfer transfer;
    transfer.handle = handle.get();
    transfer.file = &file;
    transfer.progress = &progress;
    transfer.limitBytes = limitBytes;

    std::array<char, CURL_ERROR_SIZE> errorText{};
    const char* protocols = options.allowPlainHttp ? "http,https" : "https";
    CURL* easy = handle.get();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, options.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // Signals cannot be used for time-outs in a multi-threaded process.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.lowSpeedTime.count()));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Korvane");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText.data());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);

    const CURLcode result = curl_easy_perform(easy);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &transfer.outcome.httpStatus);
    const bool ownAbort = transfer.outcome.stoppedAtRefusedStatus || transfer.outcome.stoppedAtExcessBytes ||
                          transfer.outcome.writeError != 0;
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && ownAbort)) {
        transfer.outcome.transportError = errorText[0] != '\0' ? errorText.data() : curl_easy_strerror(result);
        transfer.outcome.serverUnreachable = failedToReachServer(easy, result);
    }
    return transfer.outcome;
}

}  // namespace korvane
