#include <gtest/gtest.h>

#include <filesystem>

#include "RepairSupport.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

TEST(Repair, Smoke) {
    const fs::path dir = fs::temp_directory_path() / ("repair-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const RepairRun run = Repair(Fixture("h264_aac_160x120.flv"), dir.string());
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.paths.size(), 1u);
    fs::remove_all(dir);
}
