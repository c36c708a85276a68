// Terminal description of the collection report: base64, the RSA step with
// the built-in keys and key files (decrypted here with the private keys kept
// under tests/data/coll_keys), the eleven plaintext fields and their cuts
// (with stand-in lsblk, udevadm, lshal and dmidecode put first on PATH, and
// the host name set in a private UTS namespace), and CPUID.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/coll_support.h"
#include "tools/base_log.h"
#include "report/coll_encrpt/cpuid.h"
#include "report/coll_encrpt/systeminfo_collection.h"

using namespace hux_test::coll;

namespace {

using sic = systeminfo_collection;

// A text log in the scratch directory.
class test_log {
public:
    test_log() : m_path("collect.log") { EXPECT_EQ(m_log.open(m_path.c_str()), 1); }
    base_log* get() { return &m_log; }
    std::string text() const { return read_file(m_path); }

private:
    std::string m_path;
    base_log m_log;
};

// Puts a directory of stand-in commands first on PATH (or alone on it).
class path_scope {
public:
    path_scope(const std::string& dir, bool alone) {
        m_old = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        std::string p = alone ? dir : dir + ":" + m_old;
        setenv("PATH", p.c_str(), 1);
    }
    ~path_scope() { setenv("PATH", m_old.c_str(), 1); }

private:
    std::string m_old;
};

void fake_tool(const std::string& dir, const std::string& name, const std::string& body) {
    write_file(dir + "/" + name, "#!/bin/sh\n" + body + "\n", 0755);
}

// A bin directory holding only the text tools the collectors' pipelines use,
// so that lsblk, udevadm, lshal and dmidecode are missing.
std::string bare_bin(const std::string& base) {
    std::string dir = base + "/bare";
    mkdir(dir.c_str(), 0755);
    for (const char* tool : {"grep", "sed", "awk", "head", "tr", "cut"}) {
        for (const char* where : {"/usr/bin/", "/bin/"}) {
            std::string src = std::string(where) + tool;
            if (access(src.c_str(), X_OK) == 0) {
                EXPECT_EQ(symlink(src.c_str(), (dir + "/" + tool).c_str()), 0);
                break;
            }
        }
    }
    return dir;
}

EVP_PKEY* private_key(const std::string& file) {
    std::string pem = read_file(key_dir() + file);
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    EVP_PKEY* k = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return k;
}

std::string pem_of(EVP_PKEY* k, const char* structure) {
    OSSL_ENCODER_CTX* ectx =
        OSSL_ENCODER_CTX_new_for_pkey(k, EVP_PKEY_PUBLIC_KEY, "PEM", structure, nullptr);
    unsigned char* data = nullptr;
    size_t len = 0;
    std::string out;
    if (ectx != nullptr && OSSL_ENCODER_to_data(ectx, &data, &len) == 1) {
        out.assign(reinterpret_cast<char*>(data), len);
        OPENSSL_free(data);
    }
    OSSL_ENCODER_CTX_free(ectx);
    return out;
}

// The "PUBLIC KEY" PEM text of a private key of the test data.
std::string public_pem_of(const std::string& key_file) {
    EVP_PKEY* k = private_key(key_file);
    std::string pem = pem_of(k, "SubjectPublicKeyInfo");
    EVP_PKEY_free(k);
    return pem;
}

int encrypt(const std::string& key, const std::string& data, unsigned char* out, int out_len,
            base_log* log = nullptr) {
    return sic::rsa_encrypt(key.data(), static_cast<int>(key.size()),
                            reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size()), out, out_len, log);
}

std::string first_line_second_word(const std::string& path) {
    std::string text = read_file(path);
    std::istringstream in(text.substr(0, text.find('\n')));
    std::string w1, w2;
    in >> w1 >> w2;
    return w2;
}

// The OS version as the collector should report it, worked out here.
std::string expected_os_version() {
    std::string v;
    if (access("/etc/redhat-release", F_OK) == 0) {
        std::istringstream in(read_file("/etc/redhat-release"));
        std::string prev, w;
        while (in >> w) {
            if (prev.find("release") != std::string::npos) {
                v = w;
                break;
            }
            prev = w;
        }
    } else {
        v = first_line_second_word("/etc/issue");
    }
    return v.substr(0, 5);
}

std::string cpuinfo_value(const std::string& key) {
    std::istringstream in(read_file("/proc/cpuinfo"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0 && line.find(':') != std::string::npos) {
            std::string v = line.substr(line.find(':') + 1);
            while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(v.begin());
            return v;
        }
    }
    return "";
}

bool cpuinfo_flag(const std::string& flag) {
    return (" " + cpuinfo_value("flags") + " ").find(" " + flag + " ") != std::string::npos;
}

