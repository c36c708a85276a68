#pragma once

// The image of the TCPDirect plug-in (libdirectsock.so) that a library
// carries in its section .embedded_so (embedded_so.S), and its loading
// through a plug-in loader. Only code linked with hux_embedded_directsock
// may use these.
#include <cstddef>
#include <cstdint>

#include "bypass/zf_loader.h"

extern "C" {
// The ends of the section's bytes; hidden, so they are never exported.
__attribute__((visibility("hidden"))) extern const unsigned char hux_embedded_so_begin[];
__attribute__((visibility("hidden"))) extern const unsigned char hux_embedded_so_end[];
}

namespace hux_plugin {

inline const void* embedded_so_image() { return hux_embedded_so_begin; }

inline std::size_t embedded_so_size() {
    return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(hux_embedded_so_end) -
                                    reinterpret_cast<std::uintptr_t>(hux_embedded_so_begin));
}

// The loader's load_ex with the carried image: load_zf_sock_ex.
inline bool load_embedded_zf_sock(hux_bypass::zf_loader& loader) {
    return loader.load_ex(embedded_so_image(), embedded_so_size());
}

}  // namespace hux_plugin
