// A stand-in for NVIDIA's libnvidia-ml.so.1 with scripted answers, so the GPU reader's NVML
// path runs in tests on machines without an NVIDIA GPU. The test program loads the same
// library (by path) and steers it through fakeNvmlState(); both share that state.
// Built twice: complete, and with FAKE_NVML_BROKEN lacking one entry point.

#include "FakeNvml.h"

#define FAKE_NVML_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Utilization {
    unsigned int gpu;
    unsigned int memory;
};

fakenvml::State state;

} // namespace

FAKE_NVML_EXPORT fakenvml::State* fakeNvmlState() {
    return &state;
}

FAKE_NVML_EXPORT int nvmlInit_v2() {
    if (state.initStatus == 0) {
        ++state.inits;
    }
    return state.initStatus;
}

FAKE_NVML_EXPORT int nvmlShutdown() {
    ++state.shutdowns;
    return 0;
}

FAKE_NVML_EXPORT int nvmlDeviceGetCount_v2(unsigned* count) {
    *count = state.deviceCount;
    return 0;
}

FAKE_NVML_EXPORT int nvmlDeviceGetHandleByIndex_v2(unsigned index, void** device) {
    if (index >= state.deviceCount || index >= fakenvml::maximumDevices) {
        return 2; // invalid argument
    }
    if (static_cast<int>(index) == state.refusedDevice) {
        return 4; // no permission
    }
    *device = &state.devices[index];
    return 0;
}

#ifndef FAKE_NVML_BROKEN
FAKE_NVML_EXPORT int nvmlDeviceGetUtilizationRates(void* device, Utilization* utilization) {
    ++state.queries;
    if (state.utilizationStatus != 0) {
        return state.utilizationStatus;
    }
    const auto index = static_cast<unsigned>(static_cast<int*>(device) - state.devices);
    utilization->gpu = state.utilization[index];
    utilization->memory = 0;
    return 0;
}
#endif
