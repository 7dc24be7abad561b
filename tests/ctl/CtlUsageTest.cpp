#include <gtest/gtest.h>

#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"

using ctl_test::runCtl;

TEST(CtlUsageTest, HelpListsEveryCommandAndExitsZero) {
    for (const auto& args : {std::vector<std::string>{"--help"}, {"-h"}, {"fw", "--help"}}) {
        const auto run = runCtl(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("fw info FILE"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("fw pack OUT ID=FILE..."), std::string::npos);
        EXPECT_NE(run.out.find("--json"), std::string::npos);
        EXPECT_TRUE(run.err.empty());
    }
}

TEST(CtlUsageTest, BadCommandLinesGiveTheUsageOnStderrAndExitTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"fw"},
        {"frobnicate"},
        {"fw", "bogus"},
        {"--bogus", "fw", "info", "x"},
        {"fw", "info", "--seconds", "3", "x"},
        {"fw", "info"},
        {"fw", "info", "a", "b"},
        {"fw", "pack", "out.bin"},
        {"fw", "pack", "out.bin", "nofile"},
        {"fw", "pack", "out.bin", "=x"},
        {"fw", "pack", "out.bin", "256=x"},
        {"fw", "pack", "out.bin", "0xZZ=x"},
        {"--backend"},
        {"--backend", "wires", "fw", "info", "x"},
        {"--json=yes", "fw", "info", "x"},
    };
    for (const auto& args : bad) {
        const auto run = runCtl(args);
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(run.exitCode, 2) << line;
        EXPECT_TRUE(run.out.empty()) << line;
        EXPECT_EQ(run.err.rfind("auralis-ctl: ", 0), 0u) << line << run.err;
    }
    const auto missingValue = runCtl({"--backend"});
    EXPECT_NE(missingValue.err.find("needs a value"), std::string::npos);
    EXPECT_NE(missingValue.err.find("usage: auralis-ctl"), std::string::npos);
}

TEST(CtlUsageTest, BackendComesFromTheOptionOrTheEnvironment) {
    {
        testing_support::ScopedEnv backend("AURALIS_BACKEND", "carrier-pigeon");
        EXPECT_EQ(runCtl({"fw", "info", "x"}).exitCode, 2);
        // The option wins over the environment.
        EXPECT_EQ(runCtl({"--backend=sim", "fw", "info", "/nonexistent"}).exitCode, 1);
    }
    testing_support::ScopedEnv backend("AURALIS_BACKEND", "sim");
    EXPECT_EQ(runCtl({"fw", "info", "/nonexistent"}).exitCode, 1);
}
