#include "transcription/models/ModelStore.h"
#include "base/logging/Logger.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TempHome.h"
#include "tests/support/http/LoopbackHttpServer.h"
#include "tests/support/models/GeneratedModels.h"
#include "transcription/models/ModelCatalogueFile.h"
#include "transcription/models/ModelFailureCause.h"
#include "transcription/models/ModelFileCheck.h"
#include "transcription/models/TempFile.h"
#include "transcription/models/TranscriberError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace korvane {
namespace {

using korvane::testing::HttpResponse;
using korvane::testing::LoopbackHttpServer;
using korvane::testing::ok;
using korvane::testing::readFile;
using korvane::testing::TempHome;
using korvane::testing::withStatus;
using korvane::testing::writeFile;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// Deterministic bytes standing in for a model file; large enough for many progress steps.
std::string modelBytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    unsigned state = seed;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string digestOf(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int index = 0; index < length; ++index) {
        std::snprintf(pair, sizeof pair, "%02x", digest[index]);
        hex += pair;
    }
    return hex;
}

std::vector<std::string> entriesIn(const std::filesystem::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TranscriberError caughtError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TranscriberError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a TranscriberError";
    return TranscriberError::modelNotLoaded();
}

class ModelStoreTest : public ::testing::Test {
protected:
    static constexpr const char* kFileName = "ggml-small.bin";
    static constexpr const char* kServedPath = "/resolve/5359861c739e955e79d9a303bcbc70fb988958b1/ggml-small.bin";

    const std::string good = modelBytes(300'000, 1);
    TempHome home;
    const std::filesystem::path directory = home.path() / "models";
    const std::filesystem::path destination = directory / kFileName;
    LoopbackHttpServer server;
    std::vector<int> progress;

    ModelDownloadOptions loopbackOptions(std::chrono::seconds lowSpeedTime = std::chrono::seconds(60))
    {
        ModelDownloadOptions options;
        options.baseUrl = server.baseUrl();
        options.allowPlainHttp = true;
        options.lowSpeedTime = lowSpeedTime;
        return options;
    }

    ModelDefinitions definitions() const
    {
        return {{"small", {kFileName, static_cast<std::int64_t>(good.size()), digestOf(good)}},
                {"base", {"ggml-base.bin", 3, digestOf("abc")}}};
    }

    ModelStore store(ModelDownloadOptions options) const { return ModelStore(definitions(), directory, options); }
    ModelStore store() { return store(loopbackOptions()); }

    ModelStore::ProgressCallback recordProgress()
    {
        return [this](int percent) { progress.push_back(percent); };
    }

    // The debug log's messages so far, without their time stamps (logging is on in this fixture).
    std::vector<std::string> loggedMessages() const
    {
        std::vector<std::string> found;
        std::istringstream lines(readFile(Logger::logFilePath()));
        for (std::string line; std::getline(lines, line);) {
            found.push_back(line.substr(line.find(' ') + 1));
        }
        return found;
    }

    void SetUp() override { Logger::setEnabled(true); }
    void TearDown() override { Logger::setEnabled(false); }

    void expectWellFormedProgress() const
    {
        ASSERT_FALSE(progress.empty());
        EXPECT_LE(progress.size(), 101u);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end()), progress.end()) << "a percentage twice";
        EXPECT_GE(progress.front(), 0);
        EXPECT_LE(progress.back(), 100);
    }
};

TEST_F(ModelStoreTest, ValidFileIsUsedWithoutNetworkOrProgress)
{
    writeFile(destination, good);
    EXPECT_EQ(store().ensureModel("small", recordProgress()), destination);
    EXPECT_THAT(server.requestedPaths(), IsEmpty());
    EXPECT_THAT(progress, IsEmpty());
    EXPECT_EQ(readFile(destination), good);
}

