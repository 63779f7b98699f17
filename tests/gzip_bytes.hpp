// Gzip files made in memory for the tests of compressed tables: members deflated by zlib, and
// members built around deflate data made here, for damage that zlib would never write.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

// The output of the deflate stream `z`, set up by the caller, over the whole of `text`.
inline std::string deflate_all(z_stream& z, const std::string& text) {
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A gzip member of `text`, deflated by zlib at `level` (0 stores it).
inline std::string gzip_member(const std::string& text, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  return deflate_all(z, text);
}

// Raw deflate data of `text` that refer back into `dictionary`: inflated without it, they
// reach back before the start of the text.
inline std::string deflated_against(const std::string& dictionary, const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                       static_cast<uInt>(dictionary.size()));
  return deflate_all(z, text);
}

inline std::string little_endian_32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
  return bytes;
}

// The ten bytes of a plain gzip header (deflate, no flags, no time, Unix).
inline const std::string gzip_header("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);

// A member of the raw deflate data `deflated` whose trailer is that of `text`.
inline std::string member_around(const std::string& deflated, const std::string& text,
                                 const std::string& header = gzip_header) {
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  return header + deflated + little_endian_32(crc) +
         little_endian_32(static_cast<std::uint32_t>(text.size()));
}

// `bytes` with the bits of `mask` flipped at `at` (from the end when negative).
inline std::string flipped(std::string bytes, long at, unsigned char mask) {
  const std::size_t i =
      at < 0 ? bytes.size() - static_cast<std::size_t>(-at) : static_cast<std::size_t>(at);
  bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ mask);
  return bytes;
}
