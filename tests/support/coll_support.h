// What the tests of the terminal report share (its description and
// encryption, the collection client, the report at logon, the simulated
// collection service) and the file-writing tests with them: a scratch
// working directory, files, the texts a report is made of, and the test key
// pairs in tests/data/coll_keys.
#ifndef HUX_TESTS_COLL_SUPPORT_H
#define HUX_TESTS_COLL_SUPPORT_H

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace hux_test {
namespace coll {

// The directory of normal_private.pem and test_private.pem, with a final '/'.
std::string key_dir();

// Makes a fresh directory under /tmp the working directory for the scope
// (the session's logs and the report's "morvast_testor.pem" live there),
// then goes back and removes it with everything in it.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_old;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text, mode_t mode = 0644);

std::vector<std::string> split_at(const std::string& text, char sep);
// Occurrences of `what` in `text`, overlapping ones included.
size_t count_of(const std::string& text, const std::string& what);
// "yyyy-MM-dd HH:mm:ss": digits where the pattern has letters, the rest as is.
bool is_sql_datetime(const std::string& text);

std::string base64_encode(const std::string& bytes);
// One RSA block encrypted with the public half of a key file of key_dir()
// (with `padding`, an RSA_*_PADDING); empty on failure.
std::string rsa_encrypt(const std::string& key_file, const std::string& plain, int padding);
// A report's base64 content decrypted (PKCS#1 v1.5) with a private key file
// of key_dir(); empty when it does not decode or decrypt.
std::string decrypt_content(const std::string& base64, const std::string& key_file);

}  // namespace coll
}  // namespace hux_test

#endif
