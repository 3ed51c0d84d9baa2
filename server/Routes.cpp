#include "Routes.h"

#include <strings.h>

#include <chrono>
#include <cstring>

#include "Ids.h"
#include "RequestBody.h"
#include "Service.h"
#include "StatusBody.h"

namespace KRHalyardServer {
namespace {

const char* const kHopperCollection = "_mm_hoppers";

std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> segments;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = path.find('/', start);
        const std::size_t stop = end == std::string::npos ? path.size() : end;
        segments.push_back(path.substr(start, stop - start));
        start = stop + 1;
    }
    return segments;
}

bool Matches(const std::vector<std::string>& pattern, const std::vector<std::string>& path,
             std::vector<std::string>* params) {
    if (pattern.size() != path.size()) {
        return false;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = !pattern[i].empty() && pattern[i].front() == '{';
        if (!placeholder && pattern[i] != path[i]) {
            return false;
        }
    }
    params->clear();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (!pattern[i].empty() && pattern[i].front() == '{') {
            params->push_back(path[i]);
        }
    }
    return true;
}

HttpResponse Json200(json_t* object, int status = 200) {
    HttpResponse response;
    response.status = status;
    response.body = Dump(object);
    return response;
}

HttpResponse Unauthorized(const std::string& message) {
    HttpResponse response = ErrorResponse(401, "unauthorized", message);
    response.headers.emplace_back("WWW-Authenticate", "Bearer");
    return response;
}

// A ticket route's id, and its body as an object of the given members.
BodyError ReadTicketCall(const std::string& ticket, const std::string& body,
                         std::initializer_list<const char*> members, Json* object) {
    if (!IsUuid(ticket)) {
        return ErrorResponse(400, "bad_uuid", "a ticket id is a lower-case UUID");
    }
    return ReadObject(body, members, object);
}

// An Idempotency-Key: 1 to max printable ASCII characters.
bool GoodIdempotencyKey(const char* key, std::size_t max) {
    const std::size_t length = std::strlen(key);
    if (length == 0 || length > max) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (key[i] < 0x21 || key[i] > 0x7e) {
            return false;
        }
    }
    return true;
}

}  // namespace

Routes::Routes(Service& service) : service_(service) {
    routes_ = {
        {"GET", "/healthz", false, &Routes::Health},
        {"GET", "/metrics", false, &Routes::MetricsText},
        {"GET", "/info", false, &Routes::Info},
        {"POST", "/v1/sessions", false, &Routes::Session},
        {"POST", "/v1/matchmaking/tickets", true, &Routes::CreateTicket},
        {"POST", "/v1/matchmaking/tickets/{ticket}/keepalive", true, &Routes::KeepAlive},
        {"POST", "/v1/matchmaking/tickets/{ticket}/accept", true, &Routes::Accept},
        {"POST", "/v1/matchmaking/tickets/{ticket}/cancel", true, &Routes::Cancel},
        {"POST", "/v1/matchmaking/tickets/{ticket}/start", true, &Routes::Start},
        {"POST", "/v1/matchmaking/tickets/{ticket}/proof", true, &Routes::CreateProof},
        {"POST", "/v1/matchmaking/proofs/check", true, &Routes::CheckProof},
        {"POST", "/v1/matchmaking/proofs/manual", true, &Routes::NotSupported},
        {"POST", "/v1/identity/active", true, &Routes::NotSupported},
        {"GET", "/v1/objects/{collection}/{id}", true, &Routes::Object},
        {"GET", "/v1/matchmaking/events", true, &Routes::Events},
    };
    if (service_.manual_clock() != nullptr) {
        routes_.push_back({"POST", "/testing/clock", false, &Routes::AdvanceClock});
    }
}

Routes::Route::Route(const char* method_in, const char* pattern_in, bool authenticated_in,
                     Handler handler_in)
    : method(method_in),
      pattern(pattern_in),
      authenticated(authenticated_in),
      handler(handler_in),
      segments(Segments(pattern_in)) {}

HttpResponse Routes::Handle(const HttpRequest& request) {
    const auto began = std::chrono::steady_clock::now();
    const char* pattern = "unknown";
    HttpResponse response;
    try {
        response = Dispatch(request, &pattern);
    } catch (const StoreUnavailable& error) {
        response = ErrorResponse(504, "store_unavailable", error.what());
    } catch (const std::exception& error) {
        response = ErrorResponse(500, "internal", error.what());
    }
    response.route = pattern;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    service_.metrics().Request(pattern, request.method, response.status, took.count());
    return response;
}

