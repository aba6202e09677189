// The command-line host as users run it: exit codes, messages, and a real run
// against the Linux library over a pseudo-terminal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "linux_fixtures.h"

using fixtures::Bytes;
using fixtures::InstalledLibrary;
using fixtures::PtyPair;

namespace {

struct HostRun {
    int status = -1;
    std::string output; // standard output and error together
};

// Runs the host with args; with interruptAfterMs >= 0 it gets SIGINT after that long.
HostRun RunHost(std::vector<std::string> args, const std::string& input = "", int interruptAfterMs = -1)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return {};
    args.insert(args.begin(), ZAVVFD_HOST);
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[1]);
        close(out[0]);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0)
        return {};
    close(in[1]);
    if (interruptAfterMs >= 0) {
        usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
        kill(child, SIGINT);
    }
    HostRun run;
    char buffer[4096];
    for (ssize_t got; (got = read(out[0], buffer, sizeof(buffer))) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(got));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class HostCliTest : public ::testing::Test {
protected:
    void SetUp() override { installed.Map(5, port.SlaveName()); }
    PtyPair port;
    InstalledLibrary installed;
};

TEST_F(HostCliTest, ExitCodesAndMessages)
{
    const std::string library = installed.LibraryPath();
    struct Case { std::vector<std::string> args; int status; std::string says; };
    const Case cases[] = {
        {{"--help"}, 0, "Exit status: 0 done, 2 usage error"},
        {{"--library", library, "--info"}, 0,
         "driver:     ZAV VFD Display DLL v1.0\nusage:      Usage: COM1,38400\nparameters: COM1,38400\n"},
        {{"--frobnicate"}, 2, "unknown option --frobnicate"},
        {{"--library", library, "line 1", "blink"}, 2, "command 2: unknown command 'blink'"},
        {{"--library", library, "text \"a\\x00\""}, 2, "\\x00 cannot be sent"},
        {{"--library", library, "glyph 1 1F 1F"}, 2, "glyph wants a number and eight rows"},
        {{"--library", library, "glyph 1 1F 1F 1F 1F 1F 1F 1F #.#"}, 2, "glyph row 7 '#.#'"},
        {{"--library", library, "--script", "/nonexistent/script"}, 2, "cannot read the script"},
        {{"--library", "/nonexistent/libdisplay.so", "--info"}, 3, "cannot load /nonexistent/libdisplay.so"},
        {{"--library", PARTIAL_LIBRARY, "--info"}, 3,
         "lacks exports: DISPLAYDLL_Init, DISPLAYDLL_Usage, DISPLAYDLL_DefaultParameters, DISPLAYDLL_SetPosition, "
         "DISPLAYDLL_Write, DISPLAYDLL_CustomCharIndex, DISPLAYDLL_CustomChar, DISPLAYDLL_SetBrightness"},
        {{"--library", library, "--params", "COM5"}, 4, "ZAVVFD.DLL Exception: Invalid Baud Rate"},
        {{"--library", library, "--params", "COM5,38400", "index 1", "index 0"}, 0, "index 1 = 8\nindex 0 = 7\n"},
    };
    for (const Case& c : cases) {
        const HostRun run = RunHost(c.args);
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

TEST_F(HostCliTest, ArgumentsThenScriptReachTheDisplay)
{
    const HostRun run = RunHost({"--library", installed.LibraryPath(), "--params", "com5, 38400", "line 2",
                             "text \"A\\x08\\\"\"", "--script", "-"},
                            "# from standard input\nglyph 1 ..#.. 1f 0x1F ##### . . . .\n\nbrightness 70\r\n");
    // Rows "." are not five dots: the whole run is refused before the driver starts.
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(port.Take(0), Bytes{});

    const HostRun good = RunHost({"--library", installed.LibraryPath(), "--params", "com5, 38400", "line 2",
                              "text \"A\\x08\\\"\"", "--script", "-"},
                             "# from standard input\nglyph 1 ..#.. 1f 0x1F ##### 0 0 0 0\n\nbrightness 70\r\n");
    EXPECT_EQ(good.status, 0) << good.output;
    const Bytes expected = {0x00, 0xA2, 0x00, 0xA7, 'A', 0x08, '"', 0x00, 0xAB, 0, 0, 0x04, 0xAB, 0, 1, 0x1F,
                            0xAB, 0, 2, 0x1F, 0xAB, 0, 3, 0x1F, 0xAB, 0, 4, 0, 0xAB, 0, 5, 0,
                            0xAB, 0, 6, 0, 0xAB, 0, 7, 0, 0x00, 0xA5, 0x3A};
    EXPECT_EQ(port.Take(expected.size()), expected);
}

TEST_F(HostCliTest, AnotherProcessIsRefusedAHeldPortAndTheHolderGoesOn)
{
    auto holder = installed.Load();
    unsigned char ok = 0;
    ASSERT_EQ(std::string(holder->api.Init(0, 0, "COM5,38400", &ok)), "ZAV VFD Display DLL v1.0");
    const HostRun run = RunHost({"--library", installed.LibraryPath(), "--params", "COM5,38400", "text \"x\""});
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_NE(run.output.find("ZAVVFD.DLL Exception: " + std::string(std::strerror(EBUSY))), std::string::npos)
        << run.output;
    holder->api.Write("still here");
    const std::string expected = std::string("\0\xA7", 2) + "still here";
    EXPECT_EQ(port.Take(expected.size()), Bytes(expected.begin(), expected.end()));
    holder->api.Done();
}

TEST_F(HostCliTest, CtrlCStopsTheDriverAndExits)
{
    const HostRun run = RunHost({"--library", installed.LibraryPath(), "--params", "COM5,38400", "wait 20000",
                             "text \"never\""},
                            "", 300);
    EXPECT_EQ(run.status, 130) << run.output;
    EXPECT_NE(run.output.find("interrupted; the driver was stopped"), std::string::npos) << run.output;
    EXPECT_EQ(port.Take(0), Bytes{});
    EXPECT_EQ(port.Holders(), 0);
}

} // namespace
