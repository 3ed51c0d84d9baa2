#pragma once

#include <cstddef>

namespace halyard {

// Process-wide tallies of the objects a caller must free, so tests can prove
// that nothing leaks.
enum class LiveKind { Task, Response, Options };

void CountCreated(LiveKind kind);
void CountFreed(LiveKind kind);

// Routes every allocation of the JSON runtime through counting functions.
// Idempotent; must run before the first JSON value is made.
void EnsureJsonCounting();

// Texts handed to the caller for hy_free come from the same counted pool as
// JSON values, so a forgotten hy_free shows up in hyl_live_json.
char* AllocateText(size_t size);
void FreeText(void* text);

}  // namespace halyard
