// SPDX-License-Identifier: MIT
// Digest throughput of a model-sized file (500 MB, created in the temporary directory and removed
// afterwards), to compare with `openssl speed -evp sha256` on the same machine. The file is read
// once before timing so the figure measures hashing and reading from the page cache, not the disk.
#include "transcription/models/ModelFileCheck.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kFileBytes = 500'000'000;

class ModelSizedFile {
public:
    ModelSizedFile()
        : path_(std::filesystem::temp_directory_path() / ("korvane-sha256-bench-" + std::to_string(::getpid())))
    {
        std::ofstream out(path_, std::ios::binary);
        std::vector<char> block(1 << 20);
        std::mt19937 generator(3);
        for (auto& byte : block) {
            byte = static_cast<char>(generator());
        }
        for (std::size_t written = 0; written < kFileBytes; written += block.size()) {
            out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), kFileBytes - written)));
        }
    }
    ~ModelSizedFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ModelSizedFile(const ModelSizedFile&) = delete;
    ModelSizedFile& operator=(const ModelSizedFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void sha256OfModelSizedFile(benchmark::State& state)
{
    const ModelSizedFile file;
    benchmark::DoNotOptimize(korvane::sha256Hex(file.path()));  // warm the page cache
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::sha256Hex(file.path()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(sha256OfModelSizedFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
