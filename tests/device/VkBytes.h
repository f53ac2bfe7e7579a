// "VK" followed by the given bytes: the head every QTX-200 USB frame starts with.
#pragma once

#include <algorithm>
#include <initializer_list>

#include "device/VkFrame.h"

namespace qtm::test {

inline Bytes Vk(std::initializer_list<std::uint8_t> tail) {
    Bytes frame{'V', 'K'};
    frame.insert(frame.end(), tail.begin(), tail.end());
    return frame;
}

}  // namespace qtm::test
