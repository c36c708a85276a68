// The cross toolchain and its runtime under Wine: the type sizes the Windows
// code relies on, code page 936, threads of both kinds, a Winsock loopback
// round trip and the 64-bit time functions.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_wait.h"

namespace {

// The longest any wait in this file may take, in milliseconds (the tests'
// wait setting, HUX_TEST_WAIT_MS).
DWORD wait_limit_ms() { return static_cast<DWORD>(hux_test::test_wait().count()); }

std::string to_hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::wstring from_page(UINT page, const std::string& bytes) {
  const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  }
  return out;
}

std::string to_page(UINT page, const std::wstring& text) {
  const int n =
      WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  }
  return out;
}

// Winsock for the life of one test.
struct Winsock {
  Winsock() { started = WSAStartup(MAKEWORD(2, 2), &data) == 0; }
  ~Winsock() {
    if (started) WSACleanup();
  }
  WSADATA data{};
  bool started = false;
};

struct Socket {
  explicit Socket(SOCKET s = INVALID_SOCKET) : s(s) {}
  ~Socket() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET s;
};

// Waits until s is readable, at most the wait limit.
bool wait_readable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  const DWORD ms = wait_limit_ms();
  timeval tv{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) == 1;
}

// Receives exactly n bytes, each piece within the wait limit.
std::string recv_exactly(SOCKET s, size_t n) {
  std::string out;
  char buf[4096];
  while (out.size() < n) {
    if (!wait_readable(s)) break;
    const int got = recv(s, buf, static_cast<int>(std::min(sizeof buf, n - out.size())), 0);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

bool send_all(SOCKET s, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

TEST(Toolchain, TypeSizesAreThoseOfLlp64) {
  EXPECT_EQ(sizeof(long), 4u);
  EXPECT_EQ(sizeof(void*), 8u);
  EXPECT_EQ(sizeof(SOCKET), 8u);
  EXPECT_EQ(sizeof(HANDLE), 8u);
  EXPECT_EQ(sizeof(wchar_t), 2u);
  EXPECT_EQ(sizeof(time_t), 8u);
  EXPECT_EQ(_WIN32_WINNT, 0x0601);
}

TEST(Toolchain, CodePage936ConvertsBothWays) {
  // "中文" in GB2312 is D6 D0 CE C4: U+4E2D U+6587, in UTF-8 E4 B8 AD E6 96 87.
  const std::string gb("\xD6\xD0\xCE\xC4");
  const std::wstring wide = from_page(936, gb);
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(static_cast<unsigned>(wide[0]), 0x4E2Du);
  EXPECT_EQ(static_cast<unsigned>(wide[1]), 0x6587u);
  EXPECT_EQ(to_hex(to_page(CP_UTF8, wide)), "E4 B8 AD E6 96 87");
  EXPECT_EQ(to_hex(to_page(936, from_page(CP_UTF8, "\xE4\xB8\xAD"))), "D6 D0");
  // Through the Western page the same bytes are two Latin letters each:
  // D6 D0 is "ÖÐ", C3 96 C3 90 in UTF-8; a program must name 936.
  EXPECT_EQ(to_hex(to_page(CP_UTF8, from_page(1252, "\xD6\xD0"))), "C3 96 C3 90");
  // A lead byte without its trail byte is no character of page 936.
  EXPECT_TRUE(from_page(936, "\xD6").empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(Toolchain, ThreadsOfBothKindsRunAndJoin) {
  // std::thread and std::mutex (the posix thread model): 8 threads, exact total.
  constexpr int kThreads = 8, kRounds = 20000;
  std::mutex m;
  long total = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        std::lock_guard<std::mutex> hold(m);
        ++total;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(total, static_cast<long>(kThreads) * kRounds);

  // A Win32 thread signals an event, then ends with its own exit code.
  struct Args {
    HANDLE ready;
    std::atomic<DWORD> id{0};
  } args{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  ASSERT_NE(args.ready, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* a = static_cast<Args*>(p);
        a->id = GetCurrentThreadId();
        SetEvent(a->ready);
        return 42;
      },
      &args, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(args.ready, wait_limit_ms()), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, wait_limit_ms()), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_NE(args.id.load(), 0u);
  EXPECT_NE(args.id.load(), GetCurrentThreadId());
  CloseHandle(thread);
  CloseHandle(args.ready);

  // A condition variable wakes a waiter within the limit.
  std::condition_variable cv;
  bool flag = false;
  std::thread setter([&] {
    std::lock_guard<std::mutex> hold(m);
    flag = true;
    cv.notify_one();
  });
  {
    std::unique_lock<std::mutex> hold(m);
    EXPECT_TRUE(cv.wait_for(hold, std::chrono::milliseconds(wait_limit_ms()), [&] { return flag; }));
  }
  setter.join();
}

TEST(Toolchain, WinsockLoopbackRoundTrip) {
  Winsock ws;
  ASSERT_TRUE(ws.started);
  EXPECT_EQ(ws.data.wVersion, MAKEWORD(2, 2));

  Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  ASSERT_NE(listener.s, INVALID_SOCKET);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ASSERT_EQ(bind(listener.s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << WSAGetLastError();
  ASSERT_EQ(listen(listener.s, 1), 0);
  int len = sizeof addr;
  ASSERT_EQ(getsockname(listener.s, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  ASSERT_NE(addr.sin_port, 0);

  Socket client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  ASSERT_NE(client.s, INVALID_SOCKET);
  ASSERT_EQ(connect(client.s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << WSAGetLastError();
  ASSERT_TRUE(wait_readable(listener.s));
  Socket server(accept(listener.s, nullptr, nullptr));
  ASSERT_NE(server.s, INVALID_SOCKET);

  // 100,000 bytes each way, every byte value, arrive whole and in order.
  std::string payload(100000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + i / 256);
  std::thread echo([&] {
    const std::string got = recv_exactly(server.s, payload.size());
    send_all(server.s, got);
  });
  EXPECT_TRUE(send_all(client.s, payload));
  const std::string back = recv_exactly(client.s, payload.size());
  echo.join();
  EXPECT_EQ(back.size(), payload.size());
  EXPECT_TRUE(back == payload);

  // The peer's close reads as end of stream.
  closesocket(server.s);
  server.s = INVALID_SOCKET;
  ASSERT_TRUE(wait_readable(client.s));
  char c;
  EXPECT_EQ(recv(client.s, &c, 1, 0), 0);

  // A UDP datagram on loopback arrives as one.
  Socket rx(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)), tx(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  ASSERT_NE(rx.s, INVALID_SOCKET);
  ASSERT_NE(tx.s, INVALID_SOCKET);
  addr.sin_port = 0;
  ASSERT_EQ(bind(rx.s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  len = sizeof addr;
  ASSERT_EQ(getsockname(rx.s, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  const std::string datagram = payload.substr(0, 100);
  ASSERT_EQ(sendto(tx.s, datagram.data(), 100, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 100);
  ASSERT_TRUE(wait_readable(rx.s));
  char buf[200];
  ASSERT_EQ(recv(rx.s, buf, sizeof buf, 0), 100);
  EXPECT_TRUE(std::string(buf, 100) == datagram);
}

TEST(Toolchain, SixtyFourBitTimeReachesPast2038) {
  // 0x90000000 = 2,415,919,104 s = 27,962 days (2046-07-23) + 2,304 s
  // (00:38:24) after the epoch; the 32-bit signed count ends at 0x7FFFFFFF,
  // 2038-01-19.
  const __time64_t t = 0x90000000LL;
  tm utc{};
  ASSERT_EQ(_gmtime64_s(&utc, &t), 0);
  EXPECT_EQ(utc.tm_year, 146);
  EXPECT_EQ(utc.tm_mon, 6);
  EXPECT_EQ(utc.tm_mday, 23);
  EXPECT_EQ(utc.tm_hour, 0);
  EXPECT_EQ(utc.tm_min, 38);
  EXPECT_EQ(utc.tm_sec, 24);
  tm local{};
  ASSERT_EQ(_localtime64_s(&local, &t), 0);
  EXPECT_EQ(local.tm_year, 146);
  // _mktime64 reads local time back to the same count.
  local.tm_isdst = -1;
  EXPECT_EQ(_mktime64(&local), t);
  // The wall clock agrees with the 64-bit count.
  const __time64_t now = _time64(nullptr);
  EXPECT_GT(now, 1700000000LL);
  EXPECT_LE(std::llabs(static_cast<long long>(std::time(nullptr) - now)), 1LL);
}

}  // namespace
