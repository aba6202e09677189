// zavvfd-host: a command-line host for display libraries with the ten-function
// DISPLAYDLL_ interface. It loads the library by path, starts it, and runs
// display commands given as arguments, in a script file or on standard input.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "display_library.h"
#include "host_commands.h"

namespace {

enum ExitCode { kDone = 0, kUsage = 2, kLibrary = 3, kInitFailed = 4, kInterrupted = 130 };

#if defined(_WIN32)
const char kDefaultLibrary[] = "zavvfd.dll";
#else
const char kDefaultLibrary[] = "libzavvfd.so";
#endif

const char kHelp[] = R"(Usage: zavvfd-host [OPTIONS] [COMMAND ...]

Loads a display library with the DISPLAYDLL_ interface, starts it and runs display
commands, each argument one command (quote it), then stops the driver.

Options:
  --library PATH   the display library (default: %s beside this program)
  --params TEXT    startup parameters, e.g. COM1,38400 (default: the driver's own default)
  --script FILE    also run the commands in FILE, one per line; "-" reads standard input
  --info           print the driver name, usage hint and default parameters, then exit
  --help           print this text

Commands:
  line N               go to line N (1 or 2)
  text "..."           show text; \xNN puts in any byte but 00, \\ and \" themselves
  glyph N r0 ... r7    define custom character N (1-8) from 8 rows, top first, each as
                       hex (1F, 0x1F) or as a 5-dot pattern of . and # (e.g. .#.#.)
  index N              print the character code that shows custom character N
  brightness V         set the brightness, 0-255 (0-63 a quarter ... 192-255 full)
  wait MS              pause MS milliseconds
  # ...                a comment

All commands are checked before the driver starts. DISPLAYDLL_Done is always called
at the end, also after an error or Ctrl-C.

Exit status: 0 done, 2 usage error, 3 library not loadable or exports missing,
4 the driver did not start (its text is printed), 130 interrupted.

Example:
  zavvfd-host --params COM3,38400 'line 1' 'text "Hello"' 'glyph 1 .#.#. ##### ##### ##### .###. ..#.. ..... .....' \
              'line 2' 'text "I \x08 VFD"' 'brightness 128'
)";

volatile bool interrupted = false;

#if defined(_WIN32)
BOOL WINAPI OnConsoleControl(DWORD)
{
    interrupted = true;
    return TRUE;
}
void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
#else
void OnSignal(int) { interrupted = true; }
void CatchInterrupts()
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}
#endif

// The default library: beside this program.
std::string DefaultLibrary(const char* argv0)
{
    const std::string self = argv0;
    const std::size_t slash = self.find_last_of("/\\");
    return slash == std::string::npos ? std::string("./") + kDefaultLibrary : self.substr(0, slash + 1) + kDefaultLibrary;
}

struct Options {
    std::string library, params, script;
    bool haveParams = false, info = false, help = false;
    std::vector<std::string> commands;
};

bool ParseOptions(int argc, char** argv, Options& options, std::string& error)
{
    options.library = DefaultLibrary(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = arg + " wants a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--info") {
            options.info = true;
        } else if (arg == "--library") {
            if (!value(options.library))
                return false;
        } else if (arg == "--params") {
            if (!value(options.params))
                return false;
            options.haveParams = true;
        } else if (arg == "--script") {
            if (!value(options.script))
                return false;
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
            return false;
        } else {
            options.commands.push_back(arg);
        }
    }
    return true;
}

// All commands, from the arguments and then the script, checked; false on the first bad one.
bool LoadCommands(const Options& options, std::vector<HostCommand>& commands, std::string& error)
{
    auto add = [&](const std::string& line, const std::string& where) {
        HostCommand command;
        std::string why;
        if (!ParseHostCommand(line, command, why)) {
            error = where + ": " + why;
            return false;
        }
        commands.push_back(command);
        return true;
    };
    for (std::size_t i = 0; i < options.commands.size(); ++i)
        if (!add(options.commands[i], "command " + std::to_string(i + 1)))
            return false;
    if (options.script.empty())
        return true;
    std::ifstream file;
    std::istream* in = &std::cin;
    if (options.script != "-") {
        file.open(options.script);
        if (!file) {
            error = "cannot read the script " + options.script;
            return false;
        }
        in = &file;
    }
    int number = 0;
    for (std::string line; std::getline(*in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!add(line, options.script + ":" + std::to_string(++number)))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "zavvfd-host: %s (see --help)\n", error.c_str());
        return kUsage;
    }
    if (options.help) {
        std::printf(kHelp, kDefaultLibrary);
        return kDone;
    }
    std::vector<HostCommand> commands;
    if (!LoadCommands(options, commands, error)) {
        std::fprintf(stderr, "zavvfd-host: %s\n", error.c_str());
        return kUsage;
    }

    DisplayLibrary library(options.library);
    if (!library.LoadError().empty()) {
        std::fprintf(stderr, "zavvfd-host: cannot load %s: %s\n", options.library.c_str(), library.LoadError().c_str());
        return kLibrary;
    }
    if (!library.Missing().empty()) {
        std::string names;
        for (const std::string& name : library.Missing())
            names += (names.empty() ? "" : ", ") + name;
        std::fprintf(stderr, "zavvfd-host: %s lacks exports: %s\n", options.library.c_str(), names.c_str());
        return kLibrary;
    }
    const DisplayApi& display = library.api;
    if (options.info) {
        std::printf("driver:     %s\nusage:      %s\nparameters: %s\n", display.DriverName(), display.Usage(),
                    display.DefaultParameters());
        return kDone;
    }

    CatchInterrupts();
    const std::string params = options.haveParams ? options.params : display.DefaultParameters();
    unsigned char ok = 0;
    const std::string result = display.Init(0, 0, params.c_str(), &ok);
    if (!ok) {
        display.Done();
        std::fprintf(stderr, "zavvfd-host: the driver did not start with \"%s\": %s\n", params.c_str(), result.c_str());
        return kInitFailed;
    }
    std::printf("started %s with %s\n", result.c_str(), params.c_str());
    for (const HostCommand& command : commands) {
        if (interrupted)
            break;
        std::string out;
        RunHostCommand(display, command, out, interrupted);
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
    }
    display.Done();
    if (interrupted) {
        std::fprintf(stderr, "zavvfd-host: interrupted; the driver was stopped\n");
        return kInterrupted;
    }
    std::printf("done: %lu commands\n", static_cast<unsigned long>(commands.size()));
    return kDone;
}
