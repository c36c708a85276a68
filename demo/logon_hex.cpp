// Prints the logon request of a fixed demo user as hex, 16 bytes a line.
#include <cstdio>
#include <cstring>

#include "trade_core/trade_wire.h"

using namespace HUX_TRADE_WIRE;

int main() {
    // The version answer of the simulated server: identifier derived from
    // the text and number, no UDP order channel.
    report_version_resp version;
    memset(&version, 0, sizeof(version));
    version.header.type = TYPE_REPORT_VERSION_RESP;
    version.header.length = sizeof(version);
    strcpy(version.terminal_text, "HUX-SIM-TERMINAL-0001");
    version.number = 20261208;
    version.verdict = 0;
    version.take_as_is = 0;

    logon_msg_req logon;
    if (!build_logon_msg_req(logon, "demo_user", "demo_pass", "hux-demo-app", "DEMOAUTH0001", version)) {
        fprintf(stderr, "cannot build the logon request\n");
        return 1;
    }
    char* bytes = reinterpret_cast<char*>(&logon);
    stamp_logon_udp_port(bytes, sizeof(logon), 0);

    for (size_t offset = 0; offset < sizeof(logon); offset += 16) {
        printf("%04zx:", offset);
        for (size_t i = offset; i < offset + 16 && i < sizeof(logon); ++i) {
            printf(" %02x", static_cast<unsigned char>(bytes[i]));
        }
        printf("\n");
    }
    return 0;
}
