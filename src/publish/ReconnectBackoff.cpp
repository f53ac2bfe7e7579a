#include "publish/ReconnectBackoff.h"

#include <algorithm>

namespace qtm {

void ReconnectBackoff::Failed(TimePoint now) {
    m_due = now + m_wait;
    m_wait = std::min(m_wait * 2, kLongestWait);
}

}  // namespace qtm
