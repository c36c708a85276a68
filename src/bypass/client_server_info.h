#pragma once

// What a kernel-bypass order sender needs of the server-information record:
// the trade server's address and UDP order port, the interface's address and
// local UDP port, and whether transmit timestamps are reported. Both sessions
// fill it from their own record. The texts are dotted IPv4 addresses in at
// most 15 characters and a terminating zero; a field without its zero within
// the 16 bytes is refused by the senders.
struct client_server_info {
    char server_ip[16];
    unsigned short server_port;
    char local_ip[16];
    unsigned short local_port;
    unsigned char timestamps;
};
