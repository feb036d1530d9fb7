// Rendered PCM as a WAV file: the RIFF container around the samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The 44-byte header of a RIFF/WAVE file holding `dataBytes` bytes of unsigned
// 8-bit mono PCM at `rate` samples per second.
std::vector<uint8_t> wavHeader(uint32_t dataBytes, uint32_t rate);

// The whole file: header, samples, and the pad byte RIFF wants after a chunk of
// odd length.
std::vector<uint8_t> wavFile(std::span<const uint8_t> samples, uint32_t rate);
