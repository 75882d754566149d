// Drops the logger's lines for the lifetime of the object, where the lines would only
// be noise or cost (fuzz targets, benchmarks).
#pragma once

#include "vx/logger.h"

namespace testing_support {

class DroppedLog : public vx::logger::LineSink {
public:
    DroppedLog() : previous_(vx::logger::setSink(this)) {}
    ~DroppedLog() override { vx::logger::setSink(previous_); }
    DroppedLog(const DroppedLog&) = delete;
    DroppedLog& operator=(const DroppedLog&) = delete;

    void write(std::string_view) override {}

private:
    vx::logger::LineSink* previous_;
};

} // namespace testing_support
