#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One device of ggml's back-end registry, as plain facts, so that the choice below can be decided
// and tested without the library.
struct BackendDevice {
    enum class Kind { cpu, gpu, integratedGpu, accelerator, other };

    std::string backend;      // the registry's name: "Vulkan", "CPU", "BLAS"
    std::string name;         // the device's: "Vulkan0"
    std::string description;  // "AMD Radeon RX 6600 (RADV NAVI23)", "OpenBLAS"
    Kind kind = Kind::other;

    bool operator==(const BackendDevice&) const = default;
};

// What this build of ggml offers: every back end registered (a GPU back end registers itself even
// when it finds no device) and every device they found, in the registry's order.
struct BackendInventory {
    std::vector<std::string> backends;
    std::vector<BackendDevice> devices;
};

// Why a model runs on the CPU.
enum class CpuReason { gpuNotBuilt, gpuTurnedOff, noGpuFound, gpuFailedToStart };

// Where whisper.cpp runs a model: on one GPU, or on the CPU with a number of threads and perhaps a
// BLAS library helping with the matrix products.
struct ComputeBackend {
    std::optional<BackendDevice> gpu;
    CpuReason whyCpu = CpuReason::gpuNotBuilt;  // meaningless while gpu is set
    int threads = 1;
    std::string blas;  // the BLAS back end's library ("OpenBLAS"); empty without one

    bool onGpu() const { return gpu.has_value(); }
    bool operator==(const ComputeBackend&) const = default;
};

// What whisper.cpp will pick for a model, by the rule of its whisper_backend_init_gpu(): the first
// GPU or integrated GPU of the registry when `useGpu`, else the CPU.
ComputeBackend plannedComputeBackend(const BackendInventory& inventory, bool useGpu, int threads);

// What one load actually ran on, from whisper.cpp's own lines of that load that begin
// "whisper_backend_init_gpu: " ("using Vulkan0 backend", "failed to initialize Vulkan0 backend",
// "no GPU found"). Without such lines the plan stands.
ComputeBackend loadedComputeBackend(const ComputeBackend& planned, const BackendInventory& inventory,
                                    const std::vector<std::string>& gpuLines);

// "Vulkan: AMD Radeon RX 6600 (RADV NAVI23)", "CPU, 8 threads, OpenBLAS" or "CPU, 1 thread".
std::string computeBackendText(const ComputeBackend& backend);

// The text, followed on the CPU by why: "CPU, 8 threads (no GPU found)".
std::string computeBackendSummary(const ComputeBackend& backend);

// "no GPU back end in this build", "the GPU is turned off in the settings", "no GPU found", "the GPU
// back end could not start".
std::string_view cpuReasonText(CpuReason reason);

}  // namespace korvane
