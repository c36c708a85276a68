// hux-sim-server --port N [--udp-port M] [--script FILE] [--coll-key-dir DIR]
//
// Serves the simulated trade server on 127.0.0.1:N (0 = a free port) until
// SIGINT or SIGTERM. Prints "hux-sim-server listening on 127.0.0.1:N" once it
// accepts connections, and on the way out the terminal reports it received
// (decrypted when it has a key directory). Exit codes: 0 after a signal, 1
// when a port cannot be opened, 2 for bad arguments, a bad script or a key
// directory without both key files.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sim/sim_trade_server.h"

namespace {

int usage(const char* why) {
    std::fprintf(stderr,
                 "hux-sim-server: %s\nusage: hux-sim-server --port N [--udp-port M] [--script FILE] "
                 "[--coll-key-dir DIR]\n",
                 why);
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

bool readable(const std::string& path) { return std::ifstream(path).good(); }

}  // namespace

int main(int argc, char** argv) {
    bool have_port = false;
    bool have_udp = false;
    uint16_t port = 0;
    uint16_t udp_port = 0;
    const char* script = nullptr;
    const char* key_dir = nullptr;
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
        } else if (arg == "--coll-key-dir") {
            if (value == nullptr) return usage("--coll-key-dir needs a directory");
            key_dir = value;
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
    if (key_dir != nullptr) cfg.coll_key_dir = key_dir;  // over the script's
    if (!cfg.coll_key_dir.empty()) {
        for (const char* file : {hux_sim::coll_normal_key_file, hux_sim::coll_test_key_file}) {
            const std::string path = cfg.coll_key_dir + "/" + file;
            if (!readable(path)) {
                std::fprintf(stderr, "hux-sim-server: cannot read %s\n", path.c_str());
                return 2;
            }
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
    const std::vector<hux_sim::sim_coll_report> reports = server.reports();
    for (size_t i = 0; i < reports.size(); ++i) {
        const hux_sim::sim_coll_report& r = reports[i];
        std::fprintf(stderr, "hux-sim-server: report %zu on connection %zu: login %s, app %s, %s key, %s%s\n", i,
                     r.conn, r.login_id.c_str(), r.app_id.c_str(), r.test_key ? "test" : "normal",
                     r.decrypted ? "plaintext " : r.failure.empty() ? "not decrypted" : "not decrypted: ",
                     r.decrypted ? r.plaintext.c_str() : r.failure.c_str());
    }
    std::fprintf(stderr, "hux-sim-server: signal %d, %zu connection(s) served, %zu datagram(s), %zu report(s)\n",
                 sig, server.connection_count(), server.datagrams().size(), reports.size());
    return 0;
}
