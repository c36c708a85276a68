// The tools library's one exception: a missing key or an empty queue.
#ifndef MORVAST_TOOL_TOOL_EXCEPTION_H
#define MORVAST_TOOL_TOOL_EXCEPTION_H

#include <stdexcept>
#include <string>

namespace MORVAST {
namespace TOOLS {

class bad_str_key : public std::out_of_range {
public:
    explicit bad_str_key(const std::string& msg) : std::out_of_range(msg), m_error_code(-1) {}
    explicit bad_str_key(const char* msg) : std::out_of_range(msg ? msg : ""), m_error_code(-1) {}

    int m_error_code;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