TEST_F(ModelStoreTest, MissingOrDamagedFileIsDownloadedAgain)
{
    std::string wrongDigest = good;
    wrongDigest[1234] ^= 0x01;
    const std::vector<std::pair<const char*, std::optional<std::string>>> starts{
        {"absent", std::nullopt},
        {"one byte short", good.substr(0, good.size() - 1)},
        {"right size, wrong digest", wrongDigest},
    };
    server.serve(kServedPath, ok(good));
    for (const auto& [label, existing] : starts) {
        SCOPED_TRACE(label);
        std::filesystem::remove(destination);
        if (existing) {
            writeFile(destination, *existing);
        }
        progress.clear();
        EXPECT_EQ(store().ensureModel("small", recordProgress()), destination);
        EXPECT_EQ(readFile(destination), good);
        expectWellFormedProgress();
        EXPECT_EQ(progress.back(), 100);
        EXPECT_THAT(entriesIn(directory), ElementsAre(kFileName));
    }
    EXPECT_EQ(server.requestCount(kServedPath), 3u);
}

TEST_F(ModelStoreTest, LogsWhyAFileIsReplacedAndWhatWasFetched)
{
    server.serve(kServedPath, ok(good));
    writeFile(destination, good.substr(1));
    store().ensureModel("small");
    std::string corrupt = good;
    corrupt[7] ^= 0x40;
    writeFile(destination, corrupt);
    store().ensureModel("small");
    const std::string url = server.baseUrl() + std::string(kServedPath).substr(1);
    const std::string downloaded = "Model downloaded: " + destination.string() + " (300000 bytes)";
    EXPECT_THAT(loggedMessages(),
                ElementsAre("Model size mismatch for ggml-small.bin: expected 300000, got 299999",
                            "Existing model file failed validation -- redownloading", "Downloading model: " + url,
                            downloaded, "Model checksum mismatch for ggml-small.bin",
                            "Existing model file failed validation -- redownloading", "Downloading model: " + url,
                            downloaded));
}

TEST_F(ModelStoreTest, UnknownNameIsFetchedAsSmallButNotLookedUpOrDeleted)
{
    server.serve(kServedPath, ok(good));
    EXPECT_EQ(store().ensureModel("", recordProgress()), destination);
    EXPECT_TRUE(store().isDownloaded("small"));
    EXPECT_FALSE(store().isDownloaded(""));
    EXPECT_EQ(caughtError([&] { store().deleteModelFile(""); }).description(), "Unknown model: ");
    EXPECT_TRUE(std::filesystem::exists(destination));
    EXPECT_EQ(store().expectedBytes("small"), static_cast<std::int64_t>(good.size()));
    EXPECT_EQ(store().expectedBytes("large"), 0);

    // A catalogue that lacks the chosen model cannot fetch it.
    const ModelStore baseOnly({{"base", definitions().at("base")}}, directory, loopbackOptions());
    EXPECT_STREQ(caughtError([&] { baseOnly.ensureModel("large"); }).what(), "unknownModel(small)");
    EXPECT_STREQ(caughtError([&] { baseOnly.ensureModel("medium"); }).what(), "unknownModel(medium)");
}

TEST_F(ModelStoreTest, RefusedDownloadsLeaveNoFileBehind)
{
    struct Case {
        const char* label;
        HttpResponse response;
        const char* expectedWhat;
    };
    std::string wrongDigest = good;
    wrongDigest[0] ^= 0x10;
    const std::string size = std::to_string(good.size());
    const std::vector<Case> cases{
        {"not found", withStatus(404, "no such file"), "downloadFailed(HTTP 404)"},
        {"server error, empty", withStatus(500), "downloadFailed(HTTP 500)"},
        {"right size, wrong digest", ok(wrongDigest), "checksumMismatch(ggml-small.bin)"},
        {"one byte short", ok(good.substr(1)),
         "downloadFailed(size mismatch for ggml-small.bin: expected 300000, got 299999)"},
        {"connection closed early", ok(good.substr(0, 1000)).closingConnection(),
         "downloadFailed(size mismatch for ggml-small.bin: expected 300000, got 1000)"},
    };
    for (const auto& [label, response, expectedWhat] : cases) {
        SCOPED_TRACE(label);
        // A damaged copy is removed before the new download, whatever becomes of it.
        writeFile(destination, "damaged");
        server.serve(kServedPath, response);
        progress.clear();
        const auto error = caughtError([&] { store().ensureModel("small", recordProgress()); });
        EXPECT_STREQ(error.what(), expectedWhat);
        EXPECT_THAT(entriesIn(directory), IsEmpty());
        EXPECT_FALSE(store().isDownloaded("small"));
    }
}

