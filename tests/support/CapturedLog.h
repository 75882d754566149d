// Captures the logger's lines for the lifetime of the object (tests only).
#pragma once

#include "vx/logger.h"

#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class CapturedLog : public vx::logger::LineSink {
public:
    CapturedLog() : previous_(vx::logger::setSink(this)) {}
    ~CapturedLog() override { vx::logger::setSink(previous_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    void write(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }

    // Whole lines as written, each with its "\n".
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    // The texts of the INFO lines, without label and line feed.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const std::string& line : lines()) {
            const std::string prefix = "INFO: ";
            if (line.rfind(prefix, 0) == 0 && !line.empty() && line.back() == '\n') {
                out.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 1));
            }
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    vx::logger::LineSink* previous_;
};

} // namespace testing_support
