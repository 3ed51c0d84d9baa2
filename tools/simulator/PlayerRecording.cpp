#include "PlayerRecording.h"

#include <utility>

#include "emulator/HalyardEmulator.h"

namespace KRSimulator {

namespace {

using KRHalyardEmulator::HalyardEmulator;
using KRHalyardEmulator::RequestKind;

// The loopback's kind of an emulator request; false for kinds the emulator
// never finishes a task for.
bool LoopbackKind(RequestKind kind, hyl_kind* out) {
    switch (kind) {
        case RequestKind::kTicket:
            *out = HYL_TICKET;
            return true;
        case RequestKind::kKeepAlive:
            *out = HYL_KEEPALIVE;
            return true;
        case RequestKind::kAccept:
            *out = HYL_ACCEPT;
            return true;
        case RequestKind::kDecline:
            *out = HYL_CANCEL;
            return true;
        case RequestKind::kStart:
            *out = HYL_START;
            return true;
        case RequestKind::kProof:
        case RequestKind::kHopper:
            break;
    }
    return false;
}

}  // namespace

PlayerRecording::PlayerRecording(hy_client* client, std::string join_info)
    : client_(client), join_info_(std::move(join_info)) {
    HalyardEmulator::Instance().SetExchangeObserver(&PlayerRecording::OnExchange, this);
}

PlayerRecording::~PlayerRecording() {
    HalyardEmulator::Instance().SetExchangeObserver(nullptr, nullptr);
    hyl_recorder_free(recorder_);
}

void PlayerRecording::OnExchange(const KRHalyardEmulator::Exchange& exchange, void* user) {
    PlayerRecording& self = *static_cast<PlayerRecording*>(user);
    hyl_request request = {};
    if (exchange.client != self.client_ || !LoopbackKind(exchange.kind, &request.kind)) {
        return;
    }
    if (self.recorder_ == nullptr) {
        self.recorder_ = hyl_recorder_new(HalyardEmulator::Instance().GetIdentity(self.client_));
    }
    if (request.kind == HYL_TICKET) {
        request.hopper_id = exchange.argument;
    } else {
        request.ticket = exchange.argument;
    }
    if (request.kind == HYL_START) {
        request.join_info_json = self.join_info_.c_str();
    }
    request.status = exchange.status;
    request.body_json = exchange.body;
    request.pending_polls = exchange.pending_polls;
    request.source = HYL_SCRIPTED;
    // Only a body that is not JSON is refused, and the emulator writes JSON.
    hyl_recorder_add(self.recorder_, &request);
}

std::string PlayerRecording::Scenario() const {
    hyl_recorder* empty = recorder_ == nullptr ? hyl_recorder_new(nullptr) : nullptr;
    char* text = hyl_recorder_scenario(recorder_ != nullptr ? recorder_ : empty);
    std::string scenario = text != nullptr ? text : "";
    hy_free(text);
    hyl_recorder_free(empty);
    return scenario;
}

}  // namespace KRSimulator
