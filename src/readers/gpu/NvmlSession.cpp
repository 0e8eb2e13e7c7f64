#include "readers/gpu/NvmlSession.h"

#include <dlfcn.h>

namespace trovimo {

namespace {

// Our own declarations of the five NVML entry points used; the prototypes are plain C and
// stable across driver releases.
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

class NvmlSession::Library {
public:
    DlHandle handle;
    InitFunction init = nullptr;
    ShutdownFunction shutdown = nullptr;
    GetCountFunction getCount = nullptr;
    GetHandleFunction getHandle = nullptr;
    GetUtilizationFunction getUtilization = nullptr;
};

std::shared_ptr<const NvmlSession::Library> NvmlSession::load(const std::string& path) {
    auto library = std::make_shared<Library>();
    library->handle.reset(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library->handle) {
        return nullptr;
    }
    void* handle = library->handle.get();
    library->init = symbol<InitFunction>(handle, "nvmlInit_v2");
    library->shutdown = symbol<ShutdownFunction>(handle, "nvmlShutdown");
    library->getCount = symbol<GetCountFunction>(handle, "nvmlDeviceGetCount_v2");
    library->getHandle = symbol<GetHandleFunction>(handle, "nvmlDeviceGetHandleByIndex_v2");
    library->getUtilization =
        symbol<GetUtilizationFunction>(handle, "nvmlDeviceGetUtilizationRates");
    if (!library->init || !library->shutdown || !library->getCount || !library->getHandle ||
        !library->getUtilization) {
        return nullptr;
    }
    return library;
}

NvmlSession::NvmlSession(std::shared_ptr<const Library> library, void* device)
    : library_(std::move(library)), device_(device) {}

NvmlSession::~NvmlSession() {
    library_->shutdown();
}

NvmlSession::Opened NvmlSession::open(std::shared_ptr<const Library> library, unsigned index) {
    Opened opened;
    if (!library || library->init() != success) {
        return opened;
    }
    // From here on every path out shuts down what nvmlInit_v2 started (NVML counts them).
    unsigned int count = 0;
    NvmlDevice device = nullptr;
    if (library->getCount(&count) != success || index >= count ||
        library->getHandle(index, &device) != success || device == nullptr) {
        opened.deviceCount = count;
        library->shutdown();
        return opened;
    }
    opened.deviceCount = count;
    opened.session.reset(new NvmlSession(std::move(library), device));
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
