#pragma once

#include <jansson.h>

#include <cstddef>
#include <string>

namespace halyard {

// Process-wide tallies of the objects a caller must free, so tests can prove
// that nothing leaks.
enum class LiveKind { Task, Response, Options };

void CountCreated(LiveKind kind);
void CountFreed(LiveKind kind);

// JSON values the caller owns: a value handed out by this library counts
// until it is freed or handed back (attached to a parent, given to a request
// or a script). Only these values count, so a game's own JSON values stay
// out of the tally. Both take null; a value that cannot be counted (no
// memory) is freed and TrackJson gives null.
json_t* TrackJson(json_t* node) noexcept;
void UntrackJson(const json_t* node) noexcept;

// A copy of text for the caller to release with hy_free (null when memory
// runs out). Such texts count with the JSON values, so a forgotten hy_free
// shows up in hyl_live_json.
char* CopyText(const std::string& text);
void FreeText(void* text);

}  // namespace halyard