TEST_F(ModelStoreTest, ErrorPageGivesTheStatusInItsDescription)
{
    server.serve(kServedPath, withStatus(404, std::string(100'000, 'x')));
    const auto error = caughtError([&] { store().ensureModel("small", recordProgress()); });
    EXPECT_EQ(error.description(), "Model download failed: HTTP 404");
    // The error page is neither stored nor counted as progress.
    EXPECT_THAT(progress, IsEmpty());
    EXPECT_THAT(entriesIn(directory), IsEmpty());
}

TEST_F(ModelStoreTest, SurplusBytesAreRefusedAndProgressStopsAtOneHundred)
{
    for (const bool closeDelimited : {false, true}) {
        SCOPED_TRACE(closeDelimited ? "without length" : "with length");
        const HttpResponse surplus = ok(good + modelBytes(200'000, 2));
        server.serve(kServedPath, closeDelimited ? surplus.closingConnection() : surplus);
        progress.clear();
        const auto error = caughtError([&] { store().ensureModel("small", recordProgress()); });
        EXPECT_EQ(error.kind(), TranscriberError::Kind::downloadFailed);
        EXPECT_THAT(error.payload(), HasSubstr("size mismatch for ggml-small.bin: expected 300000, got "));
        expectWellFormedProgress();
        EXPECT_EQ(progress.back(), 100);
        EXPECT_THAT(entriesIn(directory), IsEmpty());
    }
}

TEST_F(ModelStoreTest, StalledTransferIsAbortedByTheLowSpeedLimit)
{
    const std::vector<std::pair<const char*, HttpResponse>> stalls{
        // libcurl averages the speed over a few seconds, so a short burst keeps the test quick.
        {"stalls midway", ok(good).stallingAfter(600)},
        {"never answers", ok(good).stallingBeforeResponse()},
    };
    for (const auto& [label, response] : stalls) {
        SCOPED_TRACE(label);
        server.serve(kServedPath, response);
        const auto slowStore = store(loopbackOptions(std::chrono::seconds(1)));
        const auto error = caughtError([&] { slowStore.ensureModel("small"); });
        EXPECT_EQ(error.kind(), TranscriberError::Kind::downloadFailed);
        EXPECT_FALSE(error.payload().empty());
        EXPECT_THAT(entriesIn(directory), IsEmpty());
    }
}

TEST_F(ModelStoreTest, RedirectsAreFollowed)
{
    server.redirect(kServedPath, "/cdn/blob");
    server.redirect("/cdn/blob", server.baseUrl() + "cdn/final", 307);
    server.serve("/cdn/final", ok(good));
    EXPECT_EQ(store().ensureModel("small", recordProgress()), destination);
    EXPECT_EQ(readFile(destination), good);
    EXPECT_THAT(server.requestedPaths(), ElementsAre(kServedPath, "/cdn/blob", "/cdn/final"));
}

TEST_F(ModelStoreTest, PlainHttpIsRefusedUnlessExplicitlyAllowed)
{
    server.serve(kServedPath, ok(good));
    ModelDownloadOptions options = loopbackOptions();
    options.allowPlainHttp = false;
    const auto error = caughtError([&] { store(options).ensureModel("small"); });
    EXPECT_EQ(error.kind(), TranscriberError::Kind::downloadFailed);
    EXPECT_THAT(server.requestedPaths(), IsEmpty());
    EXPECT_THAT(entriesIn(directory), IsEmpty());
}

TEST_F(ModelStoreTest, MalformedRepositoryAddressIsReported)
{
    ModelDownloadOptions options = loopbackOptions();
    options.baseUrl = "not a url/";
    const auto error = caughtError([&] { store(options).ensureModel("small"); });
    EXPECT_EQ(error.kind(), TranscriberError::Kind::invalidURL);
    EXPECT_EQ(error.payload(), "not a url/resolve/5359861c739e955e79d9a303bcbc70fb988958b1/ggml-small.bin");
}

TEST_F(ModelStoreTest, PresenceChecksTheSizeOnlyAndDeletionIsIdempotent)
{
    EXPECT_FALSE(store().isDownloaded("small"));
    EXPECT_NO_THROW(store().deleteModelFile("small"));
    EXPECT_THAT(loggedMessages(), IsEmpty());

    writeFile(destination, std::string(good.size(), 'z'));
    EXPECT_TRUE(store().isDownloaded("small"));
    writeFile(directory / "ggml-base.bin", "abcd");
    EXPECT_FALSE(store().isDownloaded("base"));

    store().deleteModelFile("small");
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_THAT(loggedMessages(), ElementsAre("Deleted model file: ggml-small.bin"));
    EXPECT_TRUE(std::filesystem::exists(directory / "ggml-base.bin"));

    // The other directory argument is honoured.
    const auto elsewhere = home.path() / "elsewhere";
    writeFile(elsewhere / "ggml-base.bin", "abc");
    EXPECT_TRUE(store().isDownloaded("base", elsewhere));
    store().deleteModelFile("base", elsewhere);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "ggml-base.bin"));
}

TEST_F(ModelStoreTest, FailedDeletionIsReportedAndKeepsTheFile)
{
    // A non-empty directory where the file should be cannot be removed as a file.
    writeFile(destination / "inner", "x");
    EXPECT_THROW(store().deleteModelFile("small"), std::filesystem::filesystem_error);
    EXPECT_TRUE(std::filesystem::exists(destination / "inner"));
}

TEST_F(ModelStoreTest, PartialDownloadsLeftBehindAreRemovedAtStartUp)
{
    const std::vector<std::string> unrelated{
        "ggml-small.bin.Ab3dEf.part",      // not hidden
        ".ggml-small.bin.part",            // no unique part
        ".ggml-small.bin.Ab3d-f.part",     // not a unique part mkostemps makes
        ".ggml-small.bin.Ab3dEf.partial",  // other suffix
        ".ggml-large.bin.Ab3dEf.part",     // not a model of this catalogue
        "notes.txt",
    };
    for (const auto& name : unrelated) {
        writeFile(directory / name, "keep");
    }
    // Named like ours but not regular files, so not written by a download.
    std::filesystem::create_symlink("notes.txt", directory / ".ggml-small.bin.Link12.part");
    std::filesystem::create_directory(directory / ".ggml-base.bin.Dir123.part");
    writeFile(directory / ".ggml-small.bin.Ab3dEf.part", "half a model");
    writeFile(directory / ".ggml-base.bin.x9Y8z7.part", "a");
    const TempFile live(directory, kFileName);  // a download running on another thread

    store();

    std::vector<std::string> kept = unrelated;
    kept.insert(kept.end(),
                {".ggml-small.bin.Link12.part", ".ggml-base.bin.Dir123.part", live.path().filename().string()});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(entriesIn(directory), kept);
    EXPECT_EQ(readFile(directory / "notes.txt"), "keep");
    EXPECT_THAT(loggedMessages(), UnorderedElementsAre("Removed stale partial download .ggml-small.bin.Ab3dEf.part",
                                                       "Removed stale partial download .ggml-base.bin.x9Y8z7.part"));
}

TEST_F(ModelStoreTest, DownloadFirstRemovesPartialFilesLeftSinceStartUp)
{
    server.serve(kServedPath, ok(good));
    const ModelStore started = store();
    writeFile(directory / ".ggml-small.bin.Ab3dEf.part", "left by a process killed meanwhile");
    const TempFile live(directory, "ggml-base.bin");

    EXPECT_EQ(started.ensureModel("small"), destination);

    EXPECT_THAT(entriesIn(directory), ElementsAre(live.path().filename().string(), kFileName));
    EXPECT_THAT(loggedMessages(), Contains("Removed stale partial download .ggml-small.bin.Ab3dEf.part"));
}

TEST_F(ModelStoreTest, UnusableDirectoryIsReportedAsAFileSystemError)
{
    // A plain file where the models directory should be: nothing can be created inside it.
    writeFile(home.path() / "occupied", "x");
    server.serve(kServedPath, ok(good));
    const ModelStore blocked(definitions(), home.path() / "occupied", loopbackOptions());
    EXPECT_THROW(blocked.ensureModel("small"), std::filesystem::filesystem_error);
    EXPECT_FALSE(blocked.isDownloaded("small"));
    EXPECT_EQ(readFile(home.path() / "occupied"), "x");
}

TEST_F(ModelStoreTest, AWriteThatFailsPartWayEndsTheDownloadAndLeavesNoFile)
{
    server.serve(kServedPath, ok(good));
    std::error_code failure;
    {
        const testing::ScopedFileSizeLimit limit(100'000);
        try {
            store().ensureModel("small", recordProgress());
        } catch (const std::filesystem::filesystem_error& error) {
            failure = error.code();
        }
    }
    EXPECT_EQ(failure, std::error_code(EFBIG, std::generic_category()));
    EXPECT_THAT(entriesIn(directory), IsEmpty()) << "neither the model nor its partial file";
    EXPECT_FALSE(store().isDownloaded("small"));
    // The next try, with room again, completes.
    EXPECT_EQ(store().ensureModel("small"), destination);
    EXPECT_EQ(readFile(destination), good);
}

// What the user is told about a failed fetch: the plain reason of what ensureModel() threw.
std::string toldReason(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        return plainReason(modelFailureCause(error));
    }
    return "no failure";
}

// A loopback port that refuses connections: bound, so nothing else takes it, but not listening.
class RefusingPort {
public:
    RefusingPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (::bind(socket_, generic, length) != 0 || ::getsockname(socket_, generic, &length) != 0) {
            ADD_FAILURE() << "cannot reserve a loopback port";
        }
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(socket_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    int socket_;
    int port_ = 0;
};

TEST_F(ModelStoreTest, FailuresAreToldInPlainWords)
{
    std::string wrongDigest = good;
    wrongDigest[0] ^= 0x10;
    const std::vector<std::pair<HttpResponse, std::string>> answers{
        {withStatus(404, "no such file"), "The download failed: HTTP 404"},
        {ok(wrongDigest), "The download was damaged"},
        {ok(good.substr(1)), "The download was damaged"},
        {ok(good.substr(0, 1000)).closingConnection(), "The download was damaged"},
    };
    for (const auto& [response, reason] : answers) {
        SCOPED_TRACE(reason);
        server.serve(kServedPath, response);
        EXPECT_EQ(toldReason([&] { store().ensureModel("small"); }), reason);
    }

    const RefusingPort refusing;
    ModelDownloadOptions offline = loopbackOptions();
    offline.baseUrl = refusing.baseUrl();
    EXPECT_EQ(toldReason([&] { store(offline).ensureModel("small"); }),
              "No internet connection: could not reach 127.0.0.1");

    // A server that was reached but stopped sending is no missing connection.
    server.serve(kServedPath, ok(good).stallingBeforeResponse());
    EXPECT_THAT(toldReason([&] { store(loopbackOptions(std::chrono::seconds(1))).ensureModel("small"); }),
                ::testing::StartsWith("The download failed: "));

    // File system failures, as the temporary file and the disk report them.
    const auto fileError = [](int code) {
        return std::filesystem::filesystem_error("cannot write the downloaded model", "/models/ggml-small.bin.part",
                                                 std::error_code(code, std::generic_category()));
    };
    EXPECT_EQ(plainReason(modelFailureCause(fileError(ENOSPC))), "Not enough disk space");
    EXPECT_EQ(plainReason(modelFailureCause(fileError(EDQUOT))), "Not enough disk space");
    EXPECT_EQ(plainReason(modelFailureCause(fileError(EACCES))),
              "The model could not be prepared: Permission denied (/models/ggml-small.bin.part)");
    EXPECT_EQ(plainReason(modelFailureCause(TranscriberError::unknownModel("tiny"))),
              "The model could not be prepared: Unknown model: tiny");
}

// `openssl s_server` with a freshly made self-signed certificate on a loopback port; it answers any
// GET with a status page. Stopped (by its process id) on destruction.
class SelfSignedTlsServer {
public:
    explicit SelfSignedTlsServer(const std::filesystem::path& directory)
    {
        const std::string makeCertificate =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" +
            (directory / "key.pem").string() + "' -out '" + (directory / "cert.pem").string() + "' >/dev/null 2>&1";
        if (std::system(makeCertificate.c_str()) != 0) {
            return;
        }
        // Prepared before fork(): the child of a threaded process may not allocate.
        const std::string certificate = (directory / "cert.pem").string();
        const std::string key = (directory / "key.pem").string();
        int output[2];
        if (::pipe(output) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            ::close(output[0]);
            ::execlp("openssl", "openssl", "s_server", "-accept", "127.0.0.1:0", "-www", "-cert", certificate.c_str(),
                     "-key", key.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(output[1]);
        // The server prints "ACCEPT 127.0.0.1:<port>" once it listens.
        FILE* lines = ::fdopen(output[0], "r");
        char line[256];
        while (lines != nullptr && std::fgets(line, sizeof line, lines) != nullptr) {
            const std::string text = line;
            if (text.rfind("ACCEPT 127.0.0.1:", 0) == 0) {
                port_ = std::stoi(text.substr(17));
                break;
            }
        }
        reader_ = lines;
    }
    ~SelfSignedTlsServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (reader_ != nullptr) {
            std::fclose(reader_);
        }
    }
    SelfSignedTlsServer(const SelfSignedTlsServer&) = delete;
    SelfSignedTlsServer& operator=(const SelfSignedTlsServer&) = delete;

    int port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
    FILE* reader_ = nullptr;
};

TEST_F(ModelStoreTest, UntrustedCertificateIsRefused)
{
    if (std::system("command -v openssl >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the openssl command is needed to run a TLS server";
    }
    const SelfSignedTlsServer tls(home.path());
    ASSERT_GT(tls.port(), 0) << "openssl s_server did not start";
    ModelDownloadOptions options;
    options.baseUrl = "https://127.0.0.1:" + std::to_string(tls.port()) + "/";
    // Without verification the status page would arrive and fail the size check instead.
    const auto error = caughtError([&] { store(options).ensureModel("small"); });
    EXPECT_EQ(error.kind(), TranscriberError::Kind::downloadFailed);
    EXPECT_THAT(error.payload(), HasSubstr("certificate"));
    EXPECT_THAT(entriesIn(directory), IsEmpty());
}

TEST(ModelFileCheck, DigestMatchesKnownVectorsAcrossChunkBoundaries)
{
    TempHome home;
    const auto file = home.path() / "f";
    writeFile(file, "");
    EXPECT_EQ(sha256Hex(file), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    writeFile(file, "abc");
    EXPECT_EQ(sha256Hex(file), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    writeFile(file, std::string(1024 * 1024 + 1, 'a'));
    EXPECT_EQ(sha256Hex(file), "4a3f0c0c213adea174f9a3d4c13177315b588bdb2e9c1012d3d0bf0453ca0f6a");
    EXPECT_THROW(sha256Hex(home.path() / "missing"), std::filesystem::filesystem_error);
    EXPECT_THROW(sha256Hex(home.path()), std::filesystem::filesystem_error);
}

TEST(ModelFileCheck, ValidationWantsSizeAndDigest)
{
    TempHome home;
    const auto file = home.path() / "m.bin";
    const ModelDefinition definition{"m.bin", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"};
    EXPECT_FALSE(modelFileIsValid(file, definition));
    writeFile(file, "abcd");
    EXPECT_FALSE(modelFileIsValid(file, definition));
    writeFile(file, "abd");
    EXPECT_FALSE(modelFileIsValid(file, definition));
    writeFile(file, "abc");
    EXPECT_TRUE(modelFileIsValid(file, definition));
}

// A catalogue file naming one generated whisper model served by the loopback server; the store
// starts from the default download options, so plain HTTP comes from the file's loopback address.
class ModelStoreCatalogueFileTest : public ModelStoreTest {
protected:
    ModelStore storeFromCatalogue(const ModelDefinition& served, const std::string& path)
    {
        const nlohmann::json document = {{"version", 1},
                                         {"models",
                                          {{{"name", "tiny-test"},
                                            {"file", served.fileName},
                                            {"bytes", served.expectedBytes},
                                            {"sha256", served.sha256},
                                            {"url", server.baseUrl() + path.substr(1)}}}}};
        const auto file = home.path() / "catalogue.json";
        writeFile(file, document.dump());
        return ModelStore(chooseModelCatalogue(file.c_str(), std::nullopt), directory);
    }

    const ModelDefinition generated = korvane::testing::writeGeneratedModel(
        home.path() / "served", "ggml-tiny-test.bin", korvane::testing::scriptedModel(" Hello."));
    const std::string generatedBytes = readFile(home.path() / "served" / "ggml-tiny-test.bin");
};

TEST_F(ModelStoreCatalogueFileTest, DownloadsTheNamedModelAndChecksItAsAnyOther)
{
    server.serve("/models/ggml-tiny-test.bin", ok(generatedBytes));
    const ModelStore store = storeFromCatalogue(generated, "/models/ggml-tiny-test.bin");

    EXPECT_EQ(store.ensureModel("small"), directory / "ggml-tiny-test.bin") << "the file's first model is the default";
    EXPECT_EQ(readFile(directory / "ggml-tiny-test.bin"), generatedBytes);
    EXPECT_TRUE(store.isDownloaded("tiny-test"));
    EXPECT_EQ(server.requestCount("/models/ggml-tiny-test.bin"), 1u);

    ModelDefinition wrongDigest = generated;
    wrongDigest.sha256 = digestOf("something else");
    std::filesystem::remove(directory / "ggml-tiny-test.bin");
    const ModelStore refusing = storeFromCatalogue(wrongDigest, "/models/ggml-tiny-test.bin");
    EXPECT_EQ(caughtError([&] { refusing.ensureModel("tiny-test"); }).kind(), TranscriberError::Kind::checksumMismatch);
    EXPECT_THAT(entriesIn(directory), IsEmpty());
}

TEST_F(ModelStoreCatalogueFileTest, PlainHttpIsNotRedirectedAnywhere)
{
    server.redirect("/moved/ggml-tiny-test.bin", server.baseUrl() + "models/ggml-tiny-test.bin");
    server.serve("/models/ggml-tiny-test.bin", ok(generatedBytes));
    const ModelStore store = storeFromCatalogue(generated, "/moved/ggml-tiny-test.bin");

    EXPECT_EQ(caughtError([&] { store.ensureModel("tiny-test"); }).kind(), TranscriberError::Kind::downloadFailed);
    EXPECT_EQ(server.requestCount("/models/ggml-tiny-test.bin"), 0u);
    EXPECT_THAT(entriesIn(directory), IsEmpty());
}

}  // namespace
}  // namespace korvane
