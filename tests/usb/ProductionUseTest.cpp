// Production use over emulated adapters: listing them, choosing one, and programming every
// connected board at once with examples/program-all.sh.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ToolFolder.h"
#include "support/ImageFile.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

const std::map<unsigned, std::uint16_t> kImage = {
    {0x0000, 0x1111}, {0x0100, 0x2222}, {0x0200, 0x3333}};

class ProductionUse : public ::testing::Test {
protected:
    // tarnel with the stand-in bootloader beside it, and one flash file per adapter.
    ProductionUse() : dir_(MakeToolFolder()) {
        EXPECT_FALSE(dir_.empty());
        fs::create_directory(dir_ / "flashes");
        image_ = (dir_ / "board.rom").string();
        WriteImageFile(image_, kImage);
        ::chmod(image_.c_str(), 0644);
    }
    ~ProductionUse() override { fs::remove_all(dir_); }

    // Runs `command` under the emulator with `options`, each adapter with its own flash.
    SimRunResult Emulate(std::vector<std::string> options,
                         const std::vector<std::string>& command) {
        SimRunRequest request;
        request.executable = TARNEL_USB_EMULATOR;
        request.arguments = std::move(options);
        request.arguments.push_back("--flash-dir=" + (dir_ / "flashes").string());
        request.arguments.push_back("--");
        request.arguments.insert(request.arguments.end(), command.begin(), command.end());
        request.headless = true;
        SimRunResult run = RunTarnelSim(request);
        EXPECT_FALSE(run.timedOut) << run.output;
        EXPECT_NE(run.exitStatus, 69) << run.output;  // umockdev could not be set up
        return run;
    }

    std::vector<std::string> Tool(const std::string& adapter) const {
        return {"env", "TARNEL_ADAPTER=" + adapter, (dir_ / "tarnel").string(), "-cc", "-p",
                image_};
    }

    // Whether the flash of adapter `serial` holds the image; false when it was never written.
    bool Programmed(const std::string& serial) const {
        std::ifstream file(dir_ / "flashes" / (serial + ".rom"));
        std::stringstream text;
        text << file.rdbuf();
        return file.is_open() && text.str() == "@000000 1111\n@000100 2222\n@000200 3333\n";
    }

    fs::path dir_;
    std::string image_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("QStandardPaths:", 0) != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(ProductionUse, AdaptersAreListedFirstInPortOrderWithTheirAccess) {
    SimRunResult run = Emulate({"--adapters=2", "--foreign-first"}, {TARNEL_ADAPTERS_TOOL});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(Lines(run.output), (std::vector<std::string>{"1-2 EMU00001 001/003 usable",
                                                           "1-3 EMU00002 001/004 usable"}));

    // As root the lister runs as nobody: a copy in the folder every user may read.
    const fs::path lister = dir_ / "tarnel-adapters";
    fs::copy_file(TARNEL_ADAPTERS_TOOL, lister);
    run = Emulate({"--no-permission"}, {lister.string()});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.output.rfind("1-1 EMU00001 001/002 no-permission (", 0), 0u) << run.output;

    // From a folder that nobody may enter, the emulator says why it cannot start the lister.
    if (::geteuid() == 0) {
        const fs::path closed = dir_ / "closed";
        fs::create_directory(closed);
        fs::copy_file(TARNEL_ADAPTERS_TOOL, closed / "tarnel-adapters");
        ::chmod(closed.c_str(), 0700);
        run = Emulate({"--no-permission"}, {(closed / "tarnel-adapters").string()});
        EXPECT_EQ(run.exitStatus, 126);
        EXPECT_NE(run.output.find("the user nobody may not run"), std::string::npos) << run.output;
    }
}

