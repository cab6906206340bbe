#include "trace.h"

namespace vp {

Q_LOGGING_CATEGORY(lcTrace, "vp.trace", QtWarningMsg)

} // namespace vp
