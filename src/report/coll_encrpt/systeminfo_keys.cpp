// The two RSA-2048 public keys built into the terminal-information library,
// in the "PUBLIC KEY" PEM form (9 lines, 450 characters each). The normal key
// encrypts every report unless the collection server asks for the test key;
// a deployment replaces it with the collection service's own key. The
// matching private keys are test data only (tests/data/coll_keys/).
#include "report/coll_encrpt/systeminfo_collection.h"

namespace {

const char k_normal_public_key[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAzmDc/2AAGpKAQUnt5g3l\n"
    "dR78Wn6VyWj5DIe6NzpTeGQzIsncaNcfScrGass2BiTIBnmFSYv/ir9su0zP85/E\n"
    "0oNP4VCE89hgo9F8ABaOURjijOjxxOBsVy8GeZA3gdo6ATNqK85ffvfdrc/gbqVX\n"
    "Nnb5ogG6kwMk7viAmiKCXNulO5RKSPVCPiETU8Di9wQoslomb/IyvvZc9wdbQHKj\n"
    "t5BgMFBCNJ9PcL24SC/oZREAoBBYK3ipKw0aGB0qntESLQRoYkKnDui6V5N3cpLy\n"
    "Ky9A/CaRghbpZ19TOx1zDt0Jy1yp6k5o8jvxJ+ECHVSZMTvwXJqRKFNqG+BpocRe\n"
    "+QIDAQAB\n"
    "-----END PUBLIC KEY-----";

const char k_test_public_key[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEA5D+BfkpjTT6ruAJ41jIi\n"
    "Bsax5mgKQDWA26ZMLeWmO+VdjismhHjIQ8M7jZ5uNn1VYWKFlPIWm01s8HXkqk2j\n"
    "fnw3KCXusLz4rwG/BF7KZipm1Lq7LYTOPKlKY02r2jzUR8SzVXF0Tgehk1Xhojyw\n"
    "pYKJNjGp3ZheX/VxQNYCIWMWdikI6B6hoi7Vr+aXdW/t34JXYxzegg6T790CjPbm\n"
    "lKh1PNahMEXPeKfvipMVdBvBbeYNl0NFGiwtnfbotWaCyFoSw+uZTddYKW9eEP+a\n"
    "76CszLWZ/twypP2afXzdUpY03Ye2TQ723fLQzvSq8uyH++4mKrOLwTGySGOGZzvF\n"
    "+wIDAQAB\n"
    "-----END PUBLIC KEY-----";

static_assert(sizeof(k_normal_public_key) == 451, "a 2048-bit public key is 450 characters");
static_assert(sizeof(k_test_public_key) == 451, "a 2048-bit public key is 450 characters");

}  // namespace

const char* systeminfo_collection::normal_public_key() { return k_normal_public_key; }

const char* systeminfo_collection::test_public_key() { return k_test_public_key; }
