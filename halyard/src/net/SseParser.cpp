#include "SseParser.h"

namespace halyard {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

bool SseParser::Feed(const char* bytes, size_t length, std::vector<SseEvent>* events) {
    for (size_t i = 0; i < length && !overflow_; ++i) {
        const char c = bytes[i];
        if (skipLf_) {
            skipLf_ = false;
            if (c == '\n') {
                continue;
            }
        }
        if (c == '\r' || c == '\n') {
            skipLf_ = c == '\r';
            Line(std::move(line_), events);
            line_.clear();
            continue;
        }
        line_.push_back(c);
        overflow_ = line_.size() + data_.size() > kMaxEventBytes;
    }
    return !overflow_;
}

void SseParser::Restart() {
    line_.clear();
    skipLf_ = false;
    atStart_ = true;
    type_.clear();
    data_.clear();
    hasData_ = false;
    overflow_ = false;
}

void SseParser::Line(std::string line, std::vector<SseEvent>* events) {
    if (atStart_ && line.compare(0, 3, kByteOrderMark) == 0) {
        line.erase(0, 3);
    }
    atStart_ = false;
    if (line.empty()) {
        // A blank line ends the event; one without data is no event.
        if (hasData_) {
            events->push_back(SseEvent{type_.empty() ? "message" : type_, data_, lastEventId_});
        }
        type_.clear();
        data_.clear();
        hasData_ = false;
        return;
    }
    if (line[0] == ':') {
        return;  // a comment, such as a keep-alive
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        Field(line, "");
        return;
    }
    size_t valueStart = colon + 1;
    if (valueStart < line.size() && line[valueStart] == ' ') {
        ++valueStart;
    }
    Field(line.substr(0, colon), line.substr(valueStart));
}

void SseParser::Field(const std::string& name, const std::string& value) {
    if (name == "event") {
        type_ = value;
    } else if (name == "data") {
        if (hasData_) {
            data_.push_back('\n');
        }
        data_ += value;
        hasData_ = true;
    } else if (name == "id") {
        if (value.find('\0') == std::string::npos) {
            lastEventId_ = value;
        }
    } else if (name == "retry") {
        if (!value.empty() && value.size() <= 9 &&
            value.find_first_not_of("0123456789") == std::string::npos) {
            retryMs_ = static_cast<uint32_t>(std::stoul(value));
        }
    }
}

}  // namespace halyard
