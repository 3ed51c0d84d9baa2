#include "ServiceProcess.h"

#include <curl/curl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "halyard.h"

namespace krmm_test {
namespace {

using Clock = std::chrono::steady_clock;

size_t Keep(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

// The first line of the file once it is whole, else "".
std::string FirstLine(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    const std::string all = text.str();
    const size_t end = all.find('\n');
    return end == std::string::npos ? std::string() : all.substr(0, end);
}

}  // namespace

bool ServiceProcess::Start(const std::vector<std::string>& options) {
    char path[] = "/tmp/halyard-server-XXXXXX";
    const int file = mkstemp(path);
    if (file < 0) {
        return false;
    }
    output_ = path;
    std::vector<std::string> words = {HALYARD_SERVER, "--listen", "127.0.0.1:0"};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(file, STDOUT_FILENO);
        dup2(file, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(file);
    const std::string prefix = "listening on ";
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && Clock::now() < deadline) {
        const std::string line = FirstLine(output_);
        if (line.compare(0, prefix.size(), prefix) == 0) {
            url_ = line.substr(prefix.size());
            return true;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::cerr << "halyard-server did not start: " << std::ifstream(output_).rdbuf() << "\n";
    Stop();
    return false;
}

void ServiceProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }
    if (!output_.empty()) {
        std::remove(output_.c_str());
        output_.clear();
    }
}

std::string ServiceProcess::Post(const std::string& path, const std::string& body, long* status) {
    std::string answer;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, (url_ + path).c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    long code = 0;
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    }
    curl_easy_cleanup(curl);
    if (status != nullptr) {
        *status = code;
    }
    return answer;
}

std::string ServiceProcess::NewToken() {
    const std::string answer = Post("/v1/sessions", "{}");
    hy_json* body = hy_json_parse(answer.data(), answer.size());
    const char* token = hy_json_get_string_item(body, "token");
    std::string text = token != nullptr ? token : "";
    hy_json_free(body);
    return text;
}

}  // namespace krmm_test
