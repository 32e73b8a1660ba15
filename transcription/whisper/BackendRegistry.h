#pragma once

#include "transcription/whisper/ComputeBackend.h"

namespace korvane {

// ggml's back-end registry as this process sees it: the back ends compiled in and the devices they
// found. Any thread.
BackendInventory backendInventory();

// What a model loaded now would run on, with the GPU allowed or not and the transcriber's thread
// count.
ComputeBackend plannedComputeBackend(bool useGpu);

}  // namespace korvane