HttpResponse Routes::Dispatch(const HttpRequest& request, const char** route_pattern) {
    const std::vector<std::string> path = Segments(request.path);
    const Route* route = nullptr;
    std::vector<std::string> params;
    std::string allowed;
    for (const Route& candidate : routes_) {
        std::vector<std::string> found;
        if (!Matches(candidate.segments, path, &found)) {
            continue;
        }
        if (request.method == candidate.method) {
            route = &candidate;
            params = std::move(found);
            break;
        }
        allowed += allowed.empty() ? candidate.method : std::string(", ") + candidate.method;
    }
    if (route == nullptr) {
        if (allowed.empty()) {
            return ErrorResponse(404, "not_found", "no such route");
        }
        HttpResponse response =
            ErrorResponse(405, "method_not_allowed", "the route answers " + allowed + " only");
        response.headers.emplace_back("Allow", allowed);
        return response;
    }
    *route_pattern = route->pattern;
    if (request.body.size() > service_.settings().max_body_bytes) {
        return ErrorResponse(413, "body_too_large",
                             "bodies are limited to " +
                                 std::to_string(service_.settings().max_body_bytes) + " bytes");
    }
    Call call{request, std::string(), std::move(params)};
    if (!route->authenticated) {
        return (this->*route->handler)(call);
    }
    return Authenticated(*route, call);
}

HttpResponse Routes::Authenticated(const Route& route, Call& call) {
    const char* authorization = call.request.header("Authorization");
    if (authorization == nullptr) {
        return Unauthorized("send Authorization: Bearer <token>");
    }
    if (strncasecmp(authorization, "Bearer ", 7) != 0) {
        return Unauthorized("the Authorization header must be Bearer <token>");
    }
    const int64_t now_ms = service_.clock().NowMs();
    switch (service_.checked_tokens().Check(service_.signer(), authorization + 7, now_ms / 1000,
                                            &call.identity)) {
        case TokenCheck::kValid:
            break;
        case TokenCheck::kMalformed:
            return Unauthorized("the token is not <identity>.<expiry>.<signature>");
        case TokenCheck::kExpired:
            return Unauthorized("the token has expired");
        case TokenCheck::kForged:
            return Unauthorized("the token's signature does not match");
    }
    if (!service_.limiter().Take(call.identity, now_ms)) {
        const bool paced = route.handler == &Routes::KeepAlive && IsUuid(call.params[0]) &&
                           service_.tickets().KeepAliveIsPaced(call.identity, call.params[0]);
        if (!paced) {
            HttpResponse response = ErrorResponse(429, "too_many_requests",
                                                  "the identity's request rate is over the limit");
            response.headers.emplace_back("Retry-After", "1");
            return response;
        }
    }
    const char* key =
        call.request.method == "POST" ? call.request.header("Idempotency-Key") : nullptr;
    if (key == nullptr) {
        return (this->*route.handler)(call);
    }
    if (!GoodIdempotencyKey(key, service_.settings().max_idempotency_key)) {
        return ErrorResponse(400, "bad_idempotency_key",
                             "an Idempotency-Key is 1 to " +
                                 std::to_string(service_.settings().max_idempotency_key) +
                                 " printable characters");
    }
    const std::string remembered = call.identity + " " + call.request.path + " " + key;
    if (const std::optional<StoredAnswer> answer = service_.store().Recall(remembered, now_ms)) {
        HttpResponse response;
        response.status = answer->status;
        response.body = answer->body;
        response.headers.emplace_back("Idempotent-Replayed", "true");
        return response;
    }
    HttpResponse response = (this->*route.handler)(call);
    if (response.status >= 200 && response.status < 300) {
        service_.store().Remember(remembered, {response.status, response.body},
                                  now_ms + service_.settings().idempotency_ms);
    }
    return response;
}

HttpResponse Routes::Status(const Outcome& outcome) {
    switch (outcome.refusal) {
        case Refusal::kNone:
            break;
        case Refusal::kBadInput:
            return ErrorResponse(400, outcome.error, outcome.message);
        case Refusal::kForbidden:
            return ErrorResponse(403, outcome.error, outcome.message);
        case Refusal::kNotFound:
            return ErrorResponse(404, outcome.error, outcome.message);
        case Refusal::kConflict:
            return ErrorResponse(409, outcome.error, outcome.message);
    }
    HttpResponse response;
    response.body = StatusBody(service_.store(), *outcome.ticket);
    return response;
}

HttpResponse Routes::Health(const Call&) {
    json_t* body = json_object();
    json_object_set_new(body, "status", json_string("ok"));
    return Json200(body);
}

HttpResponse Routes::MetricsText(const Call&) {
    HttpResponse response;
    response.content_type = "text/plain; version=0.0.4";
    response.body =
        service_.metrics().Render(service_.store(), service_.hoppers(), service_.streams().open());
    return response;
}

