// hux-sim-server --port N [--listen ADDR] [--udp-port M] [--query-port Q] [--script FILE] [--coll-key-dir DIR]
//
// Serves the simulated trade server on ADDR:N (ADDR 127.0.0.1 unless the
// option or the script's listen_ip names another; N 0 = a free port), and
// with --query-port the query protocol on ADDR:Q, until SIGINT or SIGTERM.
// Prints "hux-sim-server listening on ADDR:N" once it accepts connections,
// and on the way out, on standard error, the terminal reports it received
// (decrypted when it has a key directory), the requests of each query
// connection by type, then the trade traffic, one line each:
//   hux-sim-server: trade connection N: 10 x3, 70 x1, 80 x1
//   hux-sim-server: trade connection N logon udp port P
//   hux-sim-server: datagram I from port P on connection C: type T, L bytes
// (each trade connection in accept order, N its accept number, its requests
// counted in type order, the port line after a logon only, P the uint16 at
// 128 of its last logon; each datagram in arrival order, C its connection's
// number or "none"), and last a line with the signal and the counts. With
// the script key `drop_marker SYMBOL` a new order for SYMBOL closes every
// trade and query connection at once, each such drop printed as it happens:
//   hux-sim-server: drop marker, K connection(s) closed
// Exit codes: 0 after a signal, 1 when a port cannot be opened, 2 for bad
// arguments, a bad script or a key directory without both key files.
#include <arpa/inet.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"

namespace {

int usage(const char* why) {
    std::fprintf(stderr,
                 "hux-sim-server: %s\nusage: hux-sim-server --port N [--listen ADDR] [--udp-port M] "
                 "[--query-port Q] [--script FILE] [--coll-key-dir DIR]\n",
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
    bool have_query = false;
    uint16_t port = 0;
    uint16_t udp_port = 0;
    uint16_t query_port = 0;
    const char* script = nullptr;
    const char* key_dir = nullptr;
    const char* listen_ip = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--port") {
            if (!parse_port(value, port)) return usage("--port needs a number 0..65535");
            have_port = true;
        } else if (arg == "--udp-port") {
            if (!parse_port(value, udp_port)) return usage("--udp-port needs a number 0..65535");
            have_udp = true;
        } else if (arg == "--query-port") {
            if (!parse_port(value, query_port)) return usage("--query-port needs a number 0..65535");
            have_query = true;
        } else if (arg == "--listen") {
            in_addr ip{};
            if (value == nullptr || ::inet_pton(AF_INET, value, &ip) != 1) {
                return usage("--listen needs a dotted IPv4 address");
            }
            listen_ip = value;
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
    if (listen_ip != nullptr) cfg.listen_ip = listen_ip;  // over the script's
    const std::string address = cfg.listen_ip.empty() ? "127.0.0.1" : cfg.listen_ip;
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

    hux_sim::sim_trade_server server(port, address);
    if (!server.listening()) {
        std::fprintf(stderr, "hux-sim-server: cannot listen on %s:%u\n", address.c_str(), static_cast<unsigned>(port));
        return 1;
    }
    server.set_config(cfg);  // checked by load_script_file already
    server.set_drop_hook([](size_t closed) {
        std::fprintf(stderr, "hux-sim-server: drop marker, %zu connection(s) closed\n", closed);
        std::fflush(stderr);
    });
    if (have_udp) {
        if (!server.open_udp(udp_port)) {
            std::fprintf(stderr, "hux-sim-server: cannot bind UDP %s:%u\n", address.c_str(),
                         static_cast<unsigned>(udp_port));
            return 1;
        }
        std::fprintf(stderr, "hux-sim-server udp on %s:%u\n", address.c_str(), static_cast<unsigned>(server.udp_port()));
    }
    if (have_query) {
        if (!server.open_query(query_port)) {
            std::fprintf(stderr, "hux-sim-server: cannot listen for queries on %s:%u\n", address.c_str(),
                         static_cast<unsigned>(query_port));
            return 1;
        }
        std::fprintf(stderr, "hux-sim-server query on %s:%u\n", address.c_str(),
                     static_cast<unsigned>(server.query_port()));
    }
    std::printf("hux-sim-server listening on %s:%u\n", address.c_str(), static_cast<unsigned>(server.port()));
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
    for (size_t i = 0; i < server.query_connection_count(); ++i) {
        std::fprintf(stderr, "hux-sim-server: query connection %zu: %s\n", i,
                     hux_sim::requests_by_type(server.query_messages(i)).c_str());
    }
    std::fputs(hux_sim::traffic_dump(server).c_str(), stderr);
    const std::vector<hux_sim::sim_datagram> datagrams = server.datagram_log();
    size_t unknown = 0;
    for (const auto& d : datagrams) unknown += d.conn == hux_sim::sim_trade_server::no_connection ? 1 : 0;
    std::fprintf(stderr,
                 "hux-sim-server: signal %d, %zu connection(s) served, %zu datagram(s) (%zu from unknown ports), "
                 "%zu report(s)\n",
                 sig, server.connection_count(), datagrams.size(), unknown, reports.size());
    return 0;
}
