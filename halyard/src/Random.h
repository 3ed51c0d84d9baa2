#pragma once

#include <cstddef>

namespace halyard {

// Fills out with size bytes from the operating system's secure random source.
// Returns false when the source cannot be read.
bool FillRandomBytes(void* out, size_t size);

}  // namespace halyard
