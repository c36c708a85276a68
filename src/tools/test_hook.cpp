// The one hook pointer of the test points (tools/test_hook.h).
#include "tools/test_hook.h"

namespace MORVAST {
namespace TOOLS {

std::atomic<test_hook_fn> g_test_hook{nullptr};

}  // namespace TOOLS
}  // namespace MORVAST
