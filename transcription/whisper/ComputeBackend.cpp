#include "transcription/whisper/ComputeBackend.h"

#include <algorithm>
#include <array>

namespace korvane {
namespace {

constexpr std::string_view kGpuLinePrefix = "whisper_backend_init_gpu: ";

bool isGpu(const BackendDevice& device)
{
    return device.kind == BackendDevice::Kind::gpu || device.kind == BackendDevice::Kind::integratedGpu;
}

// A GPU back end whose library found no device still registers, with no devices; the back ends
// that never drive a GPU must not be taken for one of those.
bool isGpuBackend(const BackendInventory& inventory, const std::string& backend)
{
    static constexpr std::array<std::string_view, 3> kNeverGpu{"CPU", "BLAS", "RPC"};
    bool hasDevice = false;
    for (const BackendDevice& device : inventory.devices) {
        if (device.backend == backend) {
            hasDevice = true;
            if (isGpu(device)) {
                return true;
            }
        }
    }
    return !hasDevice && std::find(kNeverGpu.begin(), kNeverGpu.end(), backend) == kNeverGpu.end();
}

// The X of "<prefix>X<suffix>" when `line` reads so.
std::optional<std::string> between(std::string_view line, std::string_view prefix, std::string_view suffix)
{
    if (!line.starts_with(prefix) || !line.ends_with(suffix) || line.size() <= prefix.size() + suffix.size()) {
        return std::nullopt;
    }
    return std::string(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()));
}

}  // namespace

ComputeBackend plannedComputeBackend(const BackendInventory& inventory, bool useGpu, int threads)
{
    ComputeBackend planned;
    planned.threads = threads;
    for (const BackendDevice& device : inventory.devices) {
        if (device.backend == "BLAS") {
            planned.blas = device.description.empty() ? device.backend : device.description;
            break;
        }
    }
    // The setting comes first: the user who turned the GPU off need not be told what the build lacks.
    if (!useGpu) {
        planned.whyCpu = CpuReason::gpuTurnedOff;
        return planned;
    }
    const bool gpuBuilt = std::any_of(inventory.backends.begin(), inventory.backends.end(),
                                      [&](const std::string& backend) { return isGpuBackend(inventory, backend); });
    if (!gpuBuilt) {
        planned.whyCpu = CpuReason::gpuNotBuilt;
        return planned;
    }
    const auto first = std::find_if(inventory.devices.begin(), inventory.devices.end(), isGpu);
    if (first == inventory.devices.end()) {
        planned.whyCpu = CpuReason::noGpuFound;
        return planned;
    }
    planned.gpu = *first;
    return planned;
}

ComputeBackend loadedComputeBackend(const ComputeBackend& planned, const BackendInventory& inventory,
                                    const std::vector<std::string>& gpuLines)
{
    std::optional<std::string> used;
    bool failed = false;
    bool noneFound = false;
    for (const std::string& line : gpuLines) {
        if (!line.starts_with(kGpuLinePrefix)) {
            continue;
        }
        const std::string_view said = std::string_view(line).substr(kGpuLinePrefix.size());
        if (between(said, "failed to initialize ", " backend")) {
            failed = true;
        } else if (std::optional<std::string> name = between(said, "using ", " backend")) {
            used = std::move(name);
        } else if (said == "no GPU found") {
            noneFound = true;
        }
    }

    ComputeBackend loaded = planned;
    if (failed) {
        loaded.gpu.reset();
        loaded.whyCpu = CpuReason::gpuFailedToStart;
    } else if (used) {
        // whisper.cpp counts the same registry; a name missing from it leaves the plan standing.
        const auto device = std::find_if(inventory.devices.begin(), inventory.devices.end(),
                                         [&](const BackendDevice& candidate) { return candidate.name == *used; });
        if (device != inventory.devices.end()) {
            loaded.gpu = *device;
        }
    } else if (noneFound) {
        if (planned.onGpu()) {
            loaded.whyCpu = CpuReason::noGpuFound;
        }
        loaded.gpu.reset();
    }
    return loaded;
}

std::string computeBackendText(const ComputeBackend& backend)
{
    if (backend.gpu) {
        return backend.gpu->backend + ": " +
               (backend.gpu->description.empty() ? backend.gpu->name : backend.gpu->description);
    }
    std::string text = "CPU, " + std::to_string(backend.threads) + (backend.threads == 1 ? " thread" : " threads");
    if (!backend.blas.empty()) {
        text += ", " + backend.blas;
    }
    return text;
}

std::string computeBackendSummary(const ComputeBackend& backend)
{
    if (backend.onGpu()) {
        return computeBackendText(backend);
    }
    return computeBackendText(backend) + " (" + std::string(cpuReasonText(backend.whyCpu)) + ")";
}

std::string_view cpuReasonText(CpuReason reason)
{
    switch (reason) {
    case CpuReason::gpuNotBuilt:
        return "no GPU back end in this build";
    case CpuReason::gpuTurnedOff:
        return "the GPU is turned off in the settings";
    case CpuReason::noGpuFound:
        return "no GPU found";
    case CpuReason::gpuFailedToStart:
        return "the GPU back end could not start";
    }
    return {};
}

}  // namespace korvane
