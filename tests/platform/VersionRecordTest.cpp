#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/ExecutablePath.h"
#include "platform/VersionRecord.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;

const std::string kTarnel = std::string(TARNEL_BIN_DIR) + "/tarnel";

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class VersionRecordTest : public ::testing::Test {
protected:
    ~VersionRecordTest() override { fs::remove(scratch_); }

    std::string Write(const std::vector<char>& bytes) {
        std::ofstream(scratch_, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return scratch_.string();
    }

    fs::path scratch_ =
        fs::temp_directory_path() / ("tarnel-version-" + std::to_string(::getpid()));
};

TEST_F(VersionRecordTest, TheBuiltToolCarriesFileVersion1003) {
    const auto version = ReadFileVersion(kTarnel);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 1u);
    EXPECT_EQ(version->minor, 0u);
    EXPECT_EQ(version->release, 0u);
    EXPECT_EQ(version->build, 3u);
}

TEST_F(VersionRecordTest, FilesWithoutAValidRecordGiveNothing) {
    const std::vector<char> tool = ReadAll(kTarnel);
    ASSERT_GT(tool.size(), 4096u);
    EXPECT_FALSE(ReadFileVersion(ExecutablePath()).has_value());  // this test program
    EXPECT_FALSE(ReadFileVersion("/no/such/file").has_value());
    EXPECT_FALSE(ReadFileVersion(Write({})).has_value());
    EXPECT_FALSE(ReadFileVersion(Write({'#', '!', '/', 'b', 'i', 'n'})).has_value());
    // Cut short: the section table lies past the end of the file.
    EXPECT_FALSE(ReadFileVersion(Write({tool.begin(), tool.begin() + 4096})).has_value());
    // Section table offset pointing far beyond the file.
    std::vector<char> broken = tool;
    std::memset(broken.data() + 0x28, 0x7F, 8);
    EXPECT_FALSE(ReadFileVersion(Write(broken)).has_value());
}

TEST_F(VersionRecordTest, NumbersUpTo65535AreReadInFull) {
    std::vector<char> tool = ReadAll(kTarnel);
    const char signature[8] = {'N', 'R', 'E', 'V', 1, 0, 0, 0};
    const auto at = std::search(tool.begin(), tool.end(), signature, signature + 8);
    ASSERT_NE(at, tool.end());
    std::memset(&*at + 8, 0xFF, 8);  // both words of the file version
    const auto version = ReadFileVersion(Write(tool));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 65535u);
    EXPECT_EQ(version->minor, 65535u);
    EXPECT_EQ(version->release, 65535u);
    EXPECT_EQ(version->build, 65535u);
}

}  // namespace
}  // namespace tarnel
