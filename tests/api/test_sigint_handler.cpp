// The library's SIGINT handler lives as long as a session does. While one
// exists, SIGINT is the library's (it prints its line and, with
// exit_on_signal 0, returns); once the last session is destroyed, and after
// the library is unloaded, SIGINT has the disposition it had before: the
// default one (the process ends by SIGINT, not by a SIGSEGV in unmapped
// code) or the program's own handler. Each case runs in a child process
// that loads libhuxtrade.so with dlopen; some load libhuxadapter.so too,
// which carries its own handler.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/session_support.h"

extern char** environ;

namespace {

struct outcome {
    int status = -1;
    std::string out;
};

// With `second`, the child loads `library` and then `second` (see
// sigint_child.c). `env` ("NAME=value") replaces NAME in the child's
// environment.
outcome run_child(uint16_t port, const char* mode, bool own, const char* library = HUX_TRADE_LIBRARY,
                  const char* second = nullptr, const std::string& env = std::string()) {
    trade_test::scratch_dir dir;
    const std::string out_path = dir.path() + "/out";
    const std::string port_text = std::to_string(port);
    std::vector<char*> args = {const_cast<char*>(HUX_SIGINT_CHILD), const_cast<char*>(library),
                               const_cast<char*>(port_text.c_str()), const_cast<char*>(mode)};
    if (own || second) args.push_back(const_cast<char*>(own ? "own" : "-"));
    if (second) args.push_back(const_cast<char*>(second));
    args.push_back(nullptr);
    std::vector<char*> child_env;
    const std::string name = env.substr(0, env.find('=') + 1);
    for (char** e = environ; *e; ++e)
        if (env.empty() || std::string(*e).compare(0, name.size(), name) != 0) child_env.push_back(*e);
    if (!env.empty()) child_env.push_back(const_cast<char*>(env.c_str()));
    child_env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child writes its session logs into the scratch directory.
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    pid_t pid = -1;
    outcome o;
    const int rc = posix_spawn(&pid, HUX_SIGINT_CHILD, &actions, nullptr, args.data(), child_env.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0);
    if (rc != 0) return o;
    EXPECT_EQ(waitpid(pid, &o.status, 0), pid);
    o.out = trade_test::read_file(out_path);
    return o;
}

bool killed_by(const outcome& o, int sig) { return WIFSIGNALED(o.status) && WTERMSIG(o.status) == sig; }
bool exited_with(const outcome& o, int code) { return WIFEXITED(o.status) && WEXITSTATUS(o.status) == code; }

}  // namespace

TEST(SigintHandler, BelongsToTheLibraryOnlyWhileASessionExists) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    // Every connect prints the card it found: none here (no local address).
    const std::string connected = "dev[],ip[],driver[],driver_type[2]\n";

    outcome o = run_child(sim.port(), "alive", false);
    EXPECT_TRUE(exited_with(o, 0)) << o.status;
    EXPECT_EQ(o.out, connected + "raising\nExit on signal 2 Interrupt\nsurvived\n");

    o = run_child(sim.port(), "destroyed", false);
    EXPECT_TRUE(killed_by(o, SIGINT)) << o.status;
    EXPECT_EQ(o.out, connected + "raising\n");

    o = run_child(sim.port(), "unloaded", false);
    EXPECT_TRUE(killed_by(o, SIGINT)) << o.status << (WIFSIGNALED(o.status) ? " signal " : "")
                                      << (WIFSIGNALED(o.status) ? WTERMSIG(o.status) : 0);
    EXPECT_EQ(o.out, connected + "raising\n");

    o = run_child(sim.port(), "unloaded", true);
    EXPECT_TRUE(exited_with(o, 42)) << o.status;
    o = run_child(sim.port(), "alive", true);
    EXPECT_TRUE(exited_with(o, 0)) << o.status;
}

TEST(SigintHandler, TwoLibrariesLeaveTheFirstDispositionInAnyOrder) {
    // Each library's handler goes over what it finds, the second library's
    // over the first's. Once both sessions are destroyed and both libraries
    // closed, in any order, SIGINT has the disposition from before either.
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    const char* libraries[2] = {HUX_TRADE_LIBRARY, HUX_ADAPTER_LIBRARY};
    for (int first = 0; first < 2; ++first) {
        for (const char* order : {"first-out", "second-out"}) {
            for (bool own : {false, true}) {
                SCOPED_TRACE(std::string(libraries[first]) + " loaded first, " + order + (own ? ", own handler" : ""));
                const outcome o = run_child(sim.port(), order, own, libraries[first], libraries[1 - first]);
                if (own)
                    EXPECT_TRUE(exited_with(o, 42)) << o.status;
                else
                    EXPECT_TRUE(killed_by(o, SIGINT)) << o.status << (WIFSIGNALED(o.status) ? " signal " : "")
                                                      << (WIFSIGNALED(o.status) ? WTERMSIG(o.status) : 0);
                EXPECT_EQ(o.out.substr(o.out.size() < 8 ? 0 : o.out.size() - 8), "raising\n") << o.out;
            }
        }
    }
}

TEST(SigintHandler, LoadingAndUnloadingLeaksNothing) {
    // Ten loads and unloads of each library; in the sanitizer build the
    // leak check at the child's exit fails it for anything left behind.
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string env = std::string("ASAN_OPTIONS=") + (options ? options : "") + (options ? ":" : "") +
                            "detect_leaks=1";
    const outcome o = run_child(sim.port(), "cycles", false, HUX_TRADE_LIBRARY, HUX_ADAPTER_LIBRARY, env);
    EXPECT_TRUE(exited_with(o, 0)) << o.status;
    EXPECT_NE(o.out.find("cycled\n"), std::string::npos) << o.out;
}
