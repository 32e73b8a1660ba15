#pragma once

#include <string>

namespace korvane {

// How a model file may be fetched from an address given in a model catalogue file: over HTTPS from
// anywhere, over plain HTTP only from this machine (a local server, as the tests run), else not at
// all.
enum class ModelUrlKind { https, loopbackHttp, refused };

// Loopback means localhost, 127.0.0.0/8 or ::1. A malformed address, any other scheme and
// credentials in the address are refused.
ModelUrlKind classifyModelUrl(const std::string& url);

}  // namespace korvane
