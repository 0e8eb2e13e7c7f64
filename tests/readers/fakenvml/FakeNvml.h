#pragma once

// The script of the NVML stand-in (FakeNvml.cpp). A test loads the library by the path the
// reader loads it by, so both share one State, which fakeNvmlState() hands out.
namespace fakenvml {

constexpr unsigned maximumDevices = 4;

struct State {
    int initStatus = 0;        // nvmlInit_v2's answer
    int utilizationStatus = 0; // nvmlDeviceGetUtilizationRates' answer
    unsigned deviceCount = 1;
    int refusedDevice = -1; // answers "no permission" to nvmlDeviceGetHandleByIndex_v2
    unsigned utilization[maximumDevices] = {};
    int devices[maximumDevices] = {}; // their addresses are the device handles
    // Successful initialisations, shutdowns and utilisation queries so far.
    int inits = 0;
    int shutdowns = 0;
    int queries = 0;
};

} // namespace fakenvml
