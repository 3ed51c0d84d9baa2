#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace krmm_test {

// A halyard-server this test started on 127.0.0.1 with port 0; its output
// goes to a file, its address is read back from the first line. Stopped by
// its pid, also when the test fails.
class ServiceProcess {
public:
    ~ServiceProcess() { Stop(); }
    // Starts the service with these options besides --listen; false (and
    // the reason on stderr) if it does not say where it listens within 10 s.
    bool Start(const std::vector<std::string>& options);
    // SIGTERM, then SIGKILL if it has not ended within 5 s.
    void Stop();
    const std::string& url() const { return url_; }

    // A blocking request of the test itself (not of a player): the answer's
    // body, its status in *status.
    std::string Post(const std::string& path, const std::string& body, long* status = nullptr);
    // A token for a new identity, from /v1/sessions (--dev-sessions).
    std::string NewToken();

private:
    pid_t pid_ = -1;
    std::string output_;  // file with the service's stdout and stderr
    std::string url_;
};

}  // namespace krmm_test
