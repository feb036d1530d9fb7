// Writing rendered PCM: the WAV container and files that never appear half-written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The 44-byte header of a RIFF/WAVE file holding `dataBytes` bytes of unsigned
// 8-bit mono PCM at `rate` samples per second.
std::vector<uint8_t> wavHeader(uint32_t dataBytes, uint32_t rate);

// The whole file: header, samples, and the pad byte RIFF wants after a chunk of
// odd length.
std::vector<uint8_t> wavFile(std::span<const uint8_t> samples, uint32_t rate);

// Writes `bytes` to a temporary file beside `path` and renames it into place,
// so that `path` holds either the old content or the whole new one. Returns an
// empty string on success, else a description of what failed.
std::string writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
