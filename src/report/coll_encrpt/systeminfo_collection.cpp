// Builds the terminal description, encrypts it with the collection service's
// RSA public key and encodes it as base64. Host name by gethostname, hardware
// addresses by the interface list and SIOCGIFHWADDR, the CPU serial from
// CCPUID, and the OS version, disk serial and BIOS serial by shell commands
// through popen (each command's output is read with one fgets).
#include "report/coll_encrpt/systeminfo_collection.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tools/cross_platform_api.h"
#include "tools/tool_function.h"
#include "tools/base_log.h"
#include "report/coll_encrpt/cpuid.h"

namespace {

const char k_key_file[] = "./morvast_testor.pem";

// First line of the version: the word after the one holding "release" in
// /etc/redhat-release, else the second word of the first line of /etc/issue.
const char k_os_version_cmd[] =
    "if [ -f /etc/redhat-release ]; then "
    "awk '{for (i = 1; i < NF; i++) if ($i ~ /release/) {print $(i + 1); exit}}' /etc/redhat-release; "
    "else head -n 1 /etc/issue 2>/dev/null | awk '{print $2}'; fi | tr -d '\\n'";
// The first word of the first lsblk line that names a disk.
const char k_disk_name_cmd[] = "lsblk 2>/dev/null | grep disk | head -n 1 | awk '{print $1}'";
// The value of one udevadm property of /dev/<name>; no line when it has none.
const char k_disk_serial_cmd[] =
    "udevadm info --query=property --name=/dev/%s 2>/dev/null | sed -n 's/^%s=//p' | grep . | head -n 1";
const char k_lshal_cmd[] =
    "lshal 2>/dev/null | awk -F\"'\" '/system\\.hardware\\.serial/ {print $2; exit}' | grep .";
const char k_dmidecode_cmd[] =
    "dmidecode -t 1 2>/dev/null | grep 'Serial Number' | head -n 1 | cut -d: -f2- | tr -d ' \\t' | grep .";

const int k_log_text_len = 8192;

void log_text(base_log* log, const char* level, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

void log_text(base_log* log, const char* level, const char* fmt, ...) {
    if (log == nullptr) return;
    char text[k_log_text_len];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof(text), fmt, ap);
    va_end(ap);
    log->write_txt(level, text);
}

// Copies at most keep characters of src (and never more than the room
// allows) with a terminator.
void keep_text(char* out, int out_len, const char* src, int keep) {
    if (out_len <= 0) return;
    int n = static_cast<int>(std::strlen(src));
    if (n > keep) n = keep;
    if (n > out_len - 1) n = out_len - 1;
    std::memcpy(out, src, static_cast<size_t>(n));
    out[n] = '\0';
}

bool bad_out(char* out, int out_len) { return out == nullptr || out_len <= 0; }

enum cmd_result { cmd_popen_failed, cmd_no_line, cmd_line };

// Runs cmd and reads its first line (at most buf_len - 1 characters) with
// one fgets; the line feed is removed. err holds errno of the failed step.
cmd_result run_first_line(const char* cmd, char* buf, int buf_len, int& err) {
    buf[0] = '\0';
    errno = 0;
    FILE* fp = popen(cmd, "r");
    if (fp == nullptr) {
        err = errno;
        return cmd_popen_failed;
    }
    char* line = std::fgets(buf, buf_len, fp);
    err = errno;
    pclose(fp);
    if (line == nullptr) {
        buf[0] = '\0';
        return cmd_no_line;
    }
    size_t n = std::strlen(buf);
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = '\0';
    return cmd_line;
}

// A device name that can go into a shell command as it is.
bool plain_device_name(const char* name) {
    if (name[0] == '\0') return false;
    for (const char* p = name; *p != '\0'; ++p) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

// The name of the first non-loopback interface whose address, as text,
// equals ip.
bool interface_by_ip(const char* ip, char* name, size_t name_len) {
    name[0] = '\0';
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (struct ifaddrs* it = list; it != nullptr && !found; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_name == nullptr) continue;
        int family = it->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        if (std::strncmp(it->ifa_name, "lo", 2) == 0) continue;
        char text[INET6_ADDRSTRLEN];
        const void* addr = family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<struct sockaddr_in*>(it->ifa_addr)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<struct sockaddr_in6*>(it->ifa_addr)->sin6_addr);
        if (inet_ntop(family, addr, text, sizeof(text)) == nullptr) continue;
        if (std::strcmp(text, ip) != 0) continue;
        MORVAST::TOOLS::strncpy_mv(name, static_cast<u32_mv>(name_len), it->ifa_name);
        found = true;
    }
    freeifaddrs(list);
    return found;
}

}  // namespace

