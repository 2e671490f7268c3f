#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "HostMessages.h"
#include "HostSession.h"
#include "LoopbackPeer.h"
#include "Padsim.h"
#include "PseudoTerminal.h"

namespace {

using namespace testsupport;

TEST(CommandLoop, CloseWithoutOpenSaysGoodbyeAndExitsZero) {
    TemporaryRoot root;
    HostSession host(root);
    ASSERT_TRUE(host.SendClose());
    const std::string bytes = host.process().Read(25, 5000ms);
    EXPECT_EQ(bytes, Frame(kGoodbye));
    EXPECT_TRUE(host.process().OutputEnds(5000ms));
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    EXPECT_NE(host.process().ErrorOutput().find("Message is STOP\n"), std::string::npos);
}

// --help and --version answer on standard output; what browsers pass (Chrome: the caller's
// origin, on Windows a window handle; Firefox: the manifest's path and the extension's id) leaves
// the host serving as always. An empty pattern marks a host that must serve.
TEST(CommandLoop, AnswersHelpAndVersionAndServesWhateverBrowsersPass) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--help"}, "^Usage: Lumarq\\.OrvaneSignExtension [\\s\\S]*ROOT/windows/Inkora\\.ini"},
        {{"-h", "chrome-extension://x/"}, "^Usage: "},
        {{"--version"}, "^Lumarq\\.OrvaneSignExtension " HOST_PACKAGE_VERSION "\n$"},
        {{"chrome-extension://lpgpmhiljaeoagdmcipdfbleekjelifd/", "--parent-window=0"}, ""},
        {{"/usr/lib/mozilla/native-messaging-hosts/a.json", "signing-pad@lumarq.example"}, ""},
        {{"chrome-extension://x/", "--help"}, ""},
    };
    for (const auto& [arguments, pattern] : cases) {
        SCOPED_TRACE(arguments.front());
        TemporaryRoot root;
        std::vector<std::string> argv = {HostBinary()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        HostSession host(argv, {{"INKORA_ROOT", root.path()}});
        if (pattern.empty()) {
            host.CloseExpectingGoodbyeLast();
            continue;
        }
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
        const std::string expected = std::regex_replace(pattern, std::regex("ROOT"), root.path());
        EXPECT_TRUE(std::regex_search(output, std::regex(expected))) << output;
        EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    }
}

// --check reports the settings and what the pad answered, and exits 1 when no pad answered; a
// pad that the numbers query cannot reach (the USB pipe takes no writes, the TCP client's pad
// server answers nothing) is said to be so, with exit code 0. (No case leaves the transport to its
// default: that would open the machine's first serial port.)
TEST(CommandLoop, CheckReportsTheSettingsAndThePadAndExitsOneWithoutAPad) {
    const uint16_t port = loopback::FreePort();
    const loopback::Server padServer;  // takes connections into its backlog, sends nothing
    enum class Pad { kNone, kBridge, kUsbPipe, kSilentLine };
    struct Case {
        std::optional<std::string> settings;  // LINE stands for the silent line's number
        Pad pad;
        std::vector<std::string> said;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {std::nullopt, Pad::kNone, {"Inkora.ini\n  cannot be read"}, 1},
        {"[Tablet]\nTabletType=1\nTabletModle=Pad2\n",
         Pad::kNone,
         {"  TabletType                 1                  file\n",
          "  TabletModel                Tablet             default\n",
          "[Tablet] holds TabletModle, which the host does not read", "Transport: kind 1, none",
          "No pad found"},
         1},
        {"[Tablet]\nTabletType=7\nTabletPortPath=pad-1\nSocketTimeout=5000\nSocketPort=" +
             std::to_string(port - 1) + "\n",
         Pad::kBridge,
         {"TCP listener on port " + std::to_string(port) + ", for a bridge presenting \"pad-1\"",
          "Pad: serial number 123456, model 5, logical size 2150 x 1400\n"},
         0},
        {"[Tablet]\nTabletType=2\n",
         Pad::kUsbPipe,
         {"Opened. The legacy USB pipe driver takes no writes, so the numbers query is never sent",
          "logical size 2150 x 1400\n"},
         0},
        {"[Tablet]\nTabletType=5\nSocketPort=" + std::to_string(padServer.port()) + "\n",
         Pad::kNone,
         {"Opened. The pad server sends finished points and answers nothing, so the numbers "
          "query is never sent"},
         0},
        {"[Tablet]\nTabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort=LINE\n",
         Pad::kSilentLine,
         {"Opened, but nothing answered the numbers query"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.value_or("no settings file"));
        TemporaryRoot root;
        std::unique_ptr<PseudoTerminal> line;
        if (c.pad == Pad::kSilentLine) {
            line = std::make_unique<PseudoTerminal>();
        }
        if (c.settings) {
            root.WriteSettings(std::regex_replace(*c.settings, std::regex("LINE"),
                                                  line ? std::to_string(line->Number()) : ""));
        }
        int pipePad = -1;
        if (c.pad == Pad::kUsbPipe) {
            std::filesystem::create_directory(root.path() + "/dev");
            const std::string node = root.path() + "/dev/inkora-usbpipe0";
            ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
            pipePad = open(node.c_str(), O_RDWR);  // the driver's side, open across the check
        }
        const auto bridge =
            c.pad == Pad::kBridge ? StartPadsimBridge(port, "pad-1", 10, {}) : nullptr;
        HostSession host({HostBinary(), "--check"}, {{"INKORA_ROOT", root.path()}});
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(15000ms, &output));
        for (const std::string& text : c.said) {
            EXPECT_NE(output.find(text), std::string::npos) << text << "\nin\n" << output;
        }
        EXPECT_EQ(host.process().WaitForExit(5000ms), c.exitCode) << output;
        if (pipePad >= 0) {
            close(pipePad);
        }
    }
}

