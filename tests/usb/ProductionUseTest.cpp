// Production use over emulated adapters: listing them, choosing one, and programming every
// connected board at once with a gang of tarnel-cli.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
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

    SimRunResult Gang(std::vector<std::string> options, const std::vector<std::string>& gang);
    // The gang's report.json, or a discarded value when there is none.
    nlohmann::json Report() const;

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

// A gang of tarnel-cli over the emulated adapters; `options` for the emulator.
SimRunResult ProductionUse::Gang(std::vector<std::string> options,
                                 const std::vector<std::string>& gang) {
    const fs::path cli = dir_ / "tarnel-cli";
    if (!fs::exists(cli)) {
        fs::copy_file(TARNEL_CLI_TOOL, cli);
    }
    std::vector<std::string> command = {cli.string()};
    command.insert(command.end(), gang.begin(), gang.end());
    return Emulate(std::move(options), command);
}

nlohmann::json ProductionUse::Report() const {
    std::ifstream file(dir_ / "report.json");
    return nlohmann::json::parse(file, nullptr, false);
}

TEST_F(ProductionUse, AGangProgramsEveryGoodBoardAndReportsEachOne) {
    // Adapter 1 vanishes during the upload, adapter 2's erase fails, adapter 3 is sound.
    const SimRunResult run =
        Gang({"--adapters=3", "--unplug-at=10", "--adapter-faults=2:erase-error"},
             {"--all", "--report", (dir_ / "report.json").string(), image_});
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_FALSE(Programmed("EMU00001"));
    EXPECT_FALSE(Programmed("EMU00002"));
    EXPECT_TRUE(Programmed("EMU00003"));
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(
        lines.back(), std::regex("1 of 3 boards programmed in [0-9.]+ s; failed: 1-1 EMU00001 "
                                 "Error uploading bootloader, 1-2 EMU00002 Mass erase error")))
        << run.output;

    const nlohmann::json report = Report();
    ASSERT_TRUE(report.contains("boards")) << report;
    struct Expected {
        const char* serial;
        const char* outcome;
        const char* message;
        const char* flash;
        int pages;
    };
    const Expected expected[] = {
        {"EMU00001", "failure", "Error uploading bootloader", "unchanged", 0},
        {"EMU00002", "failure", "Mass erase error", "erase-begun", 0},
        {"EMU00003", "success", "", "programmed", 3},
    };
    ASSERT_EQ(report["boards"].size(), 3u) << report;
    for (std::size_t i = 0; i < 3; ++i) {
        const nlohmann::json& record = report["boards"][i];
        SCOPED_TRACE(record.dump());
        EXPECT_EQ(record["serial"], expected[i].serial);
        EXPECT_EQ(record["port"], "1-" + std::to_string(i + 1));
        EXPECT_EQ(record["outcome"], expected[i].outcome);
        EXPECT_EQ(record["message"], expected[i].message);
        EXPECT_EQ(record["flash"], expected[i].flash);
        EXPECT_EQ(record["pages"], expected[i].pages);
        EXPECT_EQ(record["image"], image_);
        // The CRC-32 of the 32768 words, low byte first, computed apart from the tool.
        EXPECT_EQ(record["crc32"], "1F665EB3");
        EXPECT_LE(record["start"].get<std::string>(), record["end"].get<std::string>());
        EXPECT_EQ(record["version"], TARNEL_VERSION);
    }
}

TEST_F(ProductionUse, AGangStartsNothingWhenTheImageIsRefusedOrNoAdapterIsUsable) {
    SimRunResult run = Gang({"--adapters=2"}, {"--all", (dir_ / "missing.rom").string()});
    EXPECT_EQ(run.exitStatus, 2) << run.output;
    EXPECT_NE(run.output.find("tarnel-cli: Cannot read flash image: "), std::string::npos)
        << run.output;
    EXPECT_TRUE(fs::is_empty(dir_ / "flashes"));

    run = Gang({"--no-permission"}, {"--all", image_});
    EXPECT_EQ(run.exitStatus, 2) << run.output;
    EXPECT_NE(run.output.find("no usable adapter"), std::string::npos) << run.output;
}

