// "VK" followed by the given bytes: the head every QTX-200 USB frame starts with.
#pragma once

#include <algorithm>
#include <initializer_list>

#include "device/VkFrame.h"

namespace qtm::test {

inline Bytes Vk(std::initializer_list<std::uint8_t> tail) {
    Bytes frame(tail.size() + 2);
    frame[0] = 'V';
    frame[1] = 'K';
    std::copy(tail.begin(), tail.end(), frame.begin() + 2);
    return frame;
}

}  // namespace qtm::test
