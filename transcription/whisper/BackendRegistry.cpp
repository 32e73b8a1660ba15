#include "transcription/whisper/BackendRegistry.h"

#include "transcription/whisper/TranscriptionThreads.h"

#include <ggml-backend.h>

namespace korvane {
namespace {

BackendDevice::Kind kindOf(enum ggml_backend_dev_type type)
{
    switch (type) {
    case GGML_BACKEND_DEVICE_TYPE_CPU:
        return BackendDevice::Kind::cpu;
    case GGML_BACKEND_DEVICE_TYPE_GPU:
        return BackendDevice::Kind::gpu;
    case GGML_BACKEND_DEVICE_TYPE_IGPU:
        return BackendDevice::Kind::integratedGpu;
    case GGML_BACKEND_DEVICE_TYPE_ACCEL:
        return BackendDevice::Kind::accelerator;
    default:
        return BackendDevice::Kind::other;
    }
}

std::string text(const char* value)
{
    return value != nullptr ? value : "";
}

}  // namespace

BackendInventory backendInventory()
{
    BackendInventory inventory;
    for (std::size_t i = 0; i < ggml_backend_reg_count(); ++i) {
        inventory.backends.push_back(text(ggml_backend_reg_name(ggml_backend_reg_get(i))));
    }
    // The registry's device order is the one whisper.cpp counts GPUs in.
    for (std::size_t i = 0; i < ggml_backend_dev_count(); ++i) {
        ggml_backend_dev_t device = ggml_backend_dev_get(i);
        inventory.devices.push_back(BackendDevice{
            .backend = text(ggml_backend_reg_name(ggml_backend_dev_backend_reg(device))),
            .name = text(ggml_backend_dev_name(device)),
            .description = text(ggml_backend_dev_description(device)),
            .kind = kindOf(ggml_backend_dev_type(device)),
        });
    }
    return inventory;
}

ComputeBackend plannedComputeBackend(bool useGpu)
{
    return plannedComputeBackend(backendInventory(), useGpu, transcriptionThreads());
}

}  // namespace korvane
