// zavvfd-vfd: a virtual VFD at the far end of a virtual serial line. It creates a
// pseudo-terminal, maps a COM number to it, decodes the display module's byte
// stream, shows the screen in the terminal and writes a PNG picture of it.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vfd_model.h"
#include "vfd_render.h"

namespace {

const char kHelp[] = R"(Usage: zavvfd-vfd [OPTIONS]

Plays the display module at the far end of a virtual serial line: creates a
pseudo-terminal, maps a COM number to it, decodes the bytes a driver sends and
shows the display.

Mapping (one of them):
  --library PATH      in the dosdevices folder beside this Linux display library
  --dosdevices DIR    in this dosdevices folder
  --wine-prefix DIR   in this Wine prefix (its registry and dosdevices folder)
  --com N             the COM number to map (default 1)

Display:
  --cols N            characters per line (default 20; the display has 2 lines)
  --trace             print every decoded command, with its offset in the stream
  --png FILE          write a picture of the display when leaving
  --idle-exit MS      leave after MS milliseconds without a byte (default: only on Ctrl-C)
  --help              print this text

When leaving, the screen is printed as text (codes outside ASCII as \xNN).
)";

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

struct Options {
    std::string library, dosdevices, winePrefix, png;
    int com = 1, columns = 20;
    long idleExitMs = -1;
    bool trace = false;
};

bool ParseInt(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error, bool& help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long number = 0;
        if (arg == "--help") {
            help = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (!hasValue) {
            error = "unknown option or missing value: " + arg;
            return false;
        } else if (arg == "--library") {
            options.library = argv[++i];
        } else if (arg == "--dosdevices") {
            options.dosdevices = argv[++i];
        } else if (arg == "--wine-prefix") {
            options.winePrefix = argv[++i];
        } else if (arg == "--png") {
            options.png = argv[++i];
        } else if (arg == "--com" && ParseInt(argv[i + 1], 1, 255, number)) {
            options.com = static_cast<int>(number);
            ++i;
        } else if (arg == "--cols" && ParseInt(argv[i + 1], 1, 80, number)) {
            options.columns = static_cast<int>(number);
            ++i;
        } else if (arg == "--idle-exit" && ParseInt(argv[i + 1], 0, 86400000, number)) {
            options.idleExitMs = number;
            ++i;
        } else {
            error = "bad option: " + arg + " " + argv[i + 1];
            return false;
        }
    }
    const int mappings = !options.library.empty() + !options.dosdevices.empty() + !options.winePrefix.empty();
    if (!help && mappings != 1) {
        error = "give exactly one of --library, --dosdevices, --wine-prefix";
        return false;
    }
    return true;
}

// The pseudo-terminal: the driver opens its slave side as a serial port; this
// program reads the master side. It keeps a slave descriptor of its own open, so
// that the master does not hang up between two driver sessions.
class Pty {
public:
    bool Open(std::string& error)
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        slaveName_ = ptsname(master_);
        slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        if (slave_ < 0 || tcgetattr(slave_, &raw) != 0) {
            error = std::string("cannot open ") + slaveName_ + ": " + std::strerror(errno);
            return false;
        }
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        return true;
    }
    ~Pty()
    {
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
    }
    int Master() const { return master_; }
    const std::string& SlaveName() const { return slaveName_; }

private:
    int master_ = -1, slave_ = -1;
    std::string slaveName_;
};