HttpResponse Routes::Info(const Call&) {
    const StoreCounts counts = service_.store().Counts();
    json_t* body = json_object();
    json_object_set_new(body, "uptime_ms",
                        json_integer(service_.clock().NowMs() - service_.started_ms()));
    json_object_set_new(body, "clock",
                        json_string(service_.manual_clock() != nullptr ? "manual" : "system"));
    json_t* tickets = json_object();
    for (const auto& entry : counts.tickets) {
        json_object_set_new(tickets, StateText(entry.first),
                            json_integer(static_cast<json_int_t>(entry.second)));
    }
    json_object_set_new(body, "tickets", tickets);
    json_object_set_new(body, "matches", json_integer(static_cast<json_int_t>(counts.matches)));
    json_object_set_new(body, "parties", json_integer(static_cast<json_int_t>(counts.parties)));
    json_object_set_new(body, "remembered_answers",
                        json_integer(static_cast<json_int_t>(counts.answers)));
    json_object_set_new(body, "event_streams",
                        json_integer(static_cast<json_int_t>(service_.streams().open())));
    json_t* hoppers = json_array();
    for (const Hopper& hopper : service_.hoppers().all()) {
        json_t* entry = json_object();
        json_object_set_new(entry, "id", json_string(hopper.id.c_str()));
        json_object_set_new(entry, "name", json_string(hopper.name.c_str()));
        json_object_set_new(entry, "players", json_integer(hopper.players));
        json_object_set_new(
            entry, "waiting",
            json_integer(static_cast<json_int_t>(service_.store().WaitingCount(hopper.id))));
        json_array_append_new(hoppers, entry);
    }
    json_object_set_new(body, "hoppers", hoppers);
    return Json200(body);
}

HttpResponse Routes::Session(const Call& call) {
    if (!service_.settings().dev_sessions) {
        return ErrorResponse(404, "not_found",
                             "sessions are given out only with --dev-sessions; a game's own "
                             "backend mints tokens with the service's secret");
    }
    Json object;
    std::string identity;
    if (BodyError error = ReadObject(call.request.body, {"identity_id"}, &object)) {
        return *error;
    }
    if (BodyError error = ReadUuid(object.get(), "identity_id", &identity)) {
        return *error;
    }
    if (identity.empty()) {
        identity = NewUuid();
    }
    const int64_t expiry_s = (service_.clock().NowMs() + service_.settings().token_ttl_ms) / 1000;
    json_t* body = json_object();
    json_object_set_new(body, "identity_id", json_string(identity.c_str()));
    json_object_set_new(body, "token",
                        json_string(MintToken(service_.signer(), identity, expiry_s).c_str()));
    json_object_set_new(body, "expires_at", json_string(FormatUtc(expiry_s).c_str()));
    return Json200(body);
}

HttpResponse Routes::CreateTicket(const Call& call) {
    Json object;
    TicketRequest request;
    if (BodyError error = ReadObject(
            call.request.body,
            {"hopper_id", "group_id", "second_group_id", "group_size", "attributes", "values"},
            &object)) {
        return *error;
    }
    BodyError error = ReadUuid(object.get(), "hopper_id", &request.hopper_id);
    if (!error) {
        error = ReadUuid(object.get(), "group_id", &request.group_id);
    }
    if (!error) {
        error = ReadUuid(object.get(), "second_group_id", &request.second_group_id);
    }
    if (!error) {
        error = ReadInteger(object.get(), "group_size", &request.group_size);
    }
    if (error) {
        return *error;
    }
    if (request.hopper_id.empty()) {
        return ErrorResponse(400, "missing_member", "\"hopper_id\" is required");
    }
    request.attributes = MemberText(object.get(), "attributes");
    request.values = MemberText(object.get(), "values");
    const Outcome outcome = service_.tickets().Create(call.identity, request);
    if (outcome.refusal != Refusal::kNone) {
        return Status(outcome);
    }
    json_t* body = json_object();
    json_object_set_new(body, "ticket", json_string(outcome.ticket->id.c_str()));
    return Json200(body, 201);
}

HttpResponse Routes::KeepAlive(const Call& call) {
    Json object;
    if (BodyError error = ReadTicketCall(call.params[0], call.request.body, {}, &object)) {
        return *error;
    }
    return Status(service_.tickets().KeepAlive(call.identity, call.params[0]));
}

HttpResponse Routes::Accept(const Call& call) {
    Json object;
    if (BodyError error = ReadTicketCall(call.params[0], call.request.body, {}, &object)) {
        return *error;
    }
    return Status(service_.tickets().Accept(call.identity, call.params[0]));
}

HttpResponse Routes::Cancel(const Call& call) {
    Json object;
    bool soft = false;
    if (BodyError error = ReadTicketCall(call.params[0], call.request.body, {"soft"}, &object)) {
        return *error;
    }
    if (BodyError error = ReadBool(object.get(), "soft", &soft)) {
        return *error;
    }
    return Status(service_.tickets().Cancel(call.identity, call.params[0], soft));
}

