#pragma once

#include <jansson.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "Http.h"

namespace KRHalyardServer {

struct JsonFree {
    void operator()(json_t* value) const { json_decref(value); }
};
using Json = std::unique_ptr<json_t, JsonFree>;

// Readers of request bodies. Each returns nothing on success, or the 400
// answer that names what is wrong.
using BodyError = std::optional<HttpResponse>;

// The body as a JSON object holding only the named members; an empty body
// reads as an empty object.
BodyError ReadObject(const std::string& body, std::initializer_list<const char*> members,
                     Json* object);
// Any JSON value; an empty body reads as none (null).
BodyError ReadValue(const std::string& body, Json* value);

// Optional members: absent and null leave out untouched.
BodyError ReadString(const json_t* object, const char* key, std::string* out);
BodyError ReadUuid(const json_t* object, const char* key, std::string* out);
BodyError ReadInteger(const json_t* object, const char* key, int64_t* out);
BodyError ReadBool(const json_t* object, const char* key, bool* out);
// The member's compact JSON text ("" when absent or null).
std::string MemberText(const json_t* object, const char* key);
std::string CompactText(const json_t* value);

// A JSON text of one object built by the caller.
std::string Dump(json_t* object);

}  // namespace KRHalyardServer
