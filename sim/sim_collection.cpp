// The collection service's messages and the decryption of a report's
// content. Every message is built and read by byte offset from its table, on
// its own, so that a fault in the client's records cannot hide behind the
// same fault here.
#include "sim/sim_collection.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <fstream>

namespace hux_sim {

namespace {

// Offsets and widths of the report ('c') and verdict ('d') fields.
const size_t report_app_id_at = 1, app_id_width = 30;
const size_t report_auth_code_at = 31, auth_code_width = 18;
const size_t report_login_id_at = 49, login_id_width = 33;
const size_t report_password_at = 82, password_width = 33;
const size_t report_time_at = 115, time_width = 20;
const size_t report_content_at = 135, content_width = 889;
const size_t verdict_app_id_at = 1;
const size_t verdict_login_id_at = 31;
const size_t verdict_user_id_at = 64;
const size_t verdict_time_at = 68;
const size_t verdict_result_at = 88;

const uint32_t protocol_version = 1;

// A key file is a few kilobytes; anything far larger is not one.
const std::streamsize max_key_file_bytes = 64 * 1024;

void put_le32(std::string& m, size_t off, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) m[off + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

void put_text(std::string& m, size_t off, size_t width, const std::string& text) {
    const size_t n = std::min(width, text.size());
    m.replace(off, n, text, 0, n);
}

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The newest OpenSSL error as text, and the queue emptied so that nothing
// stale is left on the poll thread for the next report.
std::string openssl_error(const char* what) {
    std::string text = what;
    unsigned long code = ERR_get_error();
    if (code != 0) {
        char buf[256];
        ERR_error_string_n(code, buf, sizeof(buf));
        text += ": ";
        text += buf;
    }
    ERR_clear_error();
    return text;
}

bool read_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(static_cast<size_t>(max_key_file_bytes) + 1, '\0');
    in.read(&out[0], max_key_file_bytes + 1);
    if (in.bad() || in.gcount() > max_key_file_bytes) return false;
    out.resize(static_cast<size_t>(in.gcount()));
    return true;
}

}  // namespace

std::string coll_version_reply(uint8_t result, bool use_test_key) {
    std::string m(coll_version_reply_len, '\0');
    m[0] = static_cast<char>(coll_type_version_reply);
    m[1] = static_cast<char>(result);
    m[2] = static_cast<char>(use_test_key ? 1 : 0);
    // byte 3 reserved
    put_le32(m, 4, protocol_version);
    return m;
}

std::string coll_field_text(const std::string& msg, size_t offset, size_t width) {
    if (offset >= msg.size()) return std::string();
    const size_t avail = std::min(width, msg.size() - offset);
    const size_t nul = msg.find('\0', offset);
    const size_t len = nul == std::string::npos ? avail : std::min(avail, nul - offset);
    return msg.substr(offset, len);
}

std::string coll_verdict_message(const std::string& report, const coll_verdict& verdict, uint32_t user_id,
                                 const std::string& receive_time) {
    if (verdict.how == coll_verdict::kind::none) return std::string();
    std::string m(coll_verdict_len, '\0');
    m[0] = static_cast<char>(coll_type_verdict);
    put_text(m, verdict_app_id_at, app_id_width, coll_field_text(report, report_app_id_at, app_id_width));
    const std::string login = verdict.how == coll_verdict::kind::foreign
                                  ? std::string(coll_foreign_login_id)
                                  : coll_field_text(report, report_login_id_at, login_id_width);
    put_text(m, verdict_login_id_at, login_id_width, login);
    put_le32(m, verdict_user_id_at, user_id);
    put_text(m, verdict_time_at, time_width - 1, receive_time);
    m[verdict_result_at] = static_cast<char>(verdict.result);
    return m;
}

bool coll_base64_decode(const std::string& text, std::string& out) {
    out.clear();
    if (text.size() % 4 != 0) return false;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        // Padding may take the last one or two places of the last group only.
        size_t pad = 0;
        if (last && text[i + 3] == '=') pad = text[i + 2] == '=' ? 2 : 1;
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            int v = k < 4 - pad ? base64_value(text[i + k]) : 0;
            if (v < 0) {
                out.clear();
                return false;
            }
            group = (group << 6) | static_cast<uint32_t>(v);
        }
        out.push_back(static_cast<char>((group >> 16) & 0xff));
        if (pad < 2) out.push_back(static_cast<char>((group >> 8) & 0xff));
        if (pad < 1) out.push_back(static_cast<char>(group & 0xff));
    }
    return true;
}