TEST(CommandLoop, TraceLinesStayOffStandardErrorUnlessAskedFor) {
    unsetenv("INKORA_TRACE");
    for (const ChildProcess::Environment& quiet :
         {ChildProcess::Environment{}, ChildProcess::Environment{{"INKORA_TRACE", "0"}}}) {
        TemporaryRoot root;
        ChildProcess::Environment environment = quiet;
        environment.emplace_back("INKORA_ROOT", root.path());
        HostSession host({HostBinary()}, environment);
        host.Send("hello");
        host.CloseExpectingGoodbyeLast();
        EXPECT_EQ(host.process().ErrorOutput(), "");
    }
}

// Commands match byte for byte. A settings file whose pad kind has no transport makes a taken
// OPEN visible (the zero reply), so that one taken by mistake cannot pass for one ignored.
TEST(CommandLoop, IgnoresEveryBodyThatIsNotExactlyACommand) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\nTabletType=1\n");
    HostSession host(root);
    const std::string open = "{\"command\":\"OPEN\"}";
    const std::string close = "{\"command\":\"CLOSE\"}";
    for (const std::string& command : {open, close}) {
        host.Send(command + " ");
        host.Send(command + std::string(1, '\0'));  // equal up to the first zero byte
        host.Send(" " + command);
        host.Send(command.substr(0, command.size() - 1));
    }
    host.Send("{\"command\":\"open\"}");
    host.Send("{\"command\":\"close\"}");
    host.Send(std::string("{\"command\"\0:\"CLOSE\"}", 19));
    host.Send("garbage");
    ASSERT_TRUE(host.process().WaitForErrorOutput("garbage"));
    EXPECT_EQ(host.process().Read(1, 200ms), "") << "an ignored message was answered";
    EXPECT_TRUE(host.process().Running());
    host.SendOpen();
    EXPECT_EQ(host.ReadFrame(), kZeroOpenReply);
    host.SendClose();
    EXPECT_EQ(host.ReadFrame(), kGoodbye);
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

TEST(CommandLoop, RejectedLengthsEndTheHostSilentlyWithExitZero) {
    const std::vector<std::string> rejections = {
        std::string("\0\0\0\0", 4),                           // empty message
        std::string("\x15\0\0\0", 4) + std::string(21, 'x'),  // 21 bytes
        std::string("\0\0\0\x12", 4),                         // big-endian length
        std::string("\x05\0", 2),                             // end of input inside the length
    };
    for (const std::string& input : rejections) {
        TemporaryRoot root;
        HostSession host(root);
        host.process().Write(input);
        host.process().CloseInput();
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
        EXPECT_EQ(output, "");
        EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
        EXPECT_NE(host.process().ErrorOutput().find("JSON Input string exceeded the max Length."),
                  std::string::npos);
    }
}

