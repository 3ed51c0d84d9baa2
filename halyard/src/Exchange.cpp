#include <new>

#include "Client.h"
#include "Task.h"
#include "Transport.h"

namespace halyard {

void Exchange::Finish(Answer result, bool noAnswer, std::string reason) {
    answer = std::move(result);
    finished = true;
    timedOut = noAnswer;
    error = std::move(reason);
    if (entry != nullptr) {
        entry->request.status = answer.status;
        entry->body = answer.body;
        entry->Bind();
    }
}

// The journal keeps the polls that said "pending", so that a replay on the
// loopback keeps the request pending for as many process passes.
void Exchange::CountPendingPoll() {
    ++pendingPolls;
    if (entry != nullptr) {
        entry->request.pending_polls = pendingPolls;
    }
}

hy_task* SendToService(hy_client* client, std::unique_ptr<JournalEntry> entry) {
    auto exchange = std::make_shared<Exchange>();
    exchange->entry = client->journal.Add(std::move(entry));
    client->transport->Send(exchange);
    return new (std::nothrow) hy_task(std::move(exchange), client->self);
}

}  // namespace halyard
