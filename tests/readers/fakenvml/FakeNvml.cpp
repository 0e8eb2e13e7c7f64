// A stand-in for NVIDIA's libnvidia-ml.so.1 with scripted answers, so the GPU reader's NVML
// path runs in tests on machines without an NVIDIA GPU. The test program loads the same
// library (by path) and steers it through the fakeNvml* functions; both share its state.
// Built twice: complete, and with FAKE_NVML_BROKEN lacking one entry point.

#define FAKE_NVML_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Utilization {
    unsigned int gpu;
    unsigned int memory;
};

constexpr unsigned maximumDevices = 4;

struct State {
    int initStatus = 0;
    int utilizationStatus = 0;
    unsigned deviceCount = 1;
    int refusedDevice = -1;
    unsigned utilization[maximumDevices] = {};
    int devices[maximumDevices] = {};
    int inits = 0;
    int shutdowns = 0;
    int utilizationCalls = 0;
};

State state;

} // namespace

FAKE_NVML_EXPORT void fakeNvmlReset() {
    state = State{};
}

FAKE_NVML_EXPORT void fakeNvmlSetDevices(unsigned count, int refusedDevice) {
    state.deviceCount = count;
    state.refusedDevice = refusedDevice;
}

FAKE_NVML_EXPORT void fakeNvmlSetInitStatus(int status) {
    state.initStatus = status;
}

FAKE_NVML_EXPORT void fakeNvmlSetUtilization(unsigned device, unsigned percent, int status) {
    if (device < maximumDevices) {
        state.utilization[device] = percent;
    }
    state.utilizationStatus = status;
}

// Successful initialisations, shutdowns and utilisation queries so far.
FAKE_NVML_EXPORT void fakeNvmlCounts(int* inits, int* shutdowns, int* utilizationCalls) {
    *inits = state.inits;
    *shutdowns = state.shutdowns;
    *utilizationCalls = state.utilizationCalls;
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
    if (index >= state.deviceCount || index >= maximumDevices) {
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
    ++state.utilizationCalls;
    if (state.utilizationStatus != 0) {
        return state.utilizationStatus;
    }
    const auto index = static_cast<unsigned>(static_cast<int*>(device) - state.devices);
    utilization->gpu = state.utilization[index];
    utilization->memory = 0;
    return 0;
}
#endif