TEST(CommandLoop, EndOfInputInsideABodyIsIgnoredThenEndsTheHost) {
    TemporaryRoot root;
    HostSession host(root);
    host.process().Write(std::string("\x13\0\0\0", 4) + "{\"command\":\"CLOSE");
    host.process().CloseInput();
    std::string output;
    EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

TEST(CommandLoop, SecondInstanceExitsOneWhileTheFirstKeepsServing) {
    TemporaryRoot root;
    HostSession first(root);
    first.Send("hello");
    ASSERT_TRUE(first.process().WaitForErrorOutput("hello"));

    HostSession second(root);
    second.SendClose();
    std::string output;
    EXPECT_TRUE(second.process().OutputEnds(5000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(second.process().WaitForExit(5000ms), 1);
    EXPECT_NE(second.process().ErrorOutput().find(
                  "Another instance of the application is already running"),
              std::string::npos);

    first.SendClose();
    EXPECT_EQ(first.ReadFrame(), kGoodbye);
    EXPECT_EQ(first.process().WaitForExit(5000ms), 0);
}

// A PID namespace of its own with a fresh /proc, held by a process sleeping in it, so that the
// hosts that enter it count each other and nothing else on the machine.
class PidNamespace {
public:
    PidNamespace()
        : holder_(
              {"/usr/bin/unshare", "-p", "-f", "--kill-child", "--mount-proc", "sleep", "600"}) {
        const std::string children = "/proc/" + std::to_string(holder_.pid()) + "/task/" +
                                     std::to_string(holder_.pid()) + "/children";
        for (int tries = 0; tries < 200 && !(std::ifstream(children) >> first_); ++tries) {
            std::this_thread::sleep_for(5ms);
        }
    }
    bool Made() const { return first_ > 0; }
    // The host run inside the namespace as the user `uid` (group the same number).
    std::unique_ptr<HostSession> Host(const TemporaryRoot& root, uid_t uid) const {
        return std::make_unique<HostSession>(Entered(uid, {HostBinary()}), HostEnvironment(root));
    }
    // A command run inside the namespace as the user `uid`.
    std::unique_ptr<ChildProcess> Run(uid_t uid, const std::vector<std::string>& command) const {
        return std::make_unique<ChildProcess>(Entered(uid, command));
    }

private:
    std::vector<std::string> Entered(uid_t uid, const std::vector<std::string>& command) const {
        const std::string id = std::to_string(uid);
        std::vector<std::string> argv = {
            "/usr/bin/nsenter", "-t", std::to_string(first_), "-p", "-m", "-S", id, "-G", id, "--"};
        argv.insert(argv.end(), command.begin(), command.end());
        return argv;
    }
    ChildProcess holder_;
    pid_t first_ = 0;
};

// The lock file of the user `uid` in the temp folder.
std::string LockFileOf(const TemporaryRoot& root, uid_t uid) {
    return root.TempPath("LumarqSignAppBrowser." + std::to_string(uid) + ".lock");
}

// Whether some process holds the lock on that user's lock file, and the file is that user's.
bool LockFileHeld(const TemporaryRoot& root, uid_t uid) {
    const int fd = open(LockFileOf(root, uid).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    const bool held = fd >= 0 && fstat(fd, &status) == 0 && status.st_uid == uid &&
                      flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (fd >= 0) {
        close(fd);
    }
    return held;
}

// Makes the temp folder shared by every user, as /tmp is.
void ShareTempFolder(const TemporaryRoot& root) {
    chmod(root.path().c_str(), 0755);
    chmod(root.WindowsDirectory().c_str(), 0755);
    chmod(root.TempDirectory().c_str(), 01777);
}

bool CanSwitchUsersInAPidNamespace() {
    if (geteuid() != 0 ||
        std::system("/usr/bin/unshare -p -f --mount-proc true 2>/dev/null") != 0) {
        std::printf("not run: switching users in a PID namespace needs root\n");
        return false;
    }
    return true;
}

// The host runs once per user: a second copy of the same user ends at once with exit code 1,
// while another user's copy serves beside the first (on a shared machine one user must not be
// able to block another's pad). Each case in a PID namespace of its own.
TEST(CommandLoop, OneHostPerUserWhileAnotherUsersHostServesBeside) {
    if (!CanSwitchUsersInAPidNamespace()) {
        return;
    }
    struct Case {
        const char* name;
        uid_t firstUser;
        uid_t secondUser;
        bool secondServes;
    };
    const Case cases[] = {
        {"two hosts of one user", 61001, 61001, false},
        {"two hosts of two users", 61001, 61002, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryRoot root;
        ShareTempFolder(root);
        PidNamespace space;
        ASSERT_TRUE(space.Made());
        const auto first = space.Host(root, c.firstUser);
        first->Send("hello");
        ASSERT_TRUE(first->process().WaitForErrorOutput("hello"));

        const auto second = space.Host(root, c.secondUser);
        if (c.secondServes) {
            // Each host holds a lock file of its own; a host that could not lock goes on
            // serving, so serving alone does not show it.
            second->Send("hello");
            ASSERT_TRUE(second->process().WaitForErrorOutput("hello"));
            EXPECT_TRUE(LockFileHeld(root, c.firstUser));
            EXPECT_TRUE(LockFileHeld(root, c.secondUser));
            second->CloseExpectingGoodbyeLast();
        } else {
            second->SendClose();
            std::string output;
            EXPECT_TRUE(second->process().OutputEnds(5000ms, &output));
            EXPECT_EQ(output, "");
            EXPECT_EQ(second->process().WaitForExit(5000ms), 1);
            EXPECT_TRUE(second->process().WaitForErrorOutput(
                "Another instance of the application is already running"));
        }
        first->CloseExpectingGoodbyeLast();
    }
}

// Another user may put a file of this user's under the lock's name in the shared temp folder
// (a hard link, or a file that user may read) and hold a lock on it: the host takes no such file
// and serves. Only the user's own private lock file, held, stops it.
TEST(CommandLoop, LockFileUnderTheNameThatOthersCanHoldDoesNotStopTheHost) {
    if (!CanSwitchUsersInAPidNamespace()) {
        return;
    }
    constexpr uid_t kUser = 61001;
    struct Case {
        const char* name;
        mode_t mode;
        bool hardLink;
        bool serves;
    };
    const Case cases[] = {
        {"the user's own lock file, held", 0600, false, false},
        {"a hard link to a file of the user's", 0600, true, true},
        {"a file of the user's that others may read", 0644, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryRoot root;
        ShareTempFolder(root);
        const std::string lockFile = LockFileOf(root, kUser);
        const std::string file = c.hardLink ? root.path() + "/notes.txt" : lockFile;
        const int held = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, c.mode);
        ASSERT_GE(held, 0);
        ASSERT_EQ(fchown(held, kUser, kUser), 0);
        ASSERT_EQ(fchmod(held, c.mode), 0);
        if (c.hardLink) {
            ASSERT_EQ(link(file.c_str(), lockFile.c_str()), 0);
        }
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
        PidNamespace space;
        ASSERT_TRUE(space.Made());
        const auto host = space.Host(root, kUser);
        if (c.serves) {
            host->CloseExpectingGoodbyeLast();
        } else {
            host->SendClose();
            EXPECT_EQ(host->process().WaitForExit(5000ms), 1);
            EXPECT_TRUE(host->process().WaitForErrorOutput(
                "Another instance of the application is already running"));
        }
        close(held);
    }
}

// The test command says before it builds that a host of the same user runs, which would make
// every host the tests start end at once: the check names that host and what to do. Another
// user's host does not count.
TEST(CommandLoop, TestCommandNamesAHostOfTheUserThatRunsAlready) {
    if (!CanSwitchUsersInAPidNamespace()) {
        return;
    }
    const std::string check = HOST_SOURCE_DIR "/scripts/check-no-other-host.sh";
    for (const uid_t hostUser : {61002u, 61001u}) {
        SCOPED_TRACE(hostUser);
        TemporaryRoot root;
        ShareTempFolder(root);
        PidNamespace space;
        ASSERT_TRUE(space.Made());
        const auto host = space.Host(root, hostUser);
        host->Send("hello");
        ASSERT_TRUE(host->process().WaitForErrorOutput("hello"));
        const auto run = space.Run(61001, {"/bin/bash", check, "scripts/test-all.sh"});
        const bool named = hostUser == 61001;
        EXPECT_EQ(run->WaitForExit(5000ms), named ? 1 : 0);
        const std::string said = run->ErrorOutput();
        EXPECT_EQ(said.find(HostBinary()) != std::string::npos, named) << said;
        EXPECT_EQ(said.find("pid ") != std::string::npos, named) << said;
        EXPECT_EQ(said.find("unshare -p -f --mount-proc scripts/test-all.sh") != std::string::npos,
                  named)
            << said;
        host->CloseExpectingGoodbyeLast();
    }
}

TEST(CommandLoop, HostWhoseReaderHasGoneIsNotKilledBySigpipe) {
    TemporaryRoot root;
    HostSession host(root);
    host.Send("ping");
    ASSERT_TRUE(host.process().WaitForErrorOutput("ping"));
    host.process().CloseOutput();
    host.SendClose();  // the goodbye now meets a broken pipe
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

}  // namespace