int systeminfo_collection::get_system_info(const char* ip1, const char* ip2, char* out, int out_len,
                                           system_raw_info& raw, base_log* log, bool log_switch,
                                           bool use_test_key, pmode mode) {
    if (bad_out(out, out_len)) return 0;
    std::memset(out, 0, static_cast<size_t>(out_len));
    std::memset(&raw, 0, sizeof(raw));
    char plain[WORK_BUF_LEN];
    unsigned char cipher[WORK_BUF_LEN];
    std::memset(plain, 0, sizeof(plain));
    std::memset(cipher, 0, sizeof(cipher));

    int plain_len = get_plaintext(ip1, ip2, plain, sizeof(plain), raw, log);
    if (plain_len == 0) {
        log_text(log, "error", "[systeminfo_collection::get_system_info] get get_plaintext failed!");
        return 0;
    }
    switch (mode) {
        case plaintext:
            if (plain_len >= out_len) {
                log_text(log, "error", "[systeminfo_collection::get_system_info] output room %d too small for %d characters",
                         out_len, plain_len);
                return 0;
            }
            std::memcpy(out, plain, static_cast<size_t>(plain_len) + 1);
            return plain_len;
        case ciphertext: {
            int n = get_ciphertext(plain, plain_len, cipher, sizeof(cipher), out, out_len,
                                   use_test_key, log, log_switch);
            if (n <= 0) {
                log_text(log, "error", "[systeminfo_collection::get_system_info] get_ciphertext failed!");
            }
            return n;
        }
        default:
            return 0;
    }
}

int systeminfo_collection::get_plaintext(const char* ip1, const char* ip2, char* out, int out_len,
                                         system_raw_info& raw, base_log* log) {
    if (bad_out(out, out_len)) return 0;
    std::memset(&raw, 0, sizeof(raw));
    const int room = sizeof(raw.m_ch_terminal_type);

    get_terminal_type(raw.m_ch_terminal_type, room, log);
    get_info_collect_time(raw.m_ch_collect_time, room, log);
    keep_text(raw.m_ch_private_ip1, room, ip1 != nullptr ? ip1 : "", IP_KEEP);
    keep_text(raw.m_ch_private_ip2, room, ip2 != nullptr ? ip2 : "", IP_KEEP);
    // The first address is retried: its interface may still be coming up.
    for (int i = 0; i < MAC1_TRIES; ++i) {
        if (get_mac_addr(raw.m_ch_private_ip1, raw.m_ch_private_mac1, room, log) == 0) break;
        if (raw.m_ch_private_ip1[0] == '\0' || i + 1 == MAC1_TRIES) break;
        MORVAST::TOOLS::sleep_mv(1);
    }
    get_mac_addr(raw.m_ch_private_ip2, raw.m_ch_private_mac2, room, log);
    get_device_name(raw.m_ch_device_name, room, log);
    get_operation_version(raw.m_ch_os_vesion, room, log);
    get_harddisk_serial_number(raw.m_ch_hd_serial_num, room, log);
    get_cpu_serial_number(raw.m_ch_cpu_serial_num, room, log);
    get_bios_serial_number(raw.m_ch_bios_serial_num, room, log);
    keep_text(raw.m_ch_sys_disk_part, room, "linux don't need", room);

    int n = std::snprintf(out, static_cast<size_t>(out_len), "%s@%s@%s@%s@%s@%s@%s@%s@%s@%s@%s",
                          raw.m_ch_terminal_type, raw.m_ch_collect_time, raw.m_ch_private_ip1,
                          raw.m_ch_private_ip2, raw.m_ch_private_mac1, raw.m_ch_private_mac2,
                          raw.m_ch_device_name, raw.m_ch_os_vesion, raw.m_ch_hd_serial_num,
                          raw.m_ch_cpu_serial_num, raw.m_ch_bios_serial_num);
    if (n < 0 || n >= out_len) {
        out[0] = '\0';
        return 0;
    }
    return n;
}

