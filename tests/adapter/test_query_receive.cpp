// The query session's receive path: every answer is taken by the length of
// its type (never by its length field), waits until it is whole, and leaves
// what follows it intact; unknown types are skipped by a plausible length
// field or drop the buffer; the log lines of the path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/adapter/test_query_support.h"

namespace {

using namespace query_test;

// Feeds the bytes in a buffer of exactly their size, so that a read past
// the end is caught by the address sanitizer.
int feed(CQueryClient& client, const std::string& bytes) {
    std::vector<unsigned char> buf(bytes.begin(), bytes.end());
    return client.ProcReceiveMsg(buf.data(), static_cast<unsigned>(buf.size()));
}

struct receiver {
    recording_sink sink;
    scratch_dir scratch;
    const std::string dir = scratch.path();
    CQueryClient client{nullptr, &sink, nullptr};
    receiver() {
        sink.watch(&client);
        EXPECT_FALSE(dir.empty());
        client.SetLogDir(dir.c_str());
    }
    std::string log() { return read_file(text_log_path(dir)); }
};

// A body of non-zero bytes, so that nothing depends on zeros the server may
// not send; the length field says something else than the type's length.
std::string filled(uint16_t type, size_t len) {
    std::string m = message(type, len);
    for (size_t i = 4; i < len; ++i) m[i] = static_cast<char>(0xa5 ^ i);
    put_le(m, 2, 7, 2);  // length field 7: never read for a known type
    return m;
}

TEST(QueryReceive, EachAnswerTakesItsLengthAndTheNextIsStillHandled) {
    receiver r;
    size_t logons = 0;
    uint32_t next_user = 100;
    for (const answer_kind& k : all_answers()) {
        SCOPED_TRACE(k.type);
        // The logon answer in front carries result 0 (a refusal would close).
        const std::string first = k.type == 1068 ? logon_answer(0, next_user++) : filled(k.type, k.length);
        if (k.type == 1068) ++logons;
        const std::string behind = logon_answer(0, next_user++);
        ++logons;
        const std::string both = first + behind;
        ASSERT_EQ(static_cast<int>(k.length), feed(r.client, both));
        ASSERT_EQ(56, feed(r.client, both.substr(k.length)));
        ASSERT_EQ(logons, r.sink.logons().size());
        EXPECT_EQ(next_user - 1, r.sink.logons().back().user_id);
        EXPECT_EQ(next_user - 1, r.client.GetUserId());
    }
    // Nothing of this reached the unknown-type path.
    EXPECT_EQ(std::string::npos, r.log().find("error msg type"));
}

TEST(QueryReceive, EveryPrefixWaitsThenOneHandling) {
    receiver r;
    for (const answer_kind& k : all_answers()) {
        SCOPED_TRACE(k.type);
        const std::string whole = k.type == 1068 ? logon_answer(0, 31) : filled(k.type, k.length);
        const size_t before = r.sink.logons().size();
        for (size_t n = 0; n < k.length; ++n) ASSERT_EQ(0, feed(r.client, whole.substr(0, n))) << n;
        EXPECT_EQ(before, r.sink.logons().size());
        ASSERT_EQ(static_cast<int>(k.length), feed(r.client, whole));
        EXPECT_EQ(before + (k.type == 1068 ? 1u : 0u), r.sink.logons().size());
    }
    EXPECT_EQ(std::string::npos, r.log().find("error msg type"));
}

TEST(QueryReceive, UnknownTypesAreSkippedByTheirLengthFieldOrDropTheBuffer) {
    receiver r;
    const std::string logon = logon_answer(0, 77);

    // 1065 (no such answer), length field 24: 24 bytes skipped, the answer
    // behind it handled. The line is written with the logger off.
    std::string unknown = message(1065, 24);
    ASSERT_EQ(24, feed(r.client, unknown + logon));
    EXPECT_NE(std::string::npos,
              r.log().find(log_body("error msg type", "receive unknown msg type: 1065, len is 80")));
    ASSERT_EQ(56, feed(r.client, logon));
    EXPECT_EQ(1u, r.sink.logons().size());

    // A request type is no answer: 68 with length field 80 is skipped too.
    ASSERT_EQ(80, feed(r.client, message(68, 80) + logon));

    // A length field of the longest answer (1006) waits until all of it is
    // there; one above it drops everything buffered, the answer behind too.
    std::string longest = message(3000, 1006);
    EXPECT_EQ(0, feed(r.client, longest.substr(0, 1005)));
    EXPECT_EQ(1006, feed(r.client, longest + logon));
    std::string too_long = message(1065, 1007);
    EXPECT_EQ(static_cast<int>(too_long.size() + logon.size()), feed(r.client, too_long + logon));
    EXPECT_NE(std::string::npos, r.log().find(log_body("error msg type", "receive unknown msg type: 1065, len is 1063")));
    // Below the header's own length: dropped as well.
    std::string tiny = message(2, 4);
    put_le(tiny, 2, 3, 2);
    EXPECT_EQ(static_cast<int>(tiny.size() + logon.size()), feed(r.client, tiny + logon));
    EXPECT_EQ(1u, r.sink.logons().size());

    // One, two or three bytes of an unknown type wait for the length field.
    EXPECT_EQ(0, feed(r.client, std::string("\x29", 1)));
    EXPECT_EQ(0, feed(r.client, std::string("\x29\x04", 2)));
    EXPECT_EQ(0, feed(r.client, std::string("\x29\x04\x18", 3)));
    // One line for each unknown message taken (1065, 68, the longest, the
    // two dropped buffers); none for a wait.
    EXPECT_EQ(5u, count_of(r.log(), " error msg type receive unknown msg type: "));
}

TEST(QueryReceive, LoggerLinesNameEachAnswer) {
    receiver r;
    // Logger off: only the fixed lines.
    ASSERT_EQ(152, feed(r.client, filled(1073, 152)));
    EXPECT_EQ(std::string::npos, r.log().find("proc "));
    EXPECT_EQ(std::string::npos, read_file(bin_log_path(r.dir)).find("1 "));

    r.client.SetLoggerSwitch(true);
    const std::string position = filled(1073, 152);
    ASSERT_EQ(152, feed(r.client, position));
    ASSERT_EQ(200, feed(r.client, filled(1095, 200)));
    ASSERT_EQ(144, feed(r.client, filled(1074, 144)));
    ASSERT_EQ(64, feed(r.client, filled(1099, 64)));
    ASSERT_EQ(0, feed(r.client, position.substr(0, 100)));  // a wait
    const std::string log = r.log();
    // The label is the tag and the text is empty: length field 00000.
    EXPECT_NE(std::string::npos, log.find(" 00000" + log_body("proc query_account_position_resp", "")));
    EXPECT_NE(std::string::npos, log.find(" 00000" + log_body("proc rewind_quote_response", "")));
    EXPECT_NE(std::string::npos, log.find(" 00000" + log_body("proc rewind_accoutn_order_response", "")));
    // 1099 and the wait: "proc " alone.
    EXPECT_EQ(2u, count_of(log, " 00000" + log_body("proc ", "")));
    EXPECT_EQ(2u, count_of(log, " process message type:[1073] cost:["));
    EXPECT_EQ(1u, count_of(log, " process message type:[1099] cost:["));
    // The answer's bytes in the binary log, marked '1', length 00152.
    EXPECT_NE(std::string::npos, read_file(bin_log_path(r.dir)).find(" 00152 1 " + position + "\n"));
}

}  // namespace
