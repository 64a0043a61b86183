#include "link/Crc8.h"

std::uint8_t crc8(const std::uint8_t *data, std::size_t count)
{
    std::uint8_t crc = 0xF3;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) ? std::uint8_t((crc << 1) ^ 0x07) : std::uint8_t(crc << 1);
    }
    return crc;
}