// The first non-loopback IPv4 address and the text of its hardware address
// from /sys ("02FC00000001"); empty when the machine has none.
void first_card(std::string& ip, std::string& mac) {
    ip.clear();
    mac.clear();
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return;
    for (struct ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if (std::strncmp(it->ifa_name, "lo", 2) == 0) continue;
        std::string addr = read_file(std::string("/sys/class/net/") + it->ifa_name + "/address");
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &reinterpret_cast<struct sockaddr_in*>(it->ifa_addr)->sin_addr, text, sizeof(text));
        ip = text;
        for (char c : addr) {
            if (std::isxdigit(static_cast<unsigned char>(c))) mac += static_cast<char>(std::toupper(c));
        }
        break;
    }
    freeifaddrs(list);
}

std::string host_name() {
    char h[256] = {0};
    gethostname(h, sizeof(h) - 1);
    return h;
}

// Stand-ins for a machine whose disk reports an ID_SERIAL_SHORT of 20
// characters and no ID_SCSI_SERIAL, and whose lshal names a serial.
void fake_machine(const std::string& bin) {
    mkdir(bin.c_str(), 0755);
    fake_tool(bin, "lsblk",
              "printf 'NAME MAJ:MIN RM SIZE RO TYPE MOUNTPOINTS\\n"
              "sr0   11:0 1 1024M 0 rom\\n"
              "sdz    8:0 0  100G 0 disk\\n"
              "sdy    8:16 0 100G 0 disk\\n'");
    fake_tool(bin, "udevadm",
              "[ \"$1 $2 $3\" = 'info --query=property --name=/dev/sdz' ] || exit 1\n"
              "printf 'DEVNAME=/dev/sdz\\nID_SERIAL=QEMU_HARDDISK_ABCDEFGHIJKLMNOPQRST\\n"
              "ID_SERIAL_SHORT=ABCDEFGHIJKLMNOPQRST\\nID_TYPE=disk\\n'");
    fake_tool(bin, "lshal",
              "printf \"udi = '/org/freedesktop/Hal/devices/computer'\\n"
              "  system.hardware.vendor = 'ACME'  (string)\\n"
              "  system.hardware.serial = 'LSHAL-SERIAL-123'  (string)\\n\"");
    fake_tool(bin, "dmidecode", "printf '\\tSerial Number: NOT-USED\\n'");
}

}  // namespace

