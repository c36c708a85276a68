// hux-sim-server --port N [--udp-port M] [--script FILE]
//
// Serves the simulated trade server on 127.0.0.1:N (0 = a free port) until
// SIGINT or SIGTERM. Prints "hux-sim-server listening on 127.0.0.1:N" once it
// accepts connections. Exit codes: 0 after a signal, 1 when a port cannot be
// opened, 2 for bad arguments or a bad script.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/sim_trade_server.h"

namespace {

int usage(const char* why) {
    std::fprintf(stderr, "hux-sim-server: %s\nusage: hux-sim-server --port N [--udp-port M] [--script FILE]\n", why);
    return 2;
}

bool parse_port(const char* text, uint16_t& port) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > 65535) return false;
    port = static_cast<uint16_t>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool have_port = false;
    bool have_udp = false;
    uint16_t port = 0;
    uint16_t udp_port = 0;
    const char* script = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--port") {
            if (!parse_port(value, port)) return usage("--port needs a number 0..65535");
            have_port = true;
        } else if (arg == "--udp-port") {
            if (!parse_port(value, udp_port)) return usage("--udp-port needs a number 0..65535");
            have_udp = true;
        } else if (arg == "--script") {
            if (value == nullptr) return usage("--script needs a file");
            script = value;
        } else {
            return usage(("unknown argument " + arg).c_str());
        }
        ++i;
    }
    if (!have_port) return usage("--port is required");

    hux_sim::sim_config cfg;
    if (script != nullptr) {
        std::string error;
        if (!hux_sim::load_script_file(script, cfg, error)) {
            std::fprintf(stderr, "hux-sim-server: %s: %s\n", script, error.c_str());
            return 2;
        }
    }

    // The signals are taken by sigwait below; blocked before any thread
    // starts so that every thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    hux_sim::sim_trade_server server(port);
    if (!server.listening()) {
        std::fprintf(stderr, "hux-sim-server: cannot listen on 127.0.0.1:%u\n", static_cast<unsigned>(port));
        return 1;
    }
    server.set_config(cfg);  // checked by load_script_file already
    if (have_udp) {
        if (!server.open_udp(udp_port)) {
            std::fprintf(stderr, "hux-sim-server: cannot bind UDP 127.0.0.1:%u\n", static_cast<unsigned>(udp_port));
            return 1;
        }
        std::fprintf(stderr, "hux-sim-server udp on 127.0.0.1:%u\n", static_cast<unsigned>(server.udp_port()));
    }
    std::printf("hux-sim-server listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    int sig = 0;
    while (sigwait(&stop_signals, &sig) != 0) {
    }
    std::fprintf(stderr, "hux-sim-server: signal %d, %zu connection(s) served, %zu datagram(s)\n", sig,
                 server.connection_count(), server.datagrams().size());
    return 0;
}