int systeminfo_collection::get_ciphertext(const char* plain, int plain_len, unsigned char* work,
                                          int work_len, char* out, int out_len, bool use_test_key,
                                          base_log* log, bool log_switch) {
    if (plain == nullptr || plain_len <= 0 || work == nullptr || work_len <= 0 || bad_out(out, out_len)) {
        log_text(log, "error", "[systeminfo_collection::get_ciphertext] text_len is 0!");
        return -1;
    }
    std::memset(work, 0, static_cast<size_t>(work_len));
    char key[KEY_BUF_LEN];
    std::memset(key, 0, sizeof(key));
    if (log_switch) {
        log_text(log, "info", "[systeminfo_collection::get_ciphertext] before:rsa:%.*s", plain_len, plain);
    }

    const unsigned char* data = reinterpret_cast<const unsigned char*>(plain);
    int len;
    if (!use_test_key) {
        const char* k = normal_public_key();
        len = rsa_encrypt(k, static_cast<int>(std::strlen(k)), data, plain_len, work, work_len, log);
    } else if (load_key(key) != 0) {
        const char* k = test_public_key();
        len = rsa_encrypt(k, static_cast<int>(std::strlen(k)), data, plain_len, work, work_len, log);
    } else {
        if (log_switch) log_text(log, "info", "[systeminfo_collection::get_ciphertext] use pubkey file!!!");
        len = rsa_encrypt(key, static_cast<int>(std::strlen(key)), data, plain_len, work, work_len, log);
    }
    if (len <= 0) {
        log_text(log, "error", "[systeminfo_collection::get_ciphertext] text_len is 0!");
        return -1;
    }

    if (log_switch) {
        char hex[2 * WORK_BUF_LEN + 1];
        int h = 0;
        for (int i = 0; i < len && work[i] != 0 && h + 2 < static_cast<int>(sizeof(hex)); ++i) {
            h += std::snprintf(hex + h, sizeof(hex) - static_cast<size_t>(h), "%02x", work[i]);
        }
        hex[h] = '\0';
        log_text(log, "info", "[systeminfo_collection::get_ciphertext] after:rsa:%s", hex);
    }

    int encoded = base64_encode(work, len, out, out_len);
    if (encoded <= 0) {
        log_text(log, "error", "[systeminfo_collection::get_ciphertext] base64_encode failed, %d bytes into room %d",
                 len, out_len);
        return -1;
    }
    if (log_switch) {
        log_text(log, "info", "[systeminfo_collection::get_ciphertext] after:base64_encode:%s", out);
    }
    return encoded;
}