// A link comN -> device that exists while this program runs.
class ComLink {
public:
    bool Create(const std::string& folder, int com, const std::string& device, std::string& error)
    {
        mkdir(folder.c_str(), 0755);
        path_ = folder + "/com" + std::to_string(com);
        unlink(path_.c_str()); // a stale link from an earlier run
        if (symlink(device.c_str(), path_.c_str()) != 0) {
            error = "cannot create " + path_ + ": " + std::strerror(errno);
            path_.clear();
            return false;
        }
        return true;
    }
    ~ComLink()
    {
        if (!path_.empty())
            unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Records COMn = device in the Wine prefix's registry, where Wine's mount manager
// keeps its port mappings.
bool MapInWineRegistry(const std::string& prefix, int com, const std::string& device, std::string& error)
{
    const pid_t child = fork();
    if (child == 0) {
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        const std::string name = "COM" + std::to_string(com);
        execl("/usr/lib/wine/wine64", "wine64", "reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", name.c_str(), "/d",
              device.c_str(), "/f", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "wine64 reg add failed for " + prefix;
        return false;
    }
    return true;
}

std::string FolderOf(const std::string& file)
{
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : file.substr(0, slash);
}

// The live picture in the terminal: redrawn in place below the trace.
class LiveView {
public:
    explicit LiveView(bool enabled) : enabled_(enabled)
    {
        if (enabled_)
            std::fputs("\x1b[?25l", stdout); // hide the cursor while drawing
    }
    ~LiveView() { Finish(); }
    void Show(const vfd::Screen& screen, const std::vector<std::string>& trace)
    {
        if (!enabled_) {
            for (const std::string& line : trace)
                std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            return;
        }
        std::string out;
        if (height_ > 0)
            out += "\x1b[" + std::to_string(height_) + "F\x1b[J";
        for (const std::string& line : trace)
            out += line + "\n";
        const std::vector<std::string> lines = vfd::TerminalLines(screen);
        for (const std::string& line : lines)
            out += line + "\n";
        height_ = static_cast<int>(lines.size());
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
    }
    void Finish()
    {
        if (enabled_)
            std::fputs("\x1b[0m\x1b[?25h", stdout);
        enabled_ = false;
        std::fflush(stdout);
    }

private:
    bool enabled_;
    int height_ = 0;
};

void PrintScreen(const vfd::Screen& screen, const vfd::Decoder& decoder)
{
    std::printf("screen (%d x %d, brightness %d/4, %d malformed):\n", screen.lines, screen.columns, screen.brightness,
                decoder.Malformed());
    for (const std::string& line : screen.Plain())
        std::printf("|%s|\n", line.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    bool help = false;
    if (!ParseOptions(argc, argv, options, error, help)) {
        std::fprintf(stderr, "zavvfd-vfd: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(kHelp, stdout);
        return 0;
    }

    Pty pty;
    if (!pty.Open(error)) {
        std::fprintf(stderr, "zavvfd-vfd: %s\n", error.c_str());
        return 1;
    }
    ComLink link;
    const std::string folder = !options.library.empty()    ? FolderOf(options.library) + "/dosdevices"
                               : !options.dosdevices.empty() ? options.dosdevices
                                                             : options.winePrefix + "/dosdevices";
    if (!options.winePrefix.empty() && !MapInWineRegistry(options.winePrefix, options.com, pty.SlaveName(), error)) {
        std::fprintf(stderr, "zavvfd-vfd: %s\n", error.c_str());
        return 1;
    }
    if (!link.Create(folder, options.com, pty.SlaveName(), error)) {
        std::fprintf(stderr, "zavvfd-vfd: %s\n", error.c_str());
        return 1;
    }
    std::printf("virtual VFD on %s: COM%d mapped by %s%s\n", pty.SlaveName().c_str(), options.com,
                link.Path().c_str(), options.winePrefix.empty() ? "" : " and the Wine registry");
    std::fflush(stdout);

    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    vfd::Screen screen(2, options.columns);
    vfd::Decoder decoder(screen);
    LiveView view(isatty(STDOUT_FILENO) != 0);
    std::vector<std::string> trace;
    std::vector<std::string>* traceSink = options.trace ? &trace : nullptr;
    view.Show(screen, trace);

    using Clock = std::chrono::steady_clock;
    auto lastByte = Clock::now();
    while (!stopRequested) {
        if (options.idleExitMs >= 0 &&
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastByte).count() >= options.idleExitMs)
            break;
        pollfd ready{pty.Master(), POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        std::uint8_t buffer[4096];
        const ssize_t got = read(pty.Master(), buffer, sizeof(buffer));
        if (got <= 0)
            continue;
        lastByte = Clock::now();
        decoder.Feed(buffer, static_cast<std::size_t>(got), traceSink);
        view.Show(screen, trace);
        trace.clear();
    }
    decoder.Flush(traceSink);
    view.Show(screen, trace);
    view.Finish();
    PrintScreen(screen, decoder);
    if (!options.png.empty()) {
        if (!vfd::WritePng(vfd::Render(screen), options.png, error)) {
            std::fprintf(stderr, "zavvfd-vfd: cannot write %s: %s\n", options.png.c_str(), error.c_str());
            return 1;
        }
        std::printf("picture: %s\n", options.png.c_str());
    }
    return 0;
}
