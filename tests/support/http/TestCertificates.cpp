#include "tests/support/http/TestCertificates.h"

#include "tests/support/TempHome.h"
#include "tests/support/process/Programs.h"

namespace korvane::testing {

TestCertificates::TestCertificates()
{
    const auto at = [this](const char* name) { return (directory_.path() / name).string(); };
    // P-256 keys: generated in milliseconds, where RSA keys would slow every test down.
    runProgram({"openssl",
                "req",
                "-x509",
                "-newkey",
                "ec",
                "-pkeyopt",
                "ec_paramgen_curve:P-256",
                "-nodes",
                "-keyout",
                at("ca.key"),
                "-out",
                at("ca.pem"),
                "-days",
                "2",
                "-subj",
                "/CN=Korvane Test CA",
                "-addext",
                "basicConstraints=critical,CA:TRUE",
                "-addext",
                "keyUsage=critical,keyCertSign,cRLSign"});
    runProgram({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                at("server.key"), "-out", at("server.csr"), "-subj", "/CN=127.0.0.1"});
    // Clients match the address against the subject alternative names, not the common name.
    writeFile(directory_.path() / "server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                                "basicConstraints=CA:FALSE\n"
                                                "extendedKeyUsage=serverAuth\n");
    runProgram({"openssl", "x509", "-req", "-in", at("server.csr"), "-CA", at("ca.pem"), "-CAkey", at("ca.key"),
                "-CAcreateserial", "-out", at("server.pem"), "-days", "2", "-extfile", at("server.ext")});
}

}  // namespace korvane::testing
