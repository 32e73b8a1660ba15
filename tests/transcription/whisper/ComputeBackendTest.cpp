// SPDX-License-Identifier: MIT
// Where whisper.cpp runs a model: the plan from ggml's registry, what a load's own lines say, and
// the words the log and the self-test use for it.
#include "transcription/whisper/ComputeBackend.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace korvane {

inline void PrintTo(const ComputeBackend& backend, std::ostream* out)
{
    *out << computeBackendSummary(backend);
}

namespace {

using Kind = BackendDevice::Kind;

const BackendDevice kCpu{"CPU", "CPU", "AMD Ryzen 7 5800X", Kind::cpu};
const BackendDevice kBlas{"BLAS", "BLAS", "OpenBLAS", Kind::accelerator};
const BackendDevice kRadeon{"Vulkan", "Vulkan0", "AMD Radeon RX 6600", Kind::gpu};
const BackendDevice kIntel{"Vulkan", "Vulkan1", "Intel(R) UHD Graphics 770", Kind::integratedGpu};
const BackendInventory kVulkanBuild{{"Vulkan", "BLAS", "CPU"}, {kRadeon, kIntel, kBlas, kCpu}};

ComputeBackend on(std::optional<BackendDevice> gpu, CpuReason why = CpuReason::gpuNotBuilt, std::string blas = "")
{
    return {.gpu = std::move(gpu), .whyCpu = why, .threads = 8, .blas = std::move(blas)};
}

TEST(ComputeBackend, PlansTheFirstGpuWhenAllowedAndSaysWhyNotOtherwise)
{
    struct Case {
        BackendInventory inventory;
        bool useGpu;
        ComputeBackend expected;
    };
    const Case cases[] = {
        {{{"CPU"}, {kCpu}}, true, on({}, CpuReason::gpuNotBuilt)},
        {{{"CPU"}, {kCpu}}, false, on({}, CpuReason::gpuTurnedOff)},  // the setting comes first
        {{{"BLAS", "CPU"}, {kBlas, kCpu}}, true, on({}, CpuReason::gpuNotBuilt, "OpenBLAS")},
        {{{"Vulkan", "CPU"}, {kCpu}}, true, on({}, CpuReason::noGpuFound)},  // registered without a device
        {kVulkanBuild, false, on({}, CpuReason::gpuTurnedOff, "OpenBLAS")},
        {kVulkanBuild, true, on(kRadeon, CpuReason::gpuNotBuilt, "OpenBLAS")},
        {{{"Vulkan", "CPU"}, {kIntel, kCpu}}, true, on(kIntel)},  // an integrated GPU counts
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plannedComputeBackend(c.inventory, c.useGpu, 8), c.expected) << c.inventory.backends.front();
    }
}

TEST(ComputeBackend, WhisperLinesOfTheLoadDecideTheDeviceUsed)
{
    const std::string prefix = "whisper_backend_init_gpu: ";
    struct Case {
        ComputeBackend planned;
        std::vector<std::string> lines;
        ComputeBackend expected;
    };
    const Case cases[] = {
        {on(kRadeon), {}, on(kRadeon)},
        {on(kRadeon),
         {prefix + "device 0: Vulkan0 (type: 1)", "whisper_backend_init: using BLAS backend"},
         on(kRadeon)},
        {on(kRadeon), {prefix + "using Vulkan1 backend"}, on(kIntel)},
        {on(kRadeon), {prefix + "using CUDA0 backend"}, on(kRadeon)},  // not in the registry
        {on(kRadeon),
         {prefix + "using Vulkan0 backend", prefix + "failed to initialize Vulkan0 backend"},
         on({}, CpuReason::gpuFailedToStart)},
        {on(kRadeon), {prefix + "no GPU found"}, on({}, CpuReason::noGpuFound)},
        {on({}, CpuReason::gpuTurnedOff), {prefix + "no GPU found"}, on({}, CpuReason::gpuTurnedOff)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loadedComputeBackend(c.planned, kVulkanBuild, c.lines), c.expected)
            << ::testing::PrintToString(c.lines);
    }
}

TEST(ComputeBackend, NamesTheDeviceOrTheThreadsAndWhyTheCpu)
{
    ComputeBackend oneThread = on({}, CpuReason::gpuTurnedOff);
    oneThread.threads = 1;
    const std::pair<ComputeBackend, std::string> cases[] = {
        {on(kRadeon, CpuReason::gpuNotBuilt, "OpenBLAS"), "Vulkan: AMD Radeon RX 6600"},
        {on(BackendDevice{"Vulkan", "Vulkan0", "", Kind::gpu}), "Vulkan: Vulkan0"},
        {on({}, CpuReason::gpuNotBuilt, "OpenBLAS"), "CPU, 8 threads, OpenBLAS (no GPU back end in this build)"},
        {on({}, CpuReason::noGpuFound), "CPU, 8 threads (no GPU found)"},
        {oneThread, "CPU, 1 thread (the GPU is turned off in the settings)"},
        {on({}, CpuReason::gpuFailedToStart), "CPU, 8 threads (the GPU back end could not start)"},
    };
    for (const auto& [backend, summary] : cases) {
        EXPECT_EQ(computeBackendSummary(backend), summary);
        const std::string why = backend.onGpu() ? "" : " (" + std::string(cpuReasonText(backend.whyCpu)) + ")";
        EXPECT_EQ(computeBackendText(backend) + why, summary);
    }
}

}  // namespace
}  // namespace korvane
