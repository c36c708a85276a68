/* The image of libdirectsock.so, carried by the libraries that load it at
   connect time: the file's bytes, whole, in a section of their own. The
   section name has a dot, so the linker makes no __start_/__stop_ symbols
   for it; the two labels mark its ends and stay inside the library.
   HUX_DIRECTSOCK_FILE is the plug-in's path, a quoted text. */
    .section .embedded_so, "a", @progbits
    .globl hux_embedded_so_begin
    .hidden hux_embedded_so_begin
    .type hux_embedded_so_begin, @object
hux_embedded_so_begin:
    .incbin HUX_DIRECTSOCK_FILE
    .globl hux_embedded_so_end
    .hidden hux_embedded_so_end
    .type hux_embedded_so_end, @object
hux_embedded_so_end:
    .size hux_embedded_so_begin, hux_embedded_so_end - hux_embedded_so_begin

    .section .note.GNU-stack, "", @progbits
