#pragma once
#include <cstddef>
#include <cstdint>

// Check byte of a live frame: CRC-8, polynomial 0x07, MSB first, no reflection,
// no final XOR, initial value 0xF3. Nine zero bytes give 0x2D; "123456789" gives 0xD9.
std::uint8_t crc8(const std::uint8_t *data, std::size_t count);