TEST_F(ProductionUse, TarnelAdapterChoosesOneAdapterBySerialOrPort) {
    struct Choice {
        const char* adapter;
        int exitStatus;
        const char* programmed;  // serial of the adapter whose flash holds the image
    };
    for (const Choice& c : {Choice{"EMU00002", 0, "EMU00002"}, Choice{"1-3", 0, "EMU00003"},
                            Choice{"EMU00009", 2, ""}, Choice{"1-9", 2, ""}}) {
        SCOPED_TRACE(c.adapter);
        fs::remove_all(dir_ / "flashes");
        fs::create_directory(dir_ / "flashes");
        const SimRunResult run = Emulate({"--adapters=3"}, Tool(c.adapter));
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
        for (const char* serial : {"EMU00001", "EMU00002", "EMU00003"}) {
            EXPECT_EQ(Programmed(serial), std::string(serial) == c.programmed) << serial;
        }
    }

    // --adapter replaces TARNEL_ADAPTER.
    fs::remove_all(dir_ / "flashes");
    fs::create_directory(dir_ / "flashes");
    std::vector<std::string> command = Tool("EMU00001");
    command.insert(command.end() - 1, "--adapter=1-2");
    EXPECT_EQ(Emulate({"--adapters=2"}, command).exitStatus, 0);
    EXPECT_TRUE(Programmed("EMU00002"));
    EXPECT_FALSE(Programmed("EMU00001"));
}

TEST_F(ProductionUse, TarnelCliProgramsTheAdapterItIsGiven) {
    const fs::path cli = dir_ / "tarnel-cli";
    fs::copy_file(TARNEL_CLI_TOOL, cli);
    SimRunResult run = Emulate({"--adapters=2"}, {cli.string(), "--adapter", "1-2", image_});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    const std::vector<std::string> said = Lines(run.output);
    ASSERT_EQ(said.size(), 1u) << run.output;
    EXPECT_EQ(said[0].rfind("tarnel-cli: programmed 3 pages (768 words) through adapter EMU00002 "
                            "at 1-2 in ",
                            0),
              0u)
        << said[0];
    EXPECT_TRUE(Programmed("EMU00002"));
    EXPECT_FALSE(Programmed("EMU00001"));

    // An adapter that is not there: the line names it and every one that is.
    run = Emulate({"--adapters=2"}, {cli.string(), "-a", "EMU00009", image_});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(Lines(run.output),
              std::vector<std::string>{
                  "tarnel-cli: Dravin not found!: no adapter EMU00009 among those connected: "
                  "EMU00001 at 1-1, EMU00002 at 1-2; run tarnel-adapters to list the adapters "
                  "this user may open"});

    // Another program holds the adapter asked for.
    run = Emulate({"--adapters=2", "--held-adapter=1"}, {cli.string(), "-a", "1-1", image_});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(Lines(run.output),
              std::vector<std::string>{
                  "tarnel-cli: Dravin not found!: EMU00001 at 1-1 is in use by another program; "
                  "run tarnel-adapters to list the adapters this user may open"});
}

TEST_F(ProductionUse, ProgramAllProgramsEveryBoardAndNamesTheOneThatFailed) {
    fs::copy_file(TARNEL_CLI_TOOL, dir_ / "tarnel-cli");
    const std::vector<std::string> programAll = {
        "env", "TARNEL_CLI=" + (dir_ / "tarnel-cli").string(),
        "TARNEL_ADAPTERS=" TARNEL_ADAPTERS_TOOL, TARNEL_PROGRAM_ALL, image_};

    SimRunResult run = Emulate({"--adapters=2"}, programAll);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0].rfind("1-1 EMU00001 ok ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("1-2 EMU00002 ok ", 0), 0u) << lines[1];
    EXPECT_TRUE(Programmed("EMU00001") && Programmed("EMU00002"));

    fs::remove_all(dir_ / "flashes");
    fs::create_directory(dir_ / "flashes");
    run = Emulate({"--adapters=3", "--adapter-faults=2:page-error=1"}, programAll);
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    EXPECT_EQ(lines[0].rfind("1-1 EMU00001 ok ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "1-2 EMU00002 failed 1 Page programming error");
    EXPECT_EQ(lines[2].rfind("1-3 EMU00003 ok ", 0), 0u) << lines[2];
    EXPECT_TRUE(Programmed("EMU00001") && Programmed("EMU00003"));
    EXPECT_FALSE(Programmed("EMU00002"));
}

}  // namespace
}  // namespace tarnel::test
