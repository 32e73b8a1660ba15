#pragma once

#include <curl/curl.h>

#include <memory>

namespace korvane {

// Owns a parsed libcurl URL (curl_url()) and frees it with curl_url_cleanup().
struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrlHandle = std::unique_ptr<CURLU, CurlUrlDeleter>;

}  // namespace korvane
