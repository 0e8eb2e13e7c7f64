#include "readers/NvmlSession.h"

#include <dlfcn.h>

namespace trovimo {

namespace {

// Our own declarations of the five NVML entry points used; the prototypes are plain C and
// stable across driver releases (the _v2 names exist since driver 4xx).
struct NvmlUtilization {
    unsigned int gpu;
    unsigned int memory;
};
using NvmlDevice = void*;
using InitFunction = int (*)();
using ShutdownFunction = int (*)();
using GetCountFunction = int (*)(unsigned int*);
using GetHandleFunction = int (*)(unsigned int, NvmlDevice*);
using GetUtilizationFunction = int (*)(NvmlDevice, NvmlUtilization*);

struct DlCloser {
    void operator()(void* handle) const noexcept { ::dlclose(handle); }
};
using DlHandle = std::unique_ptr<void, DlCloser>;

template <typename Function> Function symbol(void* handle, const char* name) {
    // POSIX guarantees that a function pointer survives the round trip through void*.
    return reinterpret_cast<Function>(::dlsym(handle, name));
}

} // namespace

struct NvmlSession::Library {
    DlHandle handle;
    InitFunction init = nullptr;
    ShutdownFunction shutdown = nullptr;
    GetCountFunction getCount = nullptr;
    GetHandleFunction getHandle = nullptr;
    GetUtilizationFunction getUtilization = nullptr;
    bool initialised = false;

    ~Library() {
        if (initialised) {
            shutdown();
        }
    }
};

NvmlSession::NvmlSession(std::unique_ptr<Library> library) : library_(std::move(library)) {}

NvmlSession::~NvmlSession() = default;

bool NvmlSession::libraryLoads(const std::string& library) {
    return DlHandle(::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr;
}

NvmlSession::Opened NvmlSession::open(const std::string& library, unsigned index) {
    Opened opened;
    auto loaded = std::make_unique<Library>();
    loaded->handle.reset(::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!loaded->handle) {
        return opened;
    }
    opened.libraryLoaded = true;
    void* handle = loaded->handle.get();
    loaded->init = symbol<InitFunction>(handle, "nvmlInit_v2");
    loaded->shutdown = symbol<ShutdownFunction>(handle, "nvmlShutdown");
    loaded->getCount = symbol<GetCountFunction>(handle, "nvmlDeviceGetCount_v2");
    loaded->getHandle = symbol<GetHandleFunction>(handle, "nvmlDeviceGetHandleByIndex_v2");
    loaded->getUtilization =
        symbol<GetUtilizationFunction>(handle, "nvmlDeviceGetUtilizationRates");
    if (!loaded->init || !loaded->shutdown || !loaded->getCount || !loaded->getHandle ||
        !loaded->getUtilization) {
        return opened;
    }
    if (loaded->init() != success) {
        return opened;
    }
    loaded->initialised = true;
    unsigned int count = 0;
    if (loaded->getCount(&count) != success) {
        return opened;
    }
    opened.deviceCount = count;
    NvmlDevice device = nullptr;
    // The count may include devices that refuse a handle (no permission on /dev/nvidiaN).
    if (index >= count || loaded->getHandle(index, &device) != success || device == nullptr) {
        return opened;
    }
    opened.session.reset(new NvmlSession(std::move(loaded)));
    opened.session->device_ = device;
    return opened;
}

std::optional<unsigned> NvmlSession::utilizationPercent() const {
    NvmlUtilization utilization{};
    if (library_->getUtilization(device_, &utilization) != success) {
        return std::nullopt;
    }
    return utilization.gpu;
}

} // namespace trovimo