int systeminfo_collection::rsa_encrypt(const char* key, int key_len, const unsigned char* data,
                                       int data_len, unsigned char* out, int out_len, base_log* log) {
    if (data == nullptr || data_len < 0 || out == nullptr || out_len <= 0) return -1;

    EVP_PKEY* pkey = nullptr;
    BIO* bio = nullptr;
    if (key != nullptr && key_len > 0) {
        bio = BIO_new_mem_buf(key, key_len);
        // Only a block labelled "PUBLIC KEY" (a SubjectPublicKeyInfo) is
        // read; "RSA PUBLIC KEY" and private-key blocks are passed over. No
        // pass phrase is ever asked for: a public key has none.
        auto no_pass = [](char*, int, int, void*) -> int { return 0; };
        unsigned char* der = nullptr;
        long der_len = 0;
        if (bio != nullptr &&
            PEM_bytes_read_bio(&der, &der_len, nullptr, PEM_STRING_PUBLIC, bio, no_pass, nullptr) == 1) {
            const unsigned char* p = der;
            pkey = d2i_PUBKEY(nullptr, &p, der_len);
        }
        OPENSSL_free(der);
    }
    // Only an RSA key in the "PUBLIC KEY" form is taken (not RSA-PSS, EC, ...).
    if (pkey == nullptr || EVP_PKEY_get_base_id(pkey) != EVP_PKEY_RSA) {
        std::printf("-----error read pubkey----\n");
        std::fflush(stdout);
        log_text(log, "error", "[systeminfo_collection::rsa_encrypt] -----error read pubkey----!");
        EVP_PKEY_free(pkey);
        BIO_free(bio);
        ERR_clear_error();
        return -1;
    }

    int result = -1;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
    size_t need = 0;
    if (ctx != nullptr && EVP_PKEY_encrypt_init(ctx) > 0 &&
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) > 0 &&
        EVP_PKEY_encrypt(ctx, nullptr, &need, data, static_cast<size_t>(data_len)) > 0 &&
        need <= static_cast<size_t>(out_len)) {
        size_t written = need;
        if (EVP_PKEY_encrypt(ctx, out, &written, data, static_cast<size_t>(data_len)) > 0) {
            result = static_cast<int>(written);
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    BIO_free(bio);
    ERR_clear_error();
    return result;
}

int systeminfo_collection::base64_encode(const unsigned char* src, int len, char* out, int out_len) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (out == nullptr || len < 0 || (src == nullptr && len > 0)) return 0;
    const long long room = out_len;
    const long long encoded = 4LL * ((static_cast<long long>(len) + 2) / 3);
    if (room <= 3 || room < 2LL * len || room < encoded + 1) return 0;

    int o = 0;
    int i = 0;
    for (; i + 2 < len; i += 3) {
        unsigned v = (static_cast<unsigned>(src[i]) << 16) | (static_cast<unsigned>(src[i + 1]) << 8) | src[i + 2];
        out[o++] = alphabet[(v >> 18) & 63];
        out[o++] = alphabet[(v >> 12) & 63];
        out[o++] = alphabet[(v >> 6) & 63];
        out[o++] = alphabet[v & 63];
    }
    if (i < len) {
        unsigned v = static_cast<unsigned>(src[i]) << 16;
        if (i + 1 < len) v |= static_cast<unsigned>(src[i + 1]) << 8;
        out[o++] = alphabet[(v >> 18) & 63];
        out[o++] = alphabet[(v >> 12) & 63];
        out[o++] = i + 1 < len ? alphabet[(v >> 6) & 63] : '=';
        out[o++] = '=';
    }
    out[o] = '\0';
    return o;
}

int systeminfo_collection::load_key(char* out) {
    if (out == nullptr) return -1;
    FILE* fp = std::fopen(k_key_file, "rb");
    if (fp == nullptr) return -1;
    size_t n = std::fread(out, 1, KEY_BUF_LEN - 1, fp);
    out[n] = '\0';
    std::fclose(fp);
    return 0;
}

int systeminfo_collection::get_terminal_type(char* out, int out_len, base_log*) {
    if (bad_out(out, out_len)) return -1;
    keep_text(out, out_len, "2", 1);
    return 0;
}

int systeminfo_collection::get_info_collect_time(char* out, int out_len, base_log*) {
    if (bad_out(out, out_len)) return -1;
    time_t now = time(nullptr);
    struct tm t;
    std::memset(&t, 0, sizeof(t));
    MORVAST::TOOLS::localtime_mv(&now, &t);
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    keep_text(out, out_len, text, 19);
    return 0;
}

