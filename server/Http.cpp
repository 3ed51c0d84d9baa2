#include "Http.h"

#include "RequestBody.h"

namespace KRHalyardServer {

HttpResponse ErrorResponse(int status, const std::string& code, const std::string& message) {
    json_t* object = json_object();
    json_object_set_new(object, "error", json_string(code.c_str()));
    json_object_set_new(object, "message", json_string(message.c_str()));
    HttpResponse response;
    response.status = status;
    response.body = Dump(object);
    return response;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 409:
            return "Conflict";
        case 413:
            return "Payload Too Large";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 504:
            return "Gateway Timeout";
        default:
            return "Unknown";
    }
}

}  // namespace KRHalyardServer