TEST(Base64, RfcVectorsAndEveryByteValue) {
    const char* vectors[][2] = {{"f", "Zg=="},     {"fo", "Zm8="},         {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) {
        char out[32];
        int n = sic::base64_encode(reinterpret_cast<const unsigned char*>(v[0]),
                                   static_cast<int>(std::strlen(v[0])), out, sizeof(out));
        EXPECT_EQ(n, static_cast<int>(std::strlen(v[1]))) << v[0];
        EXPECT_STREQ(out, v[1]);
    }
    char out[8] = "#######";
    EXPECT_EQ(sic::base64_encode(reinterpret_cast<const unsigned char*>(""), 0, out, sizeof(out)), 0);
    EXPECT_STREQ(out, "");

    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::vector<char> big(1024, '#');
    int n = sic::base64_encode(reinterpret_cast<const unsigned char*>(all.data()), 256, big.data(),
                               static_cast<int>(big.size()));
    ASSERT_EQ(n, 344);
    EXPECT_EQ(std::string(big.data()), base64_encode(all));
}

TEST(Base64, RoomIsCheckedBeforeAnyByteIsWritten) {
    struct room_case {
        int src_len;
        int room;
        int expect;  // encoded length, or 0 for a refusal
    };
    const room_case cases[] = {
        {1, 3, 0},   {1, 4, 0},   {1, 5, 4},    // "Zg==" and its terminator need 5
        {2, 4, 0},   {2, 5, 4},                 //
        {3, 5, 0},   {3, 6, 4},                 // twice the source
        {4, 8, 0},   {4, 9, 8},                 // 8 characters and a terminator
        {6, 9, 0},   {6, 11, 0},  {6, 12, 8},   //
        {256, 344, 0}, {256, 511, 0}, {256, 512, 344},
    };
    const std::string src(300, '\xA5');
    for (const room_case& c : cases) {
        std::vector<char> buf(700, '#');
        int n = sic::base64_encode(reinterpret_cast<const unsigned char*>(src.data()), c.src_len,
                                   buf.data(), c.room);
        EXPECT_EQ(n, c.expect) << c.src_len << " bytes into " << c.room;
        // Nothing beyond the room is touched; a refusal touches nothing.
        int touched = c.expect == 0 ? 0 : c.expect + 1;
        for (int i = touched; i < static_cast<int>(buf.size()); ++i) {
            if (buf[static_cast<size_t>(i)] != '#') {
                ADD_FAILURE() << "byte " << i << " written for " << c.src_len << " into " << c.room;
                break;
            }
        }
        if (c.expect > 0) {
            EXPECT_EQ(buf[static_cast<size_t>(c.expect)], '\0');
        }
    }
    char out[16];
    EXPECT_EQ(sic::base64_encode(nullptr, 3, out, sizeof(out)), 0);
    EXPECT_EQ(sic::base64_encode(reinterpret_cast<const unsigned char*>("abc"), -1, out, sizeof(out)), 0);
    EXPECT_EQ(sic::base64_encode(reinterpret_cast<const unsigned char*>("abc"), 3, nullptr, 16), 0);
    EXPECT_EQ(sic::base64_encode(reinterpret_cast<const unsigned char*>("abc"), 3, out, -5), 0);
}

TEST(CollKeys, BuiltInKeysArePublicRsa2048PemMatchingTheTestData) {
    for (const char* key : {sic::normal_public_key(), sic::test_public_key()}) {
        std::string k = key;
        EXPECT_EQ(k.size(), 450u);
        EXPECT_EQ(count_of(k, "\n"), 8u);  // 9 lines
        EXPECT_EQ(k.compare(0, 27, "-----BEGIN PUBLIC KEY-----\n"), 0);
        EXPECT_EQ(k.substr(k.size() - 24), "-----END PUBLIC KEY-----");
    }
    EXPECT_STRNE(sic::normal_public_key(), sic::test_public_key());
    // Each built-in key is the public half of its private key in the test data.
    EXPECT_EQ(public_pem_of("normal_private.pem"), std::string(sic::normal_public_key()) + "\n");
    EXPECT_EQ(public_pem_of("test_private.pem"), std::string(sic::test_public_key()) + "\n");
}

TEST(RsaEncrypt, RoundTripWithTheBuiltInKeys) {
    const std::string plain = "2@2024-02-29 13:45:07@127.0.0.1@127.0.0.1@@@host@GNU/L@@A10F8000FFFB8B17@";
    unsigned char out[512];
    auto block = [&] { return base64_encode(std::string(reinterpret_cast<char*>(out), 256)); };
    ASSERT_EQ(encrypt(sic::test_public_key(), plain, out, sizeof(out)), 256);
    EXPECT_EQ(decrypt_content(block(), "test_private.pem"), plain);
    EXPECT_EQ(decrypt_content(block(), "normal_private.pem"), "");
    ASSERT_EQ(encrypt(sic::normal_public_key(), plain, out, sizeof(out)), 256);
    EXPECT_EQ(decrypt_content(block(), "normal_private.pem"), plain);

    // One block carries at most 245 bytes, and the block must fit the room.
    const std::string most(245, 'x');
    ASSERT_EQ(encrypt(sic::test_public_key(), most, out, 256), 256);
    EXPECT_EQ(decrypt_content(block(), "test_private.pem"), most);
    EXPECT_EQ(encrypt(sic::test_public_key(), std::string(246, 'x'), out, sizeof(out)), -1);
    EXPECT_EQ(encrypt(sic::test_public_key(), plain, out, 255), -1);
    EXPECT_EQ(sic::rsa_encrypt(sic::test_public_key(), 450, nullptr, 4, out, sizeof(out), nullptr), -1);
    EXPECT_EQ(sic::rsa_encrypt(sic::test_public_key(), 450, out, 4, nullptr, 512, nullptr), -1);
}

TEST(RsaEncrypt, RefusesAnythingButAnRsaPublicKeyPem) {
    scratch_dir dir;
    test_log log;

    EVP_PKEY* ec = EVP_EC_gen("P-256");
    ASSERT_NE(ec, nullptr);
    const std::string ec_pem = pem_of(ec, "SubjectPublicKeyInfo");
    EVP_PKEY_free(ec);
    EVP_PKEY* pss = nullptr;
    EVP_PKEY_CTX* gen = EVP_PKEY_CTX_new_from_name(nullptr, "RSA-PSS", nullptr);
    ASSERT_NE(gen, nullptr);
    ASSERT_GT(EVP_PKEY_keygen_init(gen), 0);
    ASSERT_GT(EVP_PKEY_CTX_set_rsa_keygen_bits(gen, 1024), 0);
    ASSERT_GT(EVP_PKEY_generate(gen, &pss), 0);
    EVP_PKEY_CTX_free(gen);
    const std::string pss_pem = pem_of(pss, "SubjectPublicKeyInfo");
    EVP_PKEY_free(pss);
    EVP_PKEY* rsa = private_key("test_private.pem");
    const std::string pkcs1_pem = pem_of(rsa, "type-specific");  // "RSA PUBLIC KEY"
    EVP_PKEY_free(rsa);
    ASSERT_EQ(ec_pem.compare(0, 26, "-----BEGIN PUBLIC KEY-----"), 0);
    ASSERT_EQ(pss_pem.compare(0, 26, "-----BEGIN PUBLIC KEY-----"), 0);
    ASSERT_EQ(pkcs1_pem.compare(0, 30, "-----BEGIN RSA PUBLIC KEY-----"), 0);

    const std::string test_key = sic::test_public_key();
    const std::string refused[] = {
        "",
        "not a key at all",
        test_key.substr(0, 200),                          // cut short
        read_file(key_dir() + "test_private.pem"),        // a private key
        pkcs1_pem,                                        // RSA, but not the "PUBLIC KEY" form
        ec_pem,                                           // not RSA
        pss_pem,                                          // RSA-PSS cannot encrypt
    };
    unsigned char out[512];
    int i = 0;
    for (const std::string& key : refused) {
        testing::internal::CaptureStdout();
        int n = encrypt(key, "hello", out, sizeof(out), log.get());
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(n, -1) << "key " << i;
        EXPECT_EQ(printed, "-----error read pubkey----\n") << "key " << i;
        ++i;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(sic::rsa_encrypt(nullptr, 450, out, 5, out, sizeof(out), log.get()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "-----error read pubkey----\n");
    EXPECT_EQ(count_of(log.text(), "error [systeminfo_collection::rsa_encrypt] -----error read pubkey----!\n"), 8u);
}

TEST(GetCiphertext, KeyChoiceAndBufferRooms) {
    scratch_dir dir;
    test_log log;
    const std::string plain = "2@2024-02-29 13:45:07@10.0.0.1@@@@host@GNU/L@@@";
    unsigned char work[2048];
    char out[889];
    auto run = [&](bool test_key, bool log_switch, int work_len = 2048, int out_len = 889) {
        std::memset(out, 0, sizeof(out));
        return sic::get_ciphertext(plain.data(), static_cast<int>(plain.size()), work, work_len, out,
                                   out_len, test_key, log.get(), log_switch);
    };

    // Normal mode: the normal key.
    ASSERT_EQ(run(false, false), 344);
    EXPECT_EQ(decrypt_content(out, "normal_private.pem"), plain);
    // Test-key mode without a key file: the built-in test key.
    ASSERT_EQ(run(true, true), 344);
    EXPECT_EQ(decrypt_content(out, "test_private.pem"), plain);
    std::string text = log.text();
    EXPECT_EQ(count_of(text, "info [systeminfo_collection::get_ciphertext] before:rsa:" + plain + "\n"), 1u);
    EXPECT_EQ(count_of(text, "info [systeminfo_collection::get_ciphertext] after:base64_encode:" +
                                 std::string(out) + "\n"), 1u);
    EXPECT_EQ(count_of(text, "info [systeminfo_collection::get_ciphertext] after:rsa:"), 1u);
    EXPECT_EQ(count_of(text, "use pubkey file!!!"), 0u);

    // Test-key mode with a readable key file: the file's key.
    write_file("morvast_testor.pem", std::string(sic::normal_public_key()) + "\n");
    ASSERT_EQ(run(true, true), 344);
    EXPECT_EQ(decrypt_content(out, "normal_private.pem"), plain);
    EXPECT_EQ(count_of(log.text(), "info [systeminfo_collection::get_ciphertext] use pubkey file!!!\n"), 1u);
    // The file plays no part in normal mode.
    write_file("morvast_testor.pem", "garbage");
    ASSERT_EQ(run(false, false), 344);
    EXPECT_EQ(decrypt_content(out, "normal_private.pem"), plain);

    // A readable but unusable file fails; it does not fall back.
    const std::string text_len_zero = "error [systeminfo_collection::get_ciphertext] text_len is 0!\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(true, false), -1);
    write_file("morvast_testor.pem", read_file(key_dir() + "test_private.pem"));
    EXPECT_EQ(run(true, false), -1);
    // Only the first 2047 bytes are read: a key placed after them is not seen.
    write_file("morvast_testor.pem", std::string(3000, 'A') + "\n" + sic::test_public_key() + "\n");
    EXPECT_EQ(run(true, false), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(count_of(log.text(), text_len_zero), 3u);
    unlink("morvast_testor.pem");

    // The ciphertext must fit the work buffer and its base64 text the output.
    EXPECT_EQ(run(false, false, 255), -1);
    EXPECT_EQ(run(false, false, 2048, 511), -1);
    EXPECT_EQ(count_of(log.text(), "base64_encode failed"), 1u);
    EXPECT_EQ(run(false, false, 256, 512), 344);
    EXPECT_EQ(count_of(log.text(), text_len_zero), 4u);
    EXPECT_EQ(sic::get_ciphertext(plain.data(), 0, work, 2048, out, 889, false, log.get(), false), -1);
    EXPECT_EQ(sic::get_ciphertext(nullptr, 5, work, 2048, out, 889, false, log.get(), false), -1);
}

TEST(LoadKey, ReadsTheWorkingDirectoryKeyFile) {
    scratch_dir dir;
    std::vector<char> buf(sic::KEY_BUF_LEN, '#');
    EXPECT_EQ(sic::load_key(buf.data()), -1);
    write_file("morvast_testor.pem", "short");
    ASSERT_EQ(sic::load_key(buf.data()), 0);
    EXPECT_STREQ(buf.data(), "short");
    write_file("morvast_testor.pem", std::string(5000, 'k'));
    ASSERT_EQ(sic::load_key(buf.data()), 0);
    EXPECT_EQ(std::strlen(buf.data()), 2047u);
    chmod("morvast_testor.pem", 0);  // unreadable (root reads it all the same)
    if (geteuid() != 0) {
        EXPECT_EQ(sic::load_key(buf.data()), -1);
    }
    EXPECT_EQ(sic::load_key(nullptr), -1);
}

TEST(Plaintext, ElevenFieldsEachCut) {
    scratch_dir dir;
    test_log log;
    const std::string bin = dir.path() + "/bin";
    fake_machine(bin);
    path_scope path(bin, false);

    std::string card_ip, card_mac;
    first_card(card_ip, card_mac);
    const std::string long_ip(50, '9');

    system_raw_info raw;
    char out[2048];
    time_t before = time(nullptr);
    int n = sic::get_plaintext("127.0.0.1", card_ip.c_str(), out, sizeof(out), raw, log.get());
    time_t after = time(nullptr);
    ASSERT_GT(n, 0);
    EXPECT_EQ(n, static_cast<int>(std::strlen(out)));
    EXPECT_LE(n, 140);
    std::vector<std::string> f = split_at(out, '@');
    ASSERT_EQ(f.size(), 11u) << out;

    EXPECT_EQ(f[0], "2");
    // Collect time: local "yyyy-mm-dd hh:mm:ss" between the two readings.
    ASSERT_EQ(f[1].size(), 19u);
    struct tm t;
    std::memset(&t, 0, sizeof(t));
    ASSERT_NE(strptime(f[1].c_str(), "%Y-%m-%d %H:%M:%S", &t), nullptr);
    t.tm_isdst = -1;
    time_t stamp = mktime(&t);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(f[2], "127.0.0.1");
    EXPECT_EQ(f[3], card_ip);
    EXPECT_EQ(f[4], "");  // the loopback card is never taken
    EXPECT_EQ(f[5], card_mac);
    EXPECT_EQ(f[6], host_name().substr(0, 9));
    EXPECT_EQ(f[7], expected_os_version());
    EXPECT_EQ(f[8], "ABCDEFGHIJKLMNOP");  // ID_SERIAL_SHORT, first 16 of 20
    EXPECT_EQ(f[9].size(), 16u);
    EXPECT_EQ(f[10], "LSHAL-SERI");  // first 10

    // The raw record holds the same texts, and the disk part its constant.
    EXPECT_STREQ(raw.m_ch_terminal_type, "2");
    EXPECT_EQ(raw.m_ch_collect_time, f[1]);
    EXPECT_EQ(raw.m_ch_cpu_serial_num, f[9]);
    EXPECT_STREQ(raw.m_ch_sys_disk_part, "linux don't need");

    // The first hardware address is tried 6 times; the second once.
    std::string text = log.text();
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_mac_addr] get_interface_by_ip failed, ch_eth_name:\n"),
              6u);
    EXPECT_EQ(count_of(text, "[systeminfo_collection::get_mac_addr] ip is NULL"), card_ip.empty() ? 1u : 0u);
    // ID_SCSI_SERIAL was asked first and gave no line.
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_harddisk_serial_number_from_cmd] get harddisk serial "
                             "number from cmd error! fegets failed, errno is "),
              1u);

    // Addresses keep 39 characters; an empty first address is tried once.
    n = sic::get_plaintext(long_ip.c_str(), "", out, sizeof(out), raw, log.get());
    ASSERT_GT(n, 0);
    f = split_at(out, '@');
    ASSERT_EQ(f.size(), 11u);
    EXPECT_EQ(f[2], long_ip.substr(0, 39));
    EXPECT_EQ(f[3], "");
    size_t null_before = count_of(log.text(), "error [systeminfo_collection::get_mac_addr] ip is NULL\n");
    n = sic::get_plaintext("", nullptr, out, sizeof(out), raw, log.get());
    ASSERT_GT(n, 0);
    EXPECT_EQ(count_of(log.text(), "error [systeminfo_collection::get_mac_addr] ip is NULL\n"), null_before + 2);
    EXPECT_EQ(split_at(out, '@').size(), 11u);

    // The line and its terminator must fit the room.
    std::memset(out, '#', sizeof(out));
    EXPECT_EQ(sic::get_plaintext("127.0.0.1", "", out, 20, raw, log.get()), 0);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[20], '#');
    EXPECT_EQ(sic::get_plaintext("127.0.0.1", "", out, 0, raw, log.get()), 0);
}