int systeminfo_collection::get_mac_addr(const char* ip, char* out, int out_len, base_log* log) {
    if (ip == nullptr || ip[0] == '\0') {
        log_text(log, "error", "[systeminfo_collection::get_mac_addr] ip is NULL");
        return -1;
    }
    if (out == nullptr || out_len <= MAC_TEXT_LEN) {
        log_text(log, "error", "[systeminfo_collection::get_mac_addr] ip len <= 12");
        return -1;
    }
    out[0] = '\0';
    char eth_name[IFNAMSIZ];
    if (!interface_by_ip(ip, eth_name, sizeof(eth_name))) {
        log_text(log, "error", "[systeminfo_collection::get_mac_addr] get_interface_by_ip failed, ch_eth_name:%s",
                 eth_name);
        return -1;
    }
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) {
        log_text(log, "error", "[systeminfo_collection::get_mac_addr] socket failed, errno is %d", errno);
        return -1;
    }
    struct ifreq req;
    std::memset(&req, 0, sizeof(req));
    MORVAST::TOOLS::strncpy_mv(req.ifr_name, sizeof(req.ifr_name), eth_name);
    int rc = ioctl(sock, SIOCGIFHWADDR, &req);
    int err = errno;
    close(sock);
    if (rc != 0) {
        log_text(log, "error", "[systeminfo_collection::get_mac_addr] SIOCGIFHWADDR failed, ch_eth_name:%s, errno is %d",
                 eth_name, err);
        return -1;
    }
    const unsigned char* hw = reinterpret_cast<const unsigned char*>(req.ifr_hwaddr.sa_data);
    char text[16];
    std::snprintf(text, sizeof(text), "%02X%02X%02X%02X%02X%02X", hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
    keep_text(out, out_len, text, MAC_TEXT_LEN);
    return 0;
}

int systeminfo_collection::get_device_name(char* out, int out_len, base_log* log) {
    if (bad_out(out, out_len)) return -1;
    out[0] = '\0';
    char host[256];
    std::memset(host, 0, sizeof(host));
    if (gethostname(host, sizeof(host) - 1) != 0) {
        log_text(log, "error", "[systeminfo_collection::get_device_name] gethostname failed, errno is %d", errno);
        return -1;
    }
    keep_text(out, out_len, host, DEVICE_NAME_KEEP);
    return 0;
}

int systeminfo_collection::get_operation_version(char* out, int out_len, base_log* log) {
    if (bad_out(out, out_len)) return -1;
    out[0] = '\0';
    char line[1024];
    int err = 0;
    cmd_result r = run_first_line(k_os_version_cmd, line, sizeof(line), err);
    if (r == cmd_popen_failed) {
        log_text(log, "error", "[systeminfo_collection::get_operation_version] popen failed, errno is %d", err);
        return -1;
    }
    if (r == cmd_no_line || line[0] == '\0') {
        log_text(log, "error",
                 "[systeminfo_collection::get_operation_version] get operation version error, fgets failed, errno is %d",
                 err);
        return -1;
    }
    keep_text(out, out_len, line, OS_VERSION_KEEP);
    return 0;
}

int systeminfo_collection::get_harddisk_serial_number(char* out, int out_len, base_log* log) {
    if (bad_out(out, out_len)) return -1;
    out[0] = '\0';
    char name[64];
    int err = 0;
    cmd_result r = run_first_line(k_disk_name_cmd, name, sizeof(name), err);
    if (r == cmd_popen_failed) {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number] popen lsblk harddisk serial number error! errno is %d",
                 err);
        return -1;
    }
    if (r == cmd_no_line || name[0] == '\0') {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number] get lsblk harddisk serial number error! fgets failed, errno is %d",
                 err);
        return -1;
    }
    // The name goes into a shell command: only a plain device name may.
    if (!plain_device_name(name)) {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number] disk name is not a plain device name: %s", name);
        return -1;
    }
    char cmd[512];
    std::snprintf(cmd, sizeof(cmd), k_disk_serial_cmd, name, "ID_SCSI_SERIAL");
    if (get_harddisk_serial_number_from_cmd(cmd, out, out_len, log) == 0) return 0;
    std::snprintf(cmd, sizeof(cmd), k_disk_serial_cmd, name, "ID_SERIAL_SHORT");
    return get_harddisk_serial_number_from_cmd(cmd, out, out_len, log);
}

