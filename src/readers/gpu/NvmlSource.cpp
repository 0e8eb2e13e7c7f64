#include "readers/gpu/NvmlSource.h"

namespace trovimo::gpu {

std::unique_ptr<NvmlSource> NvmlSource::forCard(Library library, unsigned index, RuntimePower power,
                                                bool suspended) {
    std::unique_ptr<NvmlSource> source(new NvmlSource(std::move(library), index, std::move(power)));
    if (suspended) {
        return source;
    }
    auto opened = NvmlSession::open(source->library_, index);
    if (!opened.session || !opened.session->utilizationPercent()) {
        return nullptr;
    }
    source->session_ = std::move(opened.session);
    return source;
}

std::unique_ptr<NvmlSource> NvmlSource::firstAnswering(const Library& library) {
    for (unsigned index = 0;; ++index) {
        auto opened = NvmlSession::open(library, index);
        if (opened.session && opened.session->utilizationPercent()) {
            std::unique_ptr<NvmlSource> source(new NvmlSource(library, index, {}));
            source->session_ = std::move(opened.session);
            return source;
        }
        if (index + 1 >= opened.deviceCount) {
            return nullptr;
        }
    }
}

std::optional<double> NvmlSource::read(Context& context) {
    if (power_.suspended(context)) {
        suspendedSinceRelease_ = true;
        return 0.0;
    }
    const auto now = context.clock();
    if (!session_) {
        if (power_.managed && releasedAt_ && !suspendedSinceRelease_ &&
            now - *releasedAt_ < reopenGrace) {
            return 0.0; // released while idle, waiting for the card to suspend
        }
        auto opened = NvmlSession::open(library_, index_);
        if (!opened.session) {
            return std::nullopt;
        }
        session_ = std::move(opened.session);
        releasedAt_.reset();
        zeroSince_.reset();
        suspendedSinceRelease_ = false;
    }
    const auto percent = session_->utilizationPercent();
    if (!percent) {
        return std::nullopt;
    }
    if (power_.managed) {
        if (*percent != 0) {
            zeroSince_.reset();
        } else if (!zeroSince_) {
            zeroSince_ = now;
        } else if (now - *zeroSince_ >= idleRelease) {
            session_.reset();
            releasedAt_ = now;
            zeroSince_.reset();
            suspendedSinceRelease_ = false;
        }
    }
    return percentToFraction(*percent);
}

} // namespace trovimo::gpu
