#pragma once

#include "tests/support/TemporaryDirectory.h"

#include <filesystem>

namespace korvane::testing {

// A throw-away certificate authority and a server certificate it signed for 127.0.0.1 and localhost,
// made with the openssl command when the object is built (in a fresh temporary directory, removed
// afterwards). A client that trusts caCertificate() accepts a LoopbackHttpServer started with the
// server pair; any other client refuses it, like a real impostor. Throws when openssl fails.
class TestCertificates {
public:
    TestCertificates();

    std::filesystem::path caCertificate() const { return directory_.path() / "ca.pem"; }
    std::filesystem::path serverCertificate() const { return directory_.path() / "server.pem"; }
    std::filesystem::path serverKey() const { return directory_.path() / "server.key"; }

private:
    TemporaryDirectory directory_{"korvane-tls"};
};

}  // namespace korvane::testing