int systeminfo_collection::get_harddisk_serial_number_from_cmd(const char* cmd, char* out, int out_len,
                                                                base_log* log) {
    char value[256];
    int err = 0;
    cmd_result r = run_first_line(cmd, value, sizeof(value), err);
    if (r == cmd_popen_failed) {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number_from_cmd] popen harddisk serial number from cmd error! errno is %d",
                 err);
        return -1;
    }
    if (r == cmd_no_line) {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number_from_cmd] get harddisk serial number from cmd error! fegets failed, errno is %d",
                 err);
        return -1;
    }
    if (value[0] == '\0') {
        log_text(log, "error",
                 "[systeminfo_collection::get_harddisk_serial_number_from_cmd] get harddisk serial number from cmd error! fstream is  NULL");
        return -1;
    }
    keep_text(out, out_len, value, HD_SERIAL_KEEP);
    return 0;
}

int systeminfo_collection::get_cpu_serial_number(char* out, int out_len, base_log* log) {
    if (bad_out(out, out_len)) return -1;
    out[0] = '\0';
    const cpuid_record* r = CCPUID::cur().find(1, 0);
    if (r == nullptr) {
        log_text(log, "error", "[systeminfo_collection::get_cpu_serial_number] cpuid leaf 1 not available");
        return -1;
    }
    // EAX then EDX, lowest byte first.
    char text[20];
    std::snprintf(text, sizeof(text), "%02X%02X%02X%02X%02X%02X%02X%02X", r->eax & 0xFF,
                  (r->eax >> 8) & 0xFF, (r->eax >> 16) & 0xFF, (r->eax >> 24) & 0xFF, r->edx & 0xFF,
                  (r->edx >> 8) & 0xFF, (r->edx >> 16) & 0xFF, (r->edx >> 24) & 0xFF);
    keep_text(out, out_len, text, CPU_SERIAL_LEN);
    return 0;
}

int systeminfo_collection::get_bios_serial_number(char* out, int out_len, base_log* log) {
    if (bad_out(out, out_len)) return -1;
    out[0] = '\0';
    if (get_bios_serial_number_from_lshal(out, out_len, log) == 0) return 0;
    return get_bios_serial_number_from_dmidecode(out, out_len, log);
}

int systeminfo_collection::get_bios_serial_number_from_lshal(char* out, int out_len, base_log* log) {
    char line[1024];
    int err = 0;
    cmd_result r = run_first_line(k_lshal_cmd, line, sizeof(line), err);
    if (r == cmd_popen_failed) {
        log_text(log, "error",
                 "[systeminfo_collection::get_bios_serial_number_from_lshal] get bios serial number from lshal error! popen failed, errno is %d",
                 err);
        return -1;
    }
    if (r == cmd_no_line || line[0] == '\0') {
        log_text(log, "error",
                 "[systeminfo_collection::get_bios_serial_number_from_lshal] get bios serial number from lshal error! fegets failed, fgets failed, errno is %d",
                 err);
        return -1;
    }
    keep_text(out, out_len, line, BIOS_SERIAL_KEEP);
    return 0;
}

int systeminfo_collection::get_bios_serial_number_from_dmidecode(char* out, int out_len, base_log* log) {
    char line[1024];
    int err = 0;
    cmd_result r = run_first_line(k_dmidecode_cmd, line, sizeof(line), err);
    if (r == cmd_popen_failed) {
        log_text(log, "error",
                 "[systeminfo_collection::get_bios_serial_number_from_dmidecode] popen serial number from dmidecode error! errno is %d",
                 err);
        return -1;
    }
    if (r == cmd_no_line || line[0] == '\0') {
        log_text(log, "error",
                 "[systeminfo_collection::get_bios_serial_number_from_dmidecode] get bios serial number from dmidecode error! fegets failed, errno is %d",
                 err);
        return -1;
    }
    keep_text(out, out_len, line, BIOS_SERIAL_KEEP);
    return 0;
}