TEST(Plaintext, DiskAndBiosSourcesInTheirOrder) {
    scratch_dir dir;
    test_log log;
    const std::string bin = dir.path() + "/bin";
    fake_machine(bin);
    path_scope path(bin, false);
    char out[128];

    // ID_SCSI_SERIAL wins over ID_SERIAL_SHORT when the disk has it.
    fake_tool(bin, "udevadm",
              "[ \"$3\" = '--name=/dev/sdz' ] || exit 1\n"
              "printf 'ID_SERIAL_SHORT=SHORT\\nID_SCSI_SERIAL=SCSI-0123456789ABCDEF\\n'");
    ASSERT_EQ(sic::get_harddisk_serial_number(out, sizeof(out), log.get()), 0);
    EXPECT_STREQ(out, "SCSI-0123456789A");
    // A short room cuts further, never past it.
    ASSERT_EQ(sic::get_harddisk_serial_number(out, 5, log.get()), 0);
    EXPECT_STREQ(out, "SCSI");

    // Without lshal, dmidecode's "Serial Number" without white space.
    unlink((bin + "/lshal").c_str());
    fake_tool(bin, "dmidecode",
              "[ \"$1 $2\" = '-t 1' ] || exit 1\n"
              "printf '# dmidecode 3.4\\nSystem Information\\n\\tManufacturer: ACME\\n"
              "\\tSerial Number: VMware-56 4d 12 34\\n\\tUUID: 1234\\n'");
    ASSERT_EQ(sic::get_bios_serial_number(out, sizeof(out), log.get()), 0);
    EXPECT_STREQ(out, "VMware-564");
    // lshal without the property counts as a failed source too.
    fake_tool(bin, "lshal", "printf '  system.hardware.vendor = '\"'\"'ACME'\"'\"'  (string)\\n'");
    ASSERT_EQ(sic::get_bios_serial_number(out, sizeof(out), log.get()), 0);
    EXPECT_STREQ(out, "VMware-564");

    // A disk name that is not a plain device name never reaches udevadm.
    fake_tool(bin, "lsblk", "printf 'sd;touch 8:0 0 1G 0 disk\\n'");
    fake_tool(bin, "udevadm", "touch udevadm_ran; printf 'ID_SERIAL_SHORT=LEAKED\\n'");
    std::strcpy(out, "old");
    EXPECT_EQ(sic::get_harddisk_serial_number(out, sizeof(out), log.get()), -1);
    EXPECT_STREQ(out, "");
    EXPECT_NE(access("udevadm_ran", F_OK), 0);
    EXPECT_EQ(count_of(log.text(), "not a plain device name: sd;touch\n"), 1u);
    fake_tool(bin, "lsblk", "printf 'sd$(x) 8:0 0 1G 0 disk\\n'");
    EXPECT_EQ(sic::get_harddisk_serial_number(out, sizeof(out), log.get()), -1);
    fake_tool(bin, "lsblk", "printf 'nvme0n1 259:0 0 1G 0 disk\\n'");
    fake_tool(bin, "udevadm", "[ \"$3\" = '--name=/dev/nvme0n1' ] && printf 'ID_SERIAL_SHORT=S4EVNF0M\\n'");
    ASSERT_EQ(sic::get_harddisk_serial_number(out, sizeof(out), log.get()), 0);
    EXPECT_STREQ(out, "S4EVNF0M");

    // udevadm with neither property: both asked, both logged, field empty.
    fake_tool(bin, "udevadm", "printf 'DEVNAME=/dev/nvme0n1\\n'");
    const std::string fegets =
        "error [systeminfo_collection::get_harddisk_serial_number_from_cmd] get harddisk serial number from cmd "
        "error! fegets failed, errno is ";
    size_t before = count_of(log.text(), fegets);
    EXPECT_EQ(sic::get_harddisk_serial_number(out, sizeof(out), log.get()), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(count_of(log.text(), fegets), before + 2);
}

TEST(SystemInfo, MissingToolsLeaveTheirFieldsEmptyAndEveryModeHasItsRoom) {
    scratch_dir dir;
    test_log log;
    path_scope path(bare_bin(dir.path()), true);

    system_raw_info raw;
    char out[2048];
    int n = sic::get_plaintext("", "", out, sizeof(out), raw, log.get());
    ASSERT_GT(n, 0);
    std::vector<std::string> f = split_at(out, '@');
    ASSERT_EQ(f.size(), 11u) << out;
    EXPECT_EQ(f[0], "2");
    EXPECT_EQ(f[6], host_name().substr(0, 9));
    EXPECT_EQ(f[7], expected_os_version());  // awk, head and tr are still there
    EXPECT_EQ(f[8], "");
    EXPECT_EQ(f[9].size(), 16u);
    EXPECT_EQ(f[10], "");

    std::string text = log.text();
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_harddisk_serial_number] get lsblk harddisk serial "
                             "number error! fgets failed, errno is "),
              1u);
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_bios_serial_number_from_lshal] get bios serial "
                             "number from lshal error! fegets failed, fgets failed, errno is "),
              1u);
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_bios_serial_number_from_dmidecode] get bios "
                             "serial number from dmidecode error! fegets failed, errno is "),
              1u);

    // The whole description still goes out, as text or encrypted with
    // either key; a report needs room for its text and terminator.
    char report[889];
    EXPECT_EQ(sic::get_system_info("", "", report, sizeof(report), raw, log.get(), false, true, ciphertext), 344);
    std::vector<std::string> g = split_at(decrypt_content(report, "test_private.pem"), '@');
    ASSERT_EQ(g.size(), 11u);
    EXPECT_EQ(g[6], f[6]);
    EXPECT_EQ(g[9], f[9]);
    ASSERT_EQ(sic::get_system_info("127.0.0.1", "", report, sizeof(report), raw, log.get(), false, false, ciphertext),
              344);
    EXPECT_EQ(split_at(decrypt_content(report, "normal_private.pem"), '@').at(2), "127.0.0.1");
    n = sic::get_system_info("127.0.0.1", "127.0.0.2", report, sizeof(report), raw, log.get(), false, false, plaintext);
    ASSERT_GT(n, 0);
    EXPECT_EQ(n, static_cast<int>(std::strlen(report)));
    EXPECT_EQ(split_at(report, '@').at(3), "127.0.0.2");
    EXPECT_STREQ(raw.m_ch_sys_disk_part, "linux don't need");

    std::memset(report, '#', sizeof(report));
    EXPECT_EQ(sic::get_system_info("127.0.0.1", "", report, sizeof(report), raw, log.get(), false, false, plaintext_utf8),
              0);
    EXPECT_EQ(report[0], '\0');
    // 256 bytes of ciphertext need 512 bytes of room.
    EXPECT_LT(sic::get_system_info("127.0.0.1", "", report, 511, raw, log.get(), false, false, ciphertext), 1);
    EXPECT_EQ(count_of(log.text(), "error [systeminfo_collection::get_system_info] get_ciphertext failed!\n"), 1u);
    EXPECT_EQ(sic::get_system_info("127.0.0.1", "", report, 10, raw, log.get(), false, false, plaintext), 0);
    EXPECT_EQ(sic::get_system_info("127.0.0.1", "", nullptr, 889, raw, log.get(), false, false, plaintext), 0);
}

