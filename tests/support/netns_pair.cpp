#include "tests/support/netns_pair.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace hux_test {

namespace {

// Set in the process that made the pair and handed down to its children
// (death tests re-run the program): "pid client_ns peer_ns client_if peer_if".
const char* const NAMES_VARIABLE = "HUX_NETNS_PAIR";

netns_pair_names g_names;
std::string g_missing = "not set up";
bool g_ready = false;
pid_t g_owner = 0;
int g_original_mounts = -1;  // the mount namespace the pair was made in
std::string g_scratch;       // the scratch huge-page files
std::string g_meminfo, g_nr_hugepages;
// argv of the clean-up commands, built before any signal can come.
char* g_del_client[5];
char* g_del_peer[5];
char* g_rm_scratch[4];

int run(const std::string& cmd) {
    int status = std::system((cmd + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs argv in the original mount namespace and waits for it. Only calls that
// are safe in a signal handler.
void run_outside(char* const* argv) {
    pid_t child = fork();
    if (child == 0) {
        if (g_original_mounts >= 0) setns(g_original_mounts, CLONE_NEWNS);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execvp(argv[0], argv);
        _exit(127);
    }
    if (child > 0) {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void clean_up() {
    if (!g_ready || getpid() != g_owner) return;
    g_ready = false;
    run_outside(g_del_client);
    run_outside(g_del_peer);
    run_outside(g_rm_scratch);
}

void on_fatal_signal(int sig) {
    clean_up();
    signal(sig, SIG_DFL);
    raise(sig);
}

char* keep(const std::string& s) { return strdup(s.c_str()); }

bool dead(long pid) { return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

// Namespaces and scratch folders left by test processes that died without
// cleaning up (killed at a timeout, say).
void remove_stale() {
    if (DIR* dir = opendir("/run/netns")) {
        while (dirent* e = readdir(dir)) {
            const char* n = e->d_name;
            if (std::strncmp(n, "hxc", 3) != 0 && std::strncmp(n, "hxp", 3) != 0) continue;
            if (dead(std::strtol(n + 3, nullptr, 10))) run(std::string("ip netns del ") + n);
        }
        closedir(dir);
    }
    if (DIR* dir = opendir("/tmp")) {
        while (dirent* e = readdir(dir)) {
            const char* n = e->d_name;
            if (std::strncmp(n, "hux-netns-", 10) != 0) continue;
            if (dead(std::strtol(n + 10, nullptr, 10))) run(std::string("rm -rf /tmp/") + n);
        }
        closedir(dir);
    }
}

bool fail(const std::string& why) {
    g_missing = why;
    return false;
}

bool enter_netns(const std::string& ns) {
    int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return ok;
}

void write_file(const std::string& path, const std::string& text) {
    // In place: the bind mounts show the same file.
    std::ofstream out(path, std::ios::trunc);
    out << text;
}

bool adopt_parent_pair(const char* value) {
    std::istringstream in(value);
    long pid = 0;
    in >> pid >> g_names.client_ns >> g_names.peer_ns >> g_names.client_if >> g_names.peer_if;
    if (!in || pid == getpid()) return false;
    // A child started by the test process: it runs in the namespaces it was
    // started in, and the parent removes them.
    g_ready = true;
    g_missing.clear();
    return true;
}

}  // namespace

bool netns_setup() {
    if (const char* value = std::getenv(NAMES_VARIABLE)) {
        if (adopt_parent_pair(value)) return true;
    }
    if (geteuid() != 0) return fail("not root (namespaces and veth need CAP_NET_ADMIN and CAP_SYS_ADMIN)");
    if (run("ip -V") != 0) return fail("the ip command (iproute2) is not installed");
    remove_stale();

    const std::string id = std::to_string(getpid());
    g_names = {"hxc" + id, "hxp" + id, "hxc" + id, "hxp" + id};
    const netns_pair_names& n = g_names;
    g_owner = getpid();
    g_del_client[0] = keep("ip"), g_del_client[1] = keep("netns"), g_del_client[2] = keep("del");
    g_del_client[3] = keep(n.client_ns), g_del_client[4] = nullptr;
    g_del_peer[0] = keep("ip"), g_del_peer[1] = keep("netns"), g_del_peer[2] = keep("del");
    g_del_peer[3] = keep(n.peer_ns), g_del_peer[4] = nullptr;
    g_scratch = "/tmp/hux-netns-" + id;
    g_rm_scratch[0] = keep("rm"), g_rm_scratch[1] = keep("-rf"), g_rm_scratch[2] = keep(g_scratch);
    g_rm_scratch[3] = nullptr;

    if (run("ip netns add " + n.client_ns) != 0 || run("ip netns add " + n.peer_ns) != 0) {
        run("ip netns del " + n.client_ns);
        return fail("ip netns add failed (no network namespaces here)");
    }
    g_ready = true;  // from here on the namespaces are removed at exit
    std::atexit(clean_up);
    for (int sig : {SIGINT, SIGTERM, SIGSEGV, SIGABRT, SIGBUS}) signal(sig, on_fatal_signal);

    const std::string c = "ip -n " + n.client_ns + " ", p = "ip -n " + n.peer_ns + " ";
    if (run("ip link add " + n.client_if + " type veth peer name " + n.peer_if) != 0) {
        clean_up();
        return fail("ip link add ... type veth failed (no veth driver)");
    }
    const std::string cmds[] = {
        "ip link set " + n.client_if + " netns " + n.client_ns,
        "ip link set " + n.peer_if + " netns " + n.peer_ns,
        "ip netns exec " + n.client_ns + " sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1",
        "ip netns exec " + n.peer_ns + " sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1",
        c + "addr add " + CLIENT_IP + "/24 dev " + n.client_if,
        p + "addr add " + PEER_IP + "/24 dev " + n.peer_if,
        c + "link set lo up",
        p + "link set lo up",
        c + "link set " + n.client_if + " up",
        p + "link set " + n.peer_if + " up",
    };
    for (const std::string& cmd : cmds) {
        if (run(cmd) != 0) {
            clean_up();
            return fail("set-up step failed: " + cmd);
        }
    }

    // The main thread joins the client namespace and a mount namespace of its
    // own, before any thread exists.
    g_original_mounts = open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
    if (!enter_netns(n.client_ns)) {
        clean_up();
        return fail("setns into the client namespace failed");
    }
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        clean_up();
        return fail(std::string("private mount namespace: ") + std::strerror(errno));
    }
    // sysfs as seen from the client namespace (/sys/class/net).
    if (umount2("/sys", MNT_DETACH) == 0) mount("sysfs", "/sys", "sysfs", 0, nullptr);

    mkdir(g_scratch.c_str(), 0755);
    g_meminfo = g_scratch + "/meminfo";
    g_nr_hugepages = g_scratch + "/nr_hugepages";
    write_file(g_meminfo, "");
    write_file(g_nr_hugepages, "");
    set_hugepages(2048, 2048);
    if (mount(g_meminfo.c_str(), "/proc/meminfo", nullptr, MS_BIND, nullptr) != 0 ||
        mount(g_nr_hugepages.c_str(), "/proc/sys/vm/nr_hugepages", nullptr, MS_BIND, nullptr) != 0) {
        clean_up();
        return fail(std::string("bind mount over the huge-page files: ") + std::strerror(errno));
    }

    const std::string value = std::to_string(getpid()) + " " + n.client_ns + " " + n.peer_ns + " " + n.client_if + " " +
                              n.peer_if;
    setenv(NAMES_VARIABLE, value.c_str(), 1);
    g_missing.clear();
    return true;
}

bool netns_ready() { return g_ready; }
const std::string& netns_missing() { return g_missing; }
const netns_pair_names& netns() { return g_names; }

void in_peer(const std::function<void()>& fn) {
    std::exception_ptr error;
    std::thread t([&] {
        try {
            if (!enter_netns(g_names.peer_ns)) throw std::runtime_error("setns into " + g_names.peer_ns + " failed");
            fn();
        } catch (...) {
            error = std::current_exception();
        }
    });
    t.join();
    if (error) std::rethrow_exception(error);
}

int ns_run(const std::string& ns, const std::string& cmd) {
    return run("ip netns exec " + ns + " sh -c '" + cmd + "'");
}

void set_hugepages(long count, long size_kb) {
    if (g_scratch.empty()) return;
    write_file(g_nr_hugepages, std::to_string(count) + "\n");
    // The real file's lines, with the page size replaced.
    std::ostringstream text;
    text << "MemTotal:       24576000 kB\n"
         << "MemFree:        20480000 kB\n"
         << "HugePages_Total:    " << count << "\n"
         << "HugePages_Free:     " << count << "\n"
         << "HugePages_Rsvd:        0\n"
         << "HugePages_Surp:        0\n"
         << "Hugepagesize:       " << size_kb << " kB\n";
    write_file(g_meminfo, text.str());
}

void set_mtu(int mtu) {
    run("ip -n " + g_names.client_ns + " link set " + g_names.client_if + " mtu " + std::to_string(mtu));
    run("ip -n " + g_names.peer_ns + " link set " + g_names.peer_if + " mtu " + std::to_string(mtu));
}

int peer_udp_socket(unsigned short port, const char* group) {
    int fd = -1;
    in_peer([&] {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        int one = 1, size = 4 << 20;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(fd);
            fd = -1;
            return;
        }
        if (group) {
            ip_mreq req{};
            inet_pton(AF_INET, group, &req.imr_multiaddr);
            inet_pton(AF_INET, PEER_IP, &req.imr_interface);
            if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &req, sizeof req) != 0) {
                close(fd);
                fd = -1;
            }
        }
    });
    return fd;
}

int peer_sniffer() {
    int fd = -1;
    in_peer([&] {
        fd = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
        if (fd < 0) return;
        int size = 8 << 20;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        sockaddr_ll addr{};
        addr.sll_family = AF_PACKET;
        addr.sll_protocol = htons(ETH_P_ALL);
        addr.sll_ifindex = static_cast<int>(if_nametoindex(g_names.peer_if.c_str()));
        if (addr.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

int recv_within(int fd, void* buf, std::size_t cap, int timeout_ms) {
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const ssize_t n = recv(fd, buf, cap, MSG_DONTWAIT);
        if (n >= 0) return static_cast<int>(n);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
        const long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) return -1;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
    }
}

int sniff_udp(int sniffer, unsigned short udp_port, void* buf, std::size_t cap, int timeout_ms,
              long long* received_ns) {
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    unsigned char* b = static_cast<unsigned char*>(buf);
    for (;;) {
        const long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left < 0) return -1;
        sockaddr_ll from{};
        iovec iov{buf, cap};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = recvmsg(sniffer, &msg, MSG_DONTWAIT);
        if (n >= 0 && received_ns) {
            *received_ns = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
                timespec ts;
                std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                *received_ns = static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
            }
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
            pollfd p{sniffer, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left > 0 ? left : 0));
            if (left == 0) return -1;
            continue;
        }
        if (from.sll_pkttype == PACKET_OUTGOING || n < 42) continue;
        const bool ipv4_udp = b[12] == 0x08 && b[13] == 0x00 && (b[14] >> 4) == 4 && b[23] == 17;
        if (!ipv4_udp) continue;
        const int udp = 14 + (b[14] & 0x0f) * 4;
        if (n < udp + 8) continue;
        if (((b[udp + 2] << 8) | b[udp + 3]) == udp_port) return static_cast<int>(n);
    }
}

}  // namespace hux_test
