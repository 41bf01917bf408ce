#include "common/log_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LogTo, HandsTheLineToTheSinkElseWritesItToStderr) {
    std::vector<std::string> kept;
    testing::internal::CaptureStderr();
    LogTo([&](std::string_view line) { kept.emplace_back(line); }, "to the sink");
    LogTo(nullptr, "to stderr");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
    EXPECT_EQ(kept, std::vector<std::string>{"to the sink"});
}
