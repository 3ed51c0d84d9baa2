// Output files: a path that cannot be written is refused before the run,
// with the reason, and a file is replaced only once it is whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "OutputFile.h"

namespace KRSimulator {
namespace {

std::string Read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

TEST(OutputFileTest, RefusedBeforeTheRunAndReplacedOnlyWhenWhole) {
    const std::string folder = ::testing::TempDir();
    std::string error;
    const std::pair<std::string, const char*> unwritable[] = {
        {folder + "krmm-no-such-folder/out.csv", "the folder '"},
        {folder, "it is a directory"},
#ifndef _WIN32
        {"/dev/full", "No space left on device"},  // a device is probed
#endif
    };
    for (const auto& c : unwritable) {
        EXPECT_FALSE(OutputFile().Open(c.first, &error));
        EXPECT_NE(error.find("cannot write '" + c.first + "': " + c.second), std::string::npos)
            << error;
    }

    const std::string path = folder + "krmm_output_file.csv";
    std::ofstream(path) << "earlier run";
    ASSERT_TRUE(OutputFile().Open(path, &error)) << error;  // a run that failed
    EXPECT_EQ(Read(path), "earlier run");
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
    OutputFile file;
    ASSERT_TRUE(file.Open(path, &error)) << error;
    EXPECT_EQ(Read(path), "earlier run");
    ASSERT_TRUE(file.Commit("this run", &error)) << error;
    EXPECT_EQ(Read(path), "this run");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace KRSimulator
