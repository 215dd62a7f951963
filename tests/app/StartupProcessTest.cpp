// tarnel-sim started as a process: what its command line hands to Qt, and a start without
// any display.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <string>

#include "app/Application.h"
#include "support/ImageFile.h"
#include "support/Portable.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

TEST(StartupProcess, QtsOwnOptionsAreFileNamesLikeAnyOtherArgument) {
    QTemporaryDir dir;
    const std::string image = dir.filePath("image.rom").toStdString();
    WriteImageFile(image, {{0x0100, 0x2222}});
    SimRunRequest request;
    // Honoured by Qt, "-platform" would stop the start; as file names the last one wins.
    request.arguments = {"-cc", "-p", "-platform", "no-such-platform", "-reverse", image};
    const SimRunResult run = RunTarnelSim(request);
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash[0x0100], 0x2222);
}

// The name travels from the command line to the file's opening without passing through a
// narrow code page (on Windows: the wide command line, UTF-8 inside, opened wide).
TEST(StartupProcess, AnImageInAFolderWithNonAsciiCharactersPrograms) {
    const std::filesystem::path dir = MakeTemporaryDirectory("tarnel-names-");
    ASSERT_FALSE(dir.empty());
    const std::filesystem::path folder = dir / std::filesystem::path(u8"Bilder Äø 日本");
    std::filesystem::create_directories(folder);
    const std::filesystem::path image = folder / std::filesystem::path(u8"prüf.rom");
    WriteImageFile(image, {{0x0100, 0x2222}});
    const std::u8string utf8 = image.u8string();
    SimRunRequest request;
    request.arguments = {"-cc", "-p", std::string(utf8.begin(), utf8.end())};
    const SimRunResult run = RunTarnelSim(request);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash[0x0100], 0x2222);
}

// Linux only: a Windows session always has a display.
#ifndef _WIN32
TEST(StartupProcess, WithoutADisplayAWindowedStartSaysSoInOneLine) {
    for (const auto& arguments : {std::vector<std::string>{"-cc"}, {"-p"}, {}}) {
        SCOPED_TRACE(arguments.empty() ? "no arguments" : arguments.front());
        SimRunRequest request;
        request.arguments = arguments;
        request.headless = true;
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.exitStatus, kNoDisplayStatus) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_NE(run.output.find("no display"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("-p"), std::string::npos) << run.output;
        EXPECT_TRUE(run.calls.empty());
    }
}
#endif

}  // namespace
}  // namespace tarnel::test
