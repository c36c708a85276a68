// Messages between the collection client and the collection server. There is
// no header: the first byte is the type and the type fixes the length.
// Integers are little-endian, texts NUL-terminated and zero-padded.
#ifndef HUX_COLL_MSG_H
#define HUX_COLL_MSG_H

#include <cstddef>
#include <cstdint>

namespace HUX_COLL_WIRE {

const uint8_t MSG_CHECK_VERSION = 97;         // 'a', client to server
const uint8_t MSG_CHECK_VERSION_REPORT = 98;  // 'b', server to client
const uint8_t MSG_COLLECT_INFO = 99;          // 'c', client to server
const uint8_t MSG_COLLECT_INFO_REPORT = 100;  // 'd', server to client

// The protocol version the client asks for.
const uint32_t COLL_PROTOCOL_VERSION = 1;

#pragma pack(push, 1)

// The version check opens every conversation.
struct client_check_version_msg {
    uint8_t m_msg_type;   // 97
    uint8_t m_reserved[3];
    uint32_t version;     // 1
};
static_assert(sizeof(client_check_version_msg) == 8, "version check is 8 bytes");
static_assert(offsetof(client_check_version_msg, version) == 4, "version at 4");

// The version reply: 0 at byte 1 accepts; byte 2 asks for the test key.
struct client_check_version_msg_report {
    uint8_t m_msg_type;  // 98
    uint8_t m_result;
    uint8_t m_use_test_key;
    uint8_t m_reserved;
    uint32_t version;    // not read
};
static_assert(sizeof(client_check_version_msg_report) == 8, "version reply is 8 bytes");
static_assert(offsetof(client_check_version_msg_report, m_result) == 1, "result at 1");
static_assert(offsetof(client_check_version_msg_report, m_use_test_key) == 2, "test-key flag at 2");
static_assert(offsetof(client_check_version_msg_report, version) == 4, "version at 4");

// One login's report: its identity and the encrypted terminal description.
struct collect_info_msg {
    uint8_t m_msg_type;  // 99
    char m_app_id[30];
    char m_auth_code[18];
    char m_login_id[33];
    char m_password[33];        // MD5 hex text of the password
    char m_report_time[20];     // "yyyy-MM-dd HH:mm:ss", local time of sending
    char m_report_content[889]; // base64 text of the RSA ciphertext
};
static_assert(sizeof(collect_info_msg) == 1024, "report is 1024 bytes");
static_assert(offsetof(collect_info_msg, m_app_id) == 1, "app id at 1");
static_assert(offsetof(collect_info_msg, m_auth_code) == 31, "auth code at 31");
static_assert(offsetof(collect_info_msg, m_login_id) == 49, "login id at 49");
static_assert(offsetof(collect_info_msg, m_password) == 82, "password at 82");
static_assert(offsetof(collect_info_msg, m_report_time) == 115, "report time at 115");
static_assert(offsetof(collect_info_msg, m_report_content) == 135, "report content at 135");

// The verdict on one login's report.
struct collect_info_msg_report {
    uint8_t m_msg_type;  // 100
    char m_app_id[30];
    char m_login_id[33];
    uint32_t m_user_id;        // not read
    char m_receive_time[20];   // not read
    uint8_t m_report_result;   // 0 accepted; the reader turns 1 into 102 and 2 into 103
    uint8_t m_reserved[7];
};
static_assert(sizeof(collect_info_msg_report) == 96, "verdict is 96 bytes");
static_assert(offsetof(collect_info_msg_report, m_app_id) == 1, "app id at 1");
static_assert(offsetof(collect_info_msg_report, m_login_id) == 31, "login id at 31");
static_assert(offsetof(collect_info_msg_report, m_user_id) == 64, "user id at 64");
static_assert(offsetof(collect_info_msg_report, m_receive_time) == 68, "receive time at 68");
static_assert(offsetof(collect_info_msg_report, m_report_result) == 88, "verdict at 88");
static_assert(offsetof(collect_info_msg_report, m_reserved) == 89, "reserved at 89");

#pragma pack(pop)

}  // namespace HUX_COLL_WIRE

#endif
