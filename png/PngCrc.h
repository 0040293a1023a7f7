// CRC-32 of PNG chunks (reflected polynomial 0xEDB88320).
#pragma once

#include <cstddef>
#include <cstdint>

// One step of the running CRC: callers start with 0xFFFFFFFF and complement
// the final value.
uint32_t UpdateCrc(uint32_t crc, const void* buffer, size_t length);

// The finished CRC of a chunk's type bytes followed by its data.
uint32_t ChunkCrc(const uint8_t type[4], const void* data, size_t length);
