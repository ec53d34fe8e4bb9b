#pragma once
// Writes a text .x file again in the binary and compressed encodings, so tests can read one
// model in every form. Only what the tests' models use: names, numbers, strings, braces,
// GUIDs and the words of a template.

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xwriter {

inline void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8 & 0xff);
}
inline void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// The body of a text file (after its header) as a binary token stream; runs of integers and
// of floats (numbers written with a '.') become lists, separators vanish, as binary writers do.
inline std::string ToBinary(std::string_view text, bool doubles) {
  std::string out;
  std::vector<std::string> run;
  bool runIsFloat = false;
  auto flush = [&] {
    if (run.empty()) return;
    Put16(out, runIsFloat ? 7 : 6);
    Put32(out, static_cast<std::uint32_t>(run.size()));
    for (const std::string& n : run) {
      if (!runIsFloat) {
        Put32(out, static_cast<std::uint32_t>(std::stoll(n)));
      } else if (doubles) {
        const double d = std::stod(n);
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        Put32(out, static_cast<std::uint32_t>(bits));
        Put32(out, static_cast<std::uint32_t>(bits >> 32));
      } else {
        const float f = std::stof(n);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Put32(out, bits);
      }
    }
    run.clear();
  };
  auto isWord = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '+';
  };
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';') {
      ++i;
    } else if (c == '#' || text.substr(i, 2) == "//") {
      i = std::min(text.find('\n', i), text.size());
    } else if (c == '{' || c == '}' || c == '[' || c == ']') {
      flush();
      Put16(out, c == '{' ? 10 : c == '}' ? 11 : c == '[' ? 14 : 15);
      ++i;
    } else if (c == '<') {
      flush();
      Put16(out, 5);
      out.append(16, '\0');
      i = text.find('>', i) + 1;
    } else if (c == '"') {
      flush();
      const std::size_t end = text.find('"', i + 1);
      Put16(out, 2);
      Put32(out, static_cast<std::uint32_t>(end - i - 1));
      out += text.substr(i + 1, end - i - 1);
      Put32(out, 20);
      i = end + 1;
    } else if (isWord(c)) {
      std::size_t end = i;
      while (end < text.size() && isWord(text[end])) ++end;
      const std::string word(text.substr(i, end - i));
      i = end;
      if (std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_') {
        flush();
        if (word == "template") {
          Put16(out, 31);
        } else if (word == "array") {
          Put16(out, 52);
        } else if (word == "DWORD") {
          Put16(out, 41);
        } else if (word == "FLOAT") {
          Put16(out, 42);
        } else {
          Put16(out, 1);
          Put32(out, static_cast<std::uint32_t>(word.size()));
          out += word;
        }
      } else {
        const bool isFloat = word.find_first_of(".eE") != std::string::npos;
        if (isFloat != runIsFloat) flush();
        runIsFloat = isFloat;
        run.push_back(word);
      }
    } else {
      throw std::invalid_argument(std::string("the writer does not know '") + c + "'");
    }
  }
  flush();
  return out;
}

// One raw deflate stream of `chunk`, allowed to refer back into `history`.
inline std::string Deflate(std::string_view chunk, std::string_view history) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (!history.empty())
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(history.data()),
                         static_cast<uInt>(history.size()));
  std::string packed(deflateBound(&z, static_cast<uLong>(chunk.size())) + 16, '\0');
  z.next_in = reinterpret_cast<const Bytef*>(chunk.data());
  z.avail_in = static_cast<uInt>(chunk.size());
  z.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.avail_out = static_cast<uInt>(packed.size());
  const int result = deflate(&z, Z_FINISH);
  packed.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return packed;
}

// The size, then MSZIP blocks of at most `blockSize` bytes, each continuing the one before.
// *blocksUsingHistory counts the blocks that came out smaller for their history.
inline std::string Compress(std::string_view body, std::size_t blockSize, int* blocksUsingHistory = nullptr) {
  std::string out;
  Put32(out, static_cast<std::uint32_t>(16 + body.size()));
  for (std::size_t pos = 0; pos < body.size(); pos += blockSize) {
    const std::string_view chunk = body.substr(pos, blockSize);
    const std::size_t kept = std::min<std::size_t>(pos, 32768);
    const std::string packed = Deflate(chunk, body.substr(pos - kept, kept));
    if (blocksUsingHistory && packed.size() < Deflate(chunk, {}).size()) ++*blocksUsingHistory;
    Put16(out, static_cast<std::uint32_t>(chunk.size()));
    Put16(out, static_cast<std::uint32_t>(packed.size() + 2));
    out += "CK";
    out += packed;
  }
  return out;
}

// A whole text .x file in another encoding: "bin 0032", "bin 0064", "tzip0032", "bzip0032", "bzip0064".
inline std::string Encode(std::string_view textFile, std::string_view format, std::size_t blockSize = 32768,
                          int* blocksUsingHistory = nullptr) {
  const std::string_view body = textFile.substr(16);
  const bool doubles = format.substr(4) == "0064";
  std::string out = "xof " + std::string(textFile.substr(4, 4)) + std::string(format);
  if (format.starts_with("bin ")) return out + ToBinary(body, doubles);
  if (format.starts_with("tzip")) return out + Compress(body, blockSize, blocksUsingHistory);
  return out + Compress(ToBinary(body, doubles), blockSize, blocksUsingHistory);
}

}  // namespace xwriter
