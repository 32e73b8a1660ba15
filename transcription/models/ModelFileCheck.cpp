#include "transcription/models/ModelFileCheck.h"

#include "base/files/PosixFile.h"
#include "base/logging/Logger.h"

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <system_error>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kChunkBytes = 1024 * 1024;

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

[[noreturn]] void throwDigestError(const std::filesystem::path& file)
{
    throw std::filesystem::filesystem_error("cannot compute the SHA-256 digest", file,
                                            std::make_error_code(std::errc::io_error));
}

}  // namespace

std::string sha256Hex(const std::filesystem::path& file)
{
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        throwFileError("cannot open file", file, errno);
    }
    // Model files are read once from start to end; let the kernel read ahead generously.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        throwDigestError(file);
    }
    std::vector<unsigned char> chunk(kChunkBytes);
    for (;;) {
        const ssize_t count = ::read(fd.get(), chunk.data(), chunk.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwFileError("cannot read file", file, errno);
        }
        if (count == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(count)) != 1) {
            throwDigestError(file);
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1) {
        throwDigestError(file);
    }
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digestLength * 2);
    for (unsigned int index = 0; index < digestLength; ++index) {
        hex += kHexDigits[digest[index] >> 4];
        hex += kHexDigits[digest[index] & 0x0f];
    }
    return hex;
}

bool modelFileIsValid(const std::filesystem::path& file, const ModelDefinition& definition)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        Logger::log("Model validation failed for " + definition.fileName + ": " + error.message());
        return false;
    }
    if (static_cast<std::int64_t>(size) != definition.expectedBytes) {
        Logger::log("Model size mismatch for " + definition.fileName + ": expected " +
                    std::to_string(definition.expectedBytes) + ", got " + std::to_string(size));
        return false;
    }
    std::string digest;
    try {
        digest = sha256Hex(file);
    } catch (const std::exception& failure) {
        Logger::log("Model validation failed for " + definition.fileName + ": " + failure.what());
        return false;
    }
    if (digest != definition.sha256) {
        Logger::log("Model checksum mismatch for " + definition.fileName);
        return false;
    }
    return true;
}

}  // namespace korvane