HttpResponse Routes::Start(const Call& call) {
    Json join_info;
    if (!IsUuid(call.params[0])) {
        return ErrorResponse(400, "bad_uuid", "a ticket id is a lower-case UUID");
    }
    if (BodyError error = ReadValue(call.request.body, &join_info)) {
        return *error;
    }
    return Status(
        service_.tickets().Start(call.identity, call.params[0], CompactText(join_info.get())));
}

HttpResponse Routes::CreateProof(const Call& call) {
    Json object;
    if (BodyError error = ReadTicketCall(call.params[0], call.request.body, {}, &object)) {
        return *error;
    }
    const Outcome outcome = service_.tickets().Owned(call.identity, call.params[0]);
    if (outcome.refusal != Refusal::kNone) {
        return Status(outcome);
    }
    const Ticket& ticket = *outcome.ticket;
    if (ticket.match_id.empty()) {
        return ErrorResponse(409, "not_matched", "a proof needs a ticket that has been matched");
    }
    Proof proof;
    proof.identity = ticket.identity;
    proof.match_id = ticket.match_id;
    proof.hopper_id = ticket.hopper_id;
    proof.expiry_s = (service_.clock().NowMs() + service_.settings().proof_ttl_ms) / 1000;
    json_t* body = json_object();
    json_object_set_new(body, "proof", json_string(MintProof(service_.signer(), proof).c_str()));
    json_object_set_new(body, "expires_at", json_string(FormatUtc(proof.expiry_s).c_str()));
    return Json200(body);
}

HttpResponse Routes::CheckProof(const Call& call) {
    Json object;
    std::string text;
    if (BodyError error = ReadObject(call.request.body, {"proof"}, &object)) {
        return *error;
    }
    if (BodyError error = ReadString(object.get(), "proof", &text)) {
        return *error;
    }
    if (text.empty()) {
        return ErrorResponse(400, "missing_member", "\"proof\" is required");
    }
    Proof proof;
    const TokenCheck check =
        KRHalyardServer::CheckProof(service_.signer(), text, service_.clock().NowSeconds(), &proof);
    json_t* body = json_object();
    json_object_set_new(body, "valid", json_boolean(check == TokenCheck::kValid));
    if (check == TokenCheck::kValid) {
        json_object_set_new(body, "identity_id", json_string(proof.identity.c_str()));
        json_object_set_new(body, "match_id", json_string(proof.match_id.c_str()));
        json_object_set_new(body, "hopper_id", json_string(proof.hopper_id.c_str()));
        json_object_set_new(body, "expires_at", json_string(FormatUtc(proof.expiry_s).c_str()));
    } else {
        const char* reason = check == TokenCheck::kExpired  ? "expired"
                             : check == TokenCheck::kForged ? "forged"
                                                            : "malformed";
        json_object_set_new(body, "reason", json_string(reason));
    }
    return Json200(body);
}

HttpResponse Routes::NotSupported(const Call&) {
    return ErrorResponse(404, "not_supported",
                         "the service does not offer this request (see API.md)");
}

HttpResponse Routes::Object(const Call& call) {
    if (call.params[0] != kHopperCollection) {
        return ErrorResponse(404, "collection_not_found",
                             std::string("the only collection is ") + kHopperCollection);
    }
    if (!IsUuid(call.params[1])) {
        return ErrorResponse(400, "bad_uuid", "an object id is a lower-case UUID");
    }
    const Hopper* hopper = service_.hoppers().Find(call.params[1]);
    if (hopper == nullptr) {
        return ErrorResponse(404, "object_not_found", "no hopper has that id");
    }
    HttpResponse response;
    response.body = hopper->record;
    return response;
}

HttpResponse Routes::Events(const Call& call) {
    HttpResponse response;
    response.stream = true;
    response.stream_identity = call.identity;
    if (const char* last = call.request.header("Last-Event-ID")) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(last, &end, 10);
        if (*last < '0' || *last > '9' || end == last || *end != '\0') {
            return ErrorResponse(400, "bad_last_event_id", "Last-Event-ID is an event number");
        }
        response.last_event_id = value;
    }
    return response;
}

HttpResponse Routes::AdvanceClock(const Call& call) {
    Json object;
    int64_t advance_ms = 0;
    if (BodyError error = ReadObject(call.request.body, {"advance_ms"}, &object)) {
        return *error;
    }
    if (BodyError error = ReadInteger(object.get(), "advance_ms", &advance_ms)) {
        return *error;
    }
    if (advance_ms < 0) {
        return ErrorResponse(400, "bad_value", "\"advance_ms\" must not be negative");
    }
    service_.manual_clock()->Advance(advance_ms);
    service_.Tick();
    json_t* body = json_object();
    json_object_set_new(body, "now_ms", json_integer(service_.clock().NowMs()));
    return Json200(body);
}

}  // namespace KRHalyardServer