bool coll_decrypt(const std::string& key_file, const std::string& cipher, std::string& plain, std::string& why) {
    plain.clear();
    std::string pem;
    if (!read_file(key_file, pem)) {
        why = "cannot read key file " + key_file;
        return false;
    }
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (bio == nullptr) {
        why = openssl_error("BIO_new_mem_buf");
        return false;
    }
    // No pass phrase: an encrypted key file fails instead of prompting.
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, [](char*, int, int, void*) { return -1; }, nullptr);
    BIO_free(bio);
    if (key == nullptr) {
        why = openssl_error(("no private key in " + key_file).c_str());
        return false;
    }
    bool ok = false;
    EVP_PKEY_CTX* ctx = nullptr;
    if (!EVP_PKEY_is_a(key, "RSA")) {
        why = "not an RSA key: " + key_file;
    } else if ((ctx = EVP_PKEY_CTX_new(key, nullptr)) == nullptr || EVP_PKEY_decrypt_init(ctx) <= 0 ||
               EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) <= 0) {
        why = openssl_error("RSA decryption set-up");
    } else {
#ifdef OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION
        // Newer OpenSSL answers bad padding with random bytes; the server
        // must see the failure.
        unsigned int implicit = 0;
        OSSL_PARAM params[] = {OSSL_PARAM_construct_uint(OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION, &implicit),
                               OSSL_PARAM_construct_end()};
        EVP_PKEY_CTX_set_params(ctx, params);
#endif
        const unsigned char* in = reinterpret_cast<const unsigned char*>(cipher.data());
        size_t out_len = 0;
        if (EVP_PKEY_decrypt(ctx, nullptr, &out_len, in, cipher.size()) <= 0) {
            why = openssl_error("RSA decryption");
        } else {
            std::string out(out_len, '\0');
            if (EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(&out[0]), &out_len, in, cipher.size()) <= 0) {
                why = openssl_error("RSA decryption");
            } else {
                out.resize(out_len);
                plain = std::move(out);
                ok = true;
            }
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    return ok;
}

sim_coll_report coll_read_report(size_t conn, const std::string& bytes, bool test_key, const std::string& key_dir) {
    sim_coll_report r;
    r.conn = conn;
    r.bytes = bytes;
    r.app_id = coll_field_text(bytes, report_app_id_at, app_id_width);
    r.auth_code = coll_field_text(bytes, report_auth_code_at, auth_code_width);
    r.login_id = coll_field_text(bytes, report_login_id_at, login_id_width);
    r.password = coll_field_text(bytes, report_password_at, password_width);
    r.report_time = coll_field_text(bytes, report_time_at, time_width);
    r.test_key = test_key;
    if (key_dir.empty()) return r;

    const std::string content = coll_field_text(bytes, report_content_at, content_width);
    if (content.size() >= content_width) {
        r.failure = "report content has no terminating NUL";
        return r;
    }
    std::string cipher;
    if (!coll_base64_decode(content, cipher)) {
        r.failure = "report content is not base64";
        return r;
    }
    const std::string key_file = key_dir + "/" + (test_key ? coll_test_key_file : coll_normal_key_file);
    r.decrypted = coll_decrypt(key_file, cipher, r.plaintext, r.failure);
    return r;
}

}  // namespace hux_sim
