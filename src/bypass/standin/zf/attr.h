#ifndef HUX_STANDIN_ZF_ATTR_H
#define HUX_STANDIN_ZF_ATTR_H

/* Attribute sets: named settings a stack and its endpoints are made with.
 * The stand-in knows four attributes:
 *   "interface"        text, the interface the stack runs on (no default:
 *                      a stack without it cannot be made)
 *   "ctpio_mode"       text, "sf", "ct" or "sf-np" (default "sf-np")
 *   "tcp_delayed_ack"  integer, 0 turns delayed acknowledgements off (1)
 *   "pio"              integer, 0 off, 1 on when available, 2 required (1)
 * Any other name, or a value of the wrong kind, is refused. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct zf_attr;

int zf_attr_alloc(struct zf_attr** attr_out);
void zf_attr_free(struct zf_attr* attr);

/* -ENOENT: no such attribute; -EINVAL: not an integer (or text) attribute,
 * or a value it does not take. */
int zf_attr_set_int(struct zf_attr* attr, const char* name, int64_t val);
int zf_attr_set_str(struct zf_attr* attr, const char* name, const char* val);

/* Reads a value back: 0 and the value; -ENOENT or -EINVAL as above. A text
 * attribute with no value gives a null text. */
int zf_attr_get_int(struct zf_attr* attr, const char* name, int64_t* val);
int zf_attr_get_str(struct zf_attr* attr, const char* name, const char** val);

#ifdef __cplusplus
}
#endif

#endif
