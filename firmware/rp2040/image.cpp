// The firmware's images, made on the build machine: boot2 padded and given the CRC32 the bootrom
// checks, and the UF2 file a Pico takes over USB in BOOTSEL mode.
//   rp2040_image boot2 IN.bin OUT.bin   pad boot2's code to 252 bytes and append its CRC32
//   rp2040_image uf2 IN.bin OUT.uf2     the flash image (from 0x10000000) as UF2 blocks
//   rp2040_image crc HEX                print the CRC32 of the bytes HEX spells, for a check
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The bootrom's CRC32: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, no reflection in or out,
// no final XOR (CRC-32/MPEG-2).
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= std::uint32_t{bytes[i]} << 24;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80000000U) != 0 ? (crc << 1) ^ 0x04C11DB7U : crc << 1;
    }
  }
  return crc;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
  }
}

bool Read(const char* path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return static_cast<bool>(in) || in.eof();
}

bool Write(const char* path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "crc" && argc == 3) {
    std::vector<std::uint8_t> bytes;
    for (const char* at = argv[2]; at[0] != '\0' && at[1] != '\0'; at += 2) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(at, 2), nullptr, 16)));
    }
    std::printf("%08x\n", Crc32(bytes.data(), bytes.size()));
    return 0;
  }
  std::vector<std::uint8_t> in;
  if (argc != 4 || !Read(argv[2], in)) {
    std::fprintf(stderr, "usage: rp2040_image boot2|uf2 IN OUT, or rp2040_image crc HEX\n");
    return 2;
  }
  std::vector<std::uint8_t> out;
  if (mode == "boot2") {
    if (in.size() > 252) {
      std::fprintf(stderr, "boot2 is %zu bytes: at most 252 fit before its CRC\n", in.size());
      return 1;
    }
    out = in;
    out.resize(252, 0);
    PutLittle(out, Crc32(out.data(), out.size()));
  } else if (mode == "uf2") {
    // 512-byte blocks of 256 bytes each, with the RP2040's family id (flag 0x2000).
    const std::size_t blocks = (in.size() + 255) / 256;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::size_t at = out.size();
      PutLittle(out, 0x0A324655);  // the magic words
      PutLittle(out, 0x9E5D5157);
      PutLittle(out, 0x00002000);
      PutLittle(out, static_cast<std::uint32_t>(0x10000000 + 256 * b));
      PutLittle(out, 256);
      PutLittle(out, static_cast<std::uint32_t>(b));
      PutLittle(out, static_cast<std::uint32_t>(blocks));
      PutLittle(out, 0xE48BFF56);  // RP2040
      const std::size_t size = in.size() - 256 * b < 256 ? in.size() - 256 * b : 256;
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(256 * b),
                 in.begin() + static_cast<std::ptrdiff_t>(256 * b + size));
      out.resize(at + 508, 0);
      PutLittle(out, 0x0AB16F30);
    }
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  return Write(argv[3], out) ? 0 : 1;
}