TEST(Collectors, HardwareAddressAndHostName) {
    scratch_dir dir;
    test_log log;
    char out[64];
    std::string card_ip, card_mac;
    first_card(card_ip, card_mac);
    if (!card_ip.empty()) {
        ASSERT_EQ(sic::get_mac_addr(card_ip.c_str(), out, sizeof(out), log.get()), 0);
        EXPECT_EQ(out, card_mac);
        EXPECT_EQ(std::strlen(out), 12u);
    }
    EXPECT_EQ(sic::get_mac_addr(card_ip.c_str(), out, 12, log.get()), -1);
    EXPECT_EQ(sic::get_mac_addr(nullptr, out, sizeof(out), log.get()), -1);
    EXPECT_EQ(sic::get_mac_addr("127.0.0.1", out, sizeof(out), log.get()), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(sic::get_mac_addr("::1", out, sizeof(out), log.get()), -1);
    std::string text = log.text();
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_mac_addr] ip len <= 12\n"), card_ip.empty() ? 0u : 1u);
    EXPECT_EQ(count_of(text, "error [systeminfo_collection::get_mac_addr] ip is NULL\n"), card_ip.empty() ? 2u : 1u);

    // A 12-character host name is sent as its first 9, set in a private UTS
    // namespace of a child process (root only; elsewhere the real name).
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        char name[64] = "no-namespace";
        if (unshare(CLONE_NEWUTS) == 0 && sethostname("abcdefghijkl", 12) == 0) {
            std::memset(name, 0, sizeof(name));
            if (sic::get_device_name(name, sizeof(name), nullptr) != 0) std::strcpy(name, "failed");
        }
        ssize_t w = write(fds[1], name, std::strlen(name));
        _exit(w > 0 ? 0 : 1);
    }
    close(fds[1]);
    char got[64] = {0};
    ssize_t r = read(fds[0], got, sizeof(got) - 1);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_GT(r, 0);
    if (std::string(got) != "no-namespace") {
        EXPECT_STREQ(got, "abcdefghi");
    }
    ASSERT_EQ(sic::get_device_name(out, sizeof(out), log.get()), 0);
    EXPECT_EQ(out, host_name().substr(0, 9));
    EXPECT_EQ(sic::get_device_name(out, 0, log.get()), -1);
}

