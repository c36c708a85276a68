// The collection service side of the simulated trade server: the four
// messages of a terminal report conversation ('a' version check, 'b' version
// reply, 'c' report, 'd' verdict), encoded and read by their byte offsets,
// and the decryption of a report's content (base64 text of one RSA block,
// PKCS#1 v1.5) with the private key that matches the key the client was
// told to use. sim_trade_server calls these on its poll thread; tests call
// them directly. Nothing here keeps state.
#ifndef HUX_SIM_SIM_COLLECTION_H
#define HUX_SIM_SIM_COLLECTION_H

#include <cstddef>
#include <cstdint>
#include <chrono>
#include <string>

namespace hux_sim {

// Message types (the first byte) and their fixed lengths.
const uint8_t coll_type_version_check = 97;   // 'a', client to server
const uint8_t coll_type_version_reply = 98;   // 'b', server to client
const uint8_t coll_type_report = 99;          // 'c', client to server
const uint8_t coll_type_verdict = 100;        // 'd', server to client
const size_t coll_version_check_len = 8;
const size_t coll_version_reply_len = 8;
const size_t coll_report_len = 1024;
const size_t coll_verdict_len = 96;

// The login id a "foreign" verdict names: one that no client reported.
const char* const coll_foreign_login_id = "sim-foreign-login";

// The key files the server looks for in its key directory.
const char* const coll_normal_key_file = "normal_private.pem";
const char* const coll_test_key_file = "test_private.pem";

// How the version check is answered.
enum class coll_version_mode {
    accept,  // 'b' with 0 at byte 1
    refuse,  // 'b' with `coll_version_result` (non-zero) at byte 1
    silent,  // no answer
};

// The answer to one report.
struct coll_verdict {
    enum class kind {
        verdict,  // a 'd' echoing the report's app id and login id, `result` at 88
        foreign,  // a 'd' echoing the app id but naming coll_foreign_login_id
        none,     // no answer
    };
    kind how = kind::verdict;
    uint8_t result = 0;
};

// One report as the server received it. The texts are read up to their
// first NUL, never past their field.
struct sim_coll_report {
    size_t conn = 0;           // accept number of its connection
    std::string bytes;         // all 1024
    std::string app_id;        // 1..30
    std::string auth_code;     // 31..48
    std::string login_id;      // 49..81
    std::string password;      // 82..114, the MD5 hex text
    std::string report_time;   // 115..134
    bool test_key = false;     // the client was told to use the test key
    bool decrypted = false;    // the content decoded and decrypted
    std::string plaintext;     // the decrypted terminal description; empty unless decrypted
    std::string failure;       // why it was not decrypted; empty when it was or when no key directory is set
    std::chrono::steady_clock::time_point received_at;  // when its last byte was read
};

// The 8-byte version reply.
std::string coll_version_reply(uint8_t result, bool use_test_key);

// The 96-byte verdict on `report` (1024 bytes); `receive_time` is written at
// 68, at most 19 characters. Empty for kind none.
std::string coll_verdict_message(const std::string& report, const coll_verdict& verdict, uint32_t user_id,
                                 const std::string& receive_time);

// The text of a field of `msg` at `offset`, up to its first NUL or its
// `width`, whichever comes first (and never past the end of `msg`).
std::string coll_field_text(const std::string& msg, size_t offset, size_t width);

// Strict base64 (RFC 4648 alphabet, '=' padding, no line breaks): false for
// a length that is not a multiple of 4, a character outside the alphabet or
// padding anywhere but at the end.
bool coll_base64_decode(const std::string& text, std::string& out);

// Decrypts one PKCS#1 v1.5 block with the RSA private key in the PEM file
// `key_file`. False, with the reason in `why`, when the file cannot be read,
// holds no RSA private key, or the block does not decrypt.
bool coll_decrypt(const std::string& key_file, const std::string& cipher, std::string& plain, std::string& why);

// Reads a 1024-byte report: its fields, and, when `key_dir` is not empty,
// its content (at 135, NUL-terminated, at most 888 characters) decoded and
// decrypted with the key file of `key_dir` chosen by `test_key`.
sim_coll_report coll_read_report(size_t conn, const std::string& bytes, bool test_key, const std::string& key_dir);

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_COLLECTION_H
