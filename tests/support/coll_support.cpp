#include "tests/support/coll_support.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/sim_collection.h"

namespace hux_test {
namespace coll {

namespace {

EVP_PKEY* load_private_key(const std::string& key_file) {
    FILE* f = std::fopen((key_dir() + key_file).c_str(), "r");
    if (f == nullptr) return nullptr;
    EVP_PKEY* key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    return key;
}

}  // namespace

std::string key_dir() {
    // This file is tests/support/coll_support.cpp.
    std::string here = __FILE__;
    here = here.substr(0, here.rfind('/'));
    return here.substr(0, here.rfind('/')) + "/data/coll_keys/";
}

scratch_dir::scratch_dir() {
    char tmpl[] = "/tmp/hux_test_XXXXXX";
    const char* made = mkdtemp(tmpl);
    m_path = made != nullptr ? made : "";
    char cwd[4096];
    m_old = getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : "/tmp";
    if (m_path.empty() || chdir(m_path.c_str()) != 0) {
        std::fprintf(stderr, "scratch_dir: no working directory under /tmp\n");
        std::abort();
    }
}

scratch_dir::~scratch_dir() {
    if (chdir(m_old.c_str()) != 0) std::fprintf(stderr, "scratch_dir: cannot go back to %s\n", m_old.c_str());
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

std::vector<std::string> split_at(const std::string& text, char sep) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == sep) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

bool is_sql_datetime(const std::string& text) {
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i]) return false;
    }
    return true;
}

std::string base64_encode(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string rsa_encrypt(const std::string& key_file, const std::string& plain, int padding) {
    EVP_PKEY* key = load_private_key(key_file);
    EVP_PKEY_CTX* ctx = key != nullptr ? EVP_PKEY_CTX_new(key, nullptr) : nullptr;
    std::string out;
    size_t len = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(plain.data());
    if (ctx != nullptr && EVP_PKEY_encrypt_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, padding) > 0 &&
        EVP_PKEY_encrypt(ctx, nullptr, &len, in, plain.size()) > 0) {
        out.assign(len, '\0');
        if (EVP_PKEY_encrypt(ctx, reinterpret_cast<unsigned char*>(&out[0]), &len, in, plain.size()) > 0) {
            out.resize(len);
        } else {
            out.clear();
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    return out;
}

std::string decrypt_content(const std::string& base64, const std::string& key_file) {
    std::string cipher, plain, why;
    if (!hux_sim::coll_base64_decode(base64, cipher)) return "";
    if (!hux_sim::coll_decrypt(key_dir() + key_file, cipher, plain, why)) return "";
    return plain;
}

}  // namespace coll
}  // namespace hux_test