TEST(Cpuid, RecordsAndWhatIsDerivedFromThem) {
    const CCPUID& c = CCPUID::cur();
    ASSERT_GE(c.count(), 2);
    ASSERT_LE(c.count(), CCPUID::MAX_RECORDS);
    EXPECT_EQ(c.record(0)->leaf, 0u);
    EXPECT_EQ(c.record(1)->leaf, 1u);
    EXPECT_EQ(c.record(-1), nullptr);
    EXPECT_EQ(c.record(c.count()), nullptr);
    EXPECT_EQ(&CCPUID::cur(), &c);
    ASSERT_NE(c.find(0x80000000u, 0), nullptr);

    EXPECT_EQ(std::string(c.vendor()), cpuinfo_value("vendor_id"));
    // The brand text: printable, at most 48 characters, no leading blank.
    // (A hypervisor may show the kernel another model name, so it is not
    // compared with /proc/cpuinfo.)
    std::string brand = c.brand();
    EXPECT_LE(brand.size(), 48u);
    if (!brand.empty()) {
        EXPECT_NE(brand[0], ' ');
    }
    for (char ch : brand) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << brand;
    EXPECT_EQ(c.mmx(), cpuinfo_flag("mmx") ? 1 : 0);
    int sse = 0;
    const char* levels[] = {"sse", "sse2", "pni", "ssse3", "sse4_1", "sse4_2"};
    for (int i = 0; i < 6; ++i) {
        if (cpuinfo_flag(levels[i])) sse = i + 1;
    }
    EXPECT_EQ(c.sse(), sse);
    EXPECT_EQ(c.avx(), cpuinfo_flag("avx") ? 1 : 0);

    // The CPU serial: EAX then EDX of leaf 1, lowest byte first. EAX is the
    // processor signature the kernel shows as family, model and stepping;
    // EDX holds the MMX, SSE and SSE2 feature bits.
    char serial[32];
    ASSERT_EQ(sic::get_cpu_serial_number(serial, sizeof(serial), nullptr), 0);
    ASSERT_EQ(std::strlen(serial), 16u);
    unsigned bytes[8];
    for (int i = 0; i < 8; ++i) {
        char two[3] = {serial[2 * i], serial[2 * i + 1], 0};
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(two[0])) && !std::islower(two[0]));
        bytes[i] = static_cast<unsigned>(std::strtoul(two, nullptr, 16));
    }
    unsigned eax = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
    unsigned edx = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
    unsigned family = (eax >> 8) & 0xF;
    unsigned model = (eax >> 4) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    if (family >= 6) model += ((eax >> 16) & 0xF) << 4;
    EXPECT_EQ(std::to_string(family), cpuinfo_value("cpu family"));
    EXPECT_EQ(std::to_string(model), cpuinfo_value("model\t"));
    EXPECT_EQ(std::to_string(eax & 0xF), cpuinfo_value("stepping"));
    EXPECT_EQ((edx >> 23) & 1, cpuinfo_flag("mmx") ? 1u : 0u);
    EXPECT_EQ((edx >> 25) & 1, cpuinfo_flag("sse") ? 1u : 0u);
    EXPECT_EQ((edx >> 26) & 1, cpuinfo_flag("sse2") ? 1u : 0u);
}
