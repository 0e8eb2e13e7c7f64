#pragma once

#include "model/SampleSource.h"

#include <cstdint>

namespace trovimo {

// The space the user's trash takes on the home volume, in bytes, and a way to hear that it
// may have changed. `read` may take long and runs away from the GUI thread; the two calls
// below touch nothing but a descriptor, so they are safe on the GUI thread meanwhile.
class TrashSource : public SampleSource<std::int64_t> {
public:
    // Turns readable when the trash may have changed; -1 when there is no such descriptor.
    [[nodiscard]] virtual int changeDescriptor() const noexcept = 0;
    // Swallows what made the descriptor readable.
    virtual void drainChanges() const noexcept = 0;
};

} // namespace trovimo