TEST_F(ProductionUse, CtrlCStopsEveryChildAndTheReportSaysWhatEachFlashHolds) {
    // A full image, and the stop when the USB trace shows that the boards are about half
    // way (a whole run of three makes about 1800 bulk OUT transfers), most of them then
    // programming pages.
    std::map<unsigned, std::uint16_t> full;
    for (unsigned address = 0; address < 0x8000; ++address) {
        full[address] = static_cast<std::uint16_t>(address * 7 + 1);
    }
    WriteImageFile(image_, full);
    const fs::path cli = dir_ / "tarnel-cli";
    fs::copy_file(TARNEL_CLI_TOOL, cli);
    const std::string script =
        "cd '" + dir_.string() + "' || exit 9; '" + cli.string() +
        "' --all --report report.json '" + image_ +
        "' & gang=$!; i=0; until [ $(grep -c ' OUT ' usb.txt) -ge 900 ] || [ $i -ge 1500 ]; "
        "do sleep 0.02; i=$((i+1)); done; kill -INT $gang; wait $gang";
    const SimRunResult run = Emulate({"--adapters=3", "--usb-trace=" + (dir_ / "usb.txt").string()},
                                     {"sh", "-c", script});
    EXPECT_EQ(run.exitStatus, 130) << run.output;
    const nlohmann::json report = Report();
    ASSERT_EQ(report["boards"].size(), 3u) << report;
    for (const nlohmann::json& record : report["boards"]) {
        SCOPED_TRACE(record.dump());
        EXPECT_EQ(record["outcome"], "interrupted");
        // What the record says of the flash holds: the pages it names are written, and at
        // most one more (the page in flight when the stop came).
        std::ifstream flash(dir_ / "flashes" / (record["serial"].get<std::string>() + ".rom"));
        int written = 0;  // pages whose first word the flash holds
        for (std::string line; std::getline(flash, line);) {
            written += line.size() == 12 && line.compare(5, 2, "00") == 0;
        }
        const int pages = record["pages"];
        if (record["flash"] == "unchanged") {
            EXPECT_FALSE(flash.is_open());
        } else {
            EXPECT_TRUE(record["flash"] == "erase-begun" || record["flash"] == "partly-programmed");
            EXPECT_GE(written, pages);
            EXPECT_LE(written, pages + 1);
        }
    }
    EXPECT_NE(run.output.find("stopped: 1-1 EMU00001, 1-2 EMU00002, 1-3 EMU00003"),
              std::string::npos)
        << run.output;
}

TEST_F(ProductionUse, TheLiveTableKeepsOneRowPerBoardWithinEightyColumns) {
    // script(1) gives the gang a terminal and copies what it shows.
    const fs::path cli = dir_ / "tarnel-cli";
    fs::copy_file(TARNEL_CLI_TOOL, cli);
    const SimRunResult run =
        Emulate({"--adapters=8"},
                {"/usr/bin/script", "-qec", cli.string() + " --all " + image_, "/dev/null"});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // Every drawing of the table: up to the cursor's way back to its first row.
    std::string shown = std::regex_replace(run.output, std::regex("\x1b\\[K"), "");
    std::vector<std::string> drawings;
    for (std::size_t at = 0; at < shown.size();) {
        const std::size_t back = shown.find("\x1b[8A", at);
        drawings.push_back(shown.substr(at, back == std::string::npos ? back : back - at));
        at = back == std::string::npos ? shown.size() : back + 4;
    }
    ASSERT_GE(drawings.size(), 2u) << run.output;
    for (const std::string& drawing : drawings) {
        std::vector<std::string> rows;
        std::istringstream in(drawing);
        for (std::string row; std::getline(in, row);) {
            row.erase(std::remove(row.begin(), row.end(), '\r'), row.end());
            EXPECT_LE(row.size(), 80u) << row;
            rows.push_back(row);
        }
        ASSERT_GE(rows.size(), 8u) << drawing;
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_EQ(rows[i].rfind("1-" + std::to_string(i + 1) + " ", 0), 0u) << rows[i];
        }
    }
    EXPECT_NE(drawings.back().find("8 of 8 boards programmed in "), std::string::npos);
    for (int i = 1; i <= 8; ++i) {
        EXPECT_TRUE(Programmed("EMU0000" + std::to_string(i))) << i;
    }
}

}  // namespace
}  // namespace tarnel::test
