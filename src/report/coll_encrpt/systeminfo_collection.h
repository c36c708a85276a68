// The terminal description of a collection report: one text line of eleven
// fields joined by "@" (terminal type, collect time, the two addresses, their
// hardware addresses, host name, OS version, disk, CPU and BIOS serials),
// encrypted with an RSA public key (PKCS#1 v1.5, one block) and encoded as
// base64 text. The collection client calls get_system_info on its reporting
// thread; the collectors run shell commands and block that thread until they
// finish. A collector that fails leaves its field empty and logs why; only an
// empty line, an unusable key or a failed encryption or encoding stop the
// report.
#ifndef HUX_COLL_ENCRPT_SYSTEMINFO_COLLECTION_H
#define HUX_COLL_ENCRPT_SYSTEMINFO_COLLECTION_H

class base_log;

// Output mode of get_system_info.
enum pmode {
    plaintext = 0,
    plaintext_utf8 = 1,
    ciphertext = 2,
};

// The texts gathered while the line is built.
struct system_raw_info {
    char m_ch_terminal_type[128];
    char m_ch_collect_time[128];
    char m_ch_private_ip1[128];
    char m_ch_private_ip2[128];
    char m_ch_private_mac1[128];
    char m_ch_private_mac2[128];
    char m_ch_device_name[128];
    char m_ch_os_vesion[128];
    char m_ch_hd_serial_num[128];
    char m_ch_cpu_serial_num[128];
    char m_ch_bios_serial_num[128];
    char m_ch_sys_disk_part[128];  // always "linux don't need"; not part of the line
};

class systeminfo_collection {
public:
    // Buffer sizes of the key text and of the work buffers.
    static constexpr int KEY_BUF_LEN = 2048;
    static constexpr int WORK_BUF_LEN = 2048;
    // Characters each field keeps.
    static constexpr int IP_KEEP = 39;
    static constexpr int MAC_TEXT_LEN = 12;
    static constexpr int DEVICE_NAME_KEEP = 9;
    static constexpr int OS_VERSION_KEEP = 5;
    static constexpr int HD_SERIAL_KEEP = 16;
    static constexpr int CPU_SERIAL_LEN = 16;
    static constexpr int BIOS_SERIAL_KEEP = 10;
    // Tries for the first hardware address, 1 ms apart.
    static constexpr int MAC1_TRIES = 6;

    // Builds the line and, in mode ciphertext, encrypts and encodes it into
    // out (room out_len). Returns the length written; 0 on failure (a
    // failed encryption returns get_ciphertext's result); mode
    // plaintext_utf8 returns 0.
    static int get_system_info(const char* ip1, const char* ip2, char* out, int out_len,
                               system_raw_info& raw, base_log* log, bool log_switch,
                               bool use_test_key, pmode mode);

    // The eleven fields joined by "@" into out; the line length, or 0 when
    // out is null, out_len is not positive or the line does not fit.
    static int get_plaintext(const char* ip1, const char* ip2, char* out, int out_len,
                             system_raw_info& raw, base_log* log);

    // Encrypts plain (plain_len bytes) into work (room work_len) with the
    // normal key, or in test-key mode with "./morvast_testor.pem" when it can
    // be opened and the built-in test key otherwise; then base64 into out.
    // The base64 length, or -1.
    static int get_ciphertext(const char* plain, int plain_len, unsigned char* work, int work_len,
                              char* out, int out_len, bool use_test_key, base_log* log,
                              bool log_switch);

    // Reads key (key_len bytes) as an RSA public key in the "PUBLIC KEY" PEM
    // form and encrypts data in one PKCS#1 v1.5 block into out. The
    // ciphertext length (256 for a 2048-bit key), or -1 when the key is not
    // such a key, the data do not fit one block or the ciphertext does not
    // fit out_len.
    static int rsa_encrypt(const char* key, int key_len, const unsigned char* data, int data_len,
                           unsigned char* out, int out_len, base_log* log);

    // Standard base64 with "=" padding and a terminating NUL. The encoded
    // length, or 0 when the room is 3 or less, smaller than twice len, or
    // smaller than the encoded text and its terminator.
    static int base64_encode(const unsigned char* src, int len, char* out, int out_len);

    // Reads "./morvast_testor.pem" into out (KEY_BUF_LEN bytes; at most
    // KEY_BUF_LEN - 1 are read and the text is terminated). 0 when the file
    // was opened, -1 when it can't be.
    static int load_key(char* out);

    // Collectors: 0, or -1 with the failure logged and out left empty.
    static int get_terminal_type(char* out, int out_len, base_log* log);
    static int get_info_collect_time(char* out, int out_len, base_log* log);
    static int get_mac_addr(const char* ip, char* out, int out_len, base_log* log);
    static int get_device_name(char* out, int out_len, base_log* log);
    static int get_operation_version(char* out, int out_len, base_log* log);
    static int get_harddisk_serial_number(char* out, int out_len, base_log* log);
    static int get_cpu_serial_number(char* out, int out_len, base_log* log);
    static int get_bios_serial_number(char* out, int out_len, base_log* log);

    // The built-in public keys (normal and test), NUL-terminated PEM texts.
    static const char* normal_public_key();
    static const char* test_public_key();

private:
    static int get_harddisk_serial_number_from_cmd(const char* cmd, char* out, int out_len,
                                                   base_log* log);
    static int get_bios_serial_number_from_lshal(char* out, int out_len, base_log* log);
    static int get_bios_serial_number_from_dmidecode(char* out, int out_len, base_log* log);
};

#endif
