#include "photos/metadata.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "platform/byte_order.h"

namespace qm::photos {

namespace {

// A TIFF structure's byte order and bounds-checked field reads.
class TiffReader {
 public:
  TiffReader(ByteSpan data, bool big_endian) : data_(data), big_(big_endian) {}
  bool Has(uint64_t at, uint64_t count) const {
    return at <= data_.size() && count <= data_.size() - at;
  }
  uint32_t U16(std::size_t at) const {
    const uint8_t* p = data_.data() + at;
    return big_ ? LoadBigEndian16(p) : LoadLittleEndian16(p);
  }
  uint32_t U32(std::size_t at) const {
    const uint8_t* p = data_.data() + at;
    return big_ ? LoadBigEndian32(p) : LoadLittleEndian32(p);
  }
  ByteSpan Bytes(std::size_t at, std::size_t count) const { return data_.subspan(at, count); }

 private:
  ByteSpan data_;
  bool big_;
};

constexpr uint16_t kTagImageDescription = 0x010E;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTypeAscii = 2, kTypeShort = 3;

bool StartsWith(ByteSpan data, std::string_view prefix) {
  return data.size() >= prefix.size() &&
         std::memcmp(data.data(), prefix.data(), prefix.size()) == 0;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0';
}

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int extra = c < 0x80         ? 0
                      : (c >> 5) == 6  ? 1
                      : (c >> 4) == 14 ? 2
                      : (c >> 3) == 30 ? 3
                                       : -1;
    if (extra < 0 || s.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// XML text with its character and the five predefined entity references decoded; anything
// else that looks like a reference stays as it is.
std::string DecodeXmlText(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    // A reference is at most 10 characters after its '&': looking no further keeps a text
    // full of '&' and no ';' linear.
    const std::size_t semi =
        s[i] == '&' ? s.substr(0, i + 11).find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos) {
      out += s[i];
      continue;
    }
    const std::string_view name = s.substr(i + 1, semi - i - 1);
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    bool done = false;
    for (const auto& [n, c] : kNamed)
      if (name == n) out += c, done = true;
    if (!done && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      uint32_t cp = 0;
      bool ok = name.size() > (hex ? 2u : 1u);
      for (char c : name.substr(hex ? 2 : 1)) {
        const int d = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
        if (d < 0 || cp > 0x10FFFF) ok = false;
        if (ok) cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      }
      if (ok && cp > 0 && cp < 0x110000) AppendUtf8(out, cp), done = true;
    }
    if (done)
      i = semi;
    else
      out += s[i];
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

void ReadExif(ByteSpan exif, Metadata& into) {
  if (StartsWith(exif, std::string_view("Exif\0\0", 6))) exif = exif.subspan(6);
  bool big;
  if (StartsWith(exif, std::string_view("II*\0", 4)))
    big = false;
  else if (StartsWith(exif, std::string_view("MM\0*", 4)))
    big = true;
  else
    return;
  const TiffReader t(exif, big);
  if (!t.Has(4, 4)) return;
  const uint32_t ifd = t.U32(4);
  if (!t.Has(ifd, 2)) return;
  const uint32_t count = t.U16(ifd);
  // The last readable description counts; it is cleaned once, so that thousands of entries
  // naming one long text cost no more than reading it once.
  std::optional<ByteSpan> description;
  for (uint32_t k = 0; k < count; ++k) {
    const uint64_t entry = ifd + 2 + uint64_t{k} * 12;
    if (!t.Has(entry, 12)) break;
    const uint32_t tag = t.U16(entry), type = t.U16(entry + 2), n = t.U32(entry + 4);
    if (tag == kTagOrientation && type == kTypeShort && n >= 1) {
      const uint32_t value = t.U16(entry + 8);
      if (value >= 1 && value <= 8) into.orientation = static_cast<int>(value);
    } else if (tag == kTagImageDescription && type == kTypeAscii && n > 0) {
      const uint64_t at = n <= 4 ? entry + 8 : t.U32(entry + 8);
      if (t.Has(at, n)) description = t.Bytes(at, n);
    }
  }
  if (description)
    into.description = CleanDescription(
        std::string_view(reinterpret_cast<const char*>(description->data()), description->size()));
}

std::string XmpDescription(std::string_view xmp) {
  const std::size_t open = xmp.find("<dc:description");
  if (open == std::string_view::npos) return "";
  const std::size_t close = xmp.find("</dc:description>", open);
  const std::string_view body =
      xmp.substr(open, close == std::string_view::npos ? std::string_view::npos : close - open);
  // Each item is looked for after the end of the one before, so every byte is read a bounded
  // number of times however the items are malformed.
  constexpr std::string_view kItemEnd = "</rdf:li>";
  std::string first;
  for (std::size_t at = body.find("<rdf:li"); at != std::string_view::npos;) {
    const std::size_t tag_end = body.find('>', at);
    if (tag_end == std::string_view::npos) break;
    const std::string_view tag = body.substr(at, tag_end - at);
    if (tag.back() == '/') {  // an empty item
      at = body.find("<rdf:li", tag_end);
      continue;
    }
    const std::size_t end = body.find(kItemEnd, tag_end);
    if (end == std::string_view::npos) break;
    const std::string_view text = Trim(body.substr(tag_end + 1, end - tag_end - 1));
    if (tag.find("x-default") != std::string_view::npos) return DecodeXmlText(text);
    if (first.empty()) first = DecodeXmlText(text);
    at = body.find("<rdf:li", end + kItemEnd.size());
  }
  return first;
}

std::string CleanDescription(std::string_view text) {
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
    text = text.substr(0, nul);
  text = Trim(text);
  // Texts that cameras and phones write on their own, which describe nothing.
  static constexpr std::string_view kPlaceholders[] = {"OLYMPUS DIGITAL CAMERA",
                                                       "SONY DSC",
                                                       "DIGITAL CAMERA",
                                                       "KONICA MINOLTA DIGITAL CAMERA",
                                                       "MINOLTA DIGITAL CAMERA",
                                                       "SAMSUNG",
                                                       "Default",
                                                       "default",
                                                       "Picture",
                                                       "Image"};
  for (std::string_view p : kPlaceholders)
    if (text == p) return "";
  if (ValidUtf8(text)) return std::string(text);
  std::string out;
  for (char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

JpegLayout ReadJpegLayout(ByteSpan jpeg) {
  JpegLayout layout;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return layout;
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return layout;  // not a marker where one belongs
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) break;
    const std::size_t length = LoadBigEndian16(&jpeg[at]);
    if (length < 2 || length > jpeg.size() - at) return layout;
    const ByteSpan segment = jpeg.subspan(at + 2, length - 2);
    at += length;
    if (marker == 0xE1 && StartsWith(segment, std::string_view("Exif\0\0", 6))) {
      if (layout.exif.empty()) layout.exif = segment.subspan(6);
    } else if (marker == 0xE1 &&
               StartsWith(segment, std::string_view("http://ns.adobe.com/xap/1.0/\0", 29))) {
      if (layout.xmp.empty()) layout.xmp = segment.subspan(29);
    } else if (marker == 0xEE && StartsWith(segment, "Adobe")) {
      layout.adobe = true;
    } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
               marker != 0xCC && !layout.valid) {
      if (segment.size() < 6) return layout;
      layout.height = LoadBigEndian16(&segment[1]);
      layout.width = LoadBigEndian16(&segment[3]);
      layout.components = segment[5];
      if (segment.size() < 6 + 3u * layout.components || layout.components == 0) return layout;
      int h_max = 1, v_max = 1;
      for (int c = 0; c < layout.components; ++c) {
        h_max = std::max(h_max, segment[7 + 3 * c] >> 4);
        v_max = std::max(v_max, segment[7 + 3 * c] & 15);
      }
      for (int c = 0; c < layout.components; ++c) {
        const int h = std::max(1, segment[7 + 3 * c] >> 4),
                  v = std::max(1, segment[7 + 3 * c] & 15);
        // Blocks per component, each padded to a whole MCU, 64 coefficients of 2 bytes.
        const uint64_t bw = (uint64_t(layout.width) + 8 * h_max - 1) / (8 * h_max) * h;
        const uint64_t bh = (uint64_t(layout.height) + 8 * v_max - 1) / (8 * v_max) * v;
        layout.coefficient_bytes += bw * bh * 128;
      }
      // Progressive (C2, C6, CA, CE) and arithmetic-coded frames keep every coefficient.
      layout.progressive = marker == 0xC2 || marker == 0xC6 || marker >= 0xC9;
      layout.valid = layout.width > 0 && layout.height > 0;
    }
  }
  return layout;
}

ByteSpan PngExif(ByteSpan png) {
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = LoadBigEndian32(&png[at]);
    if (length > png.size() - at - 12) break;
    const ByteSpan name = png.subspan(at + 4, 4);
    if (StartsWith(name, "eXIf")) return png.subspan(at + 8, length);
    if (StartsWith(name, "IDAT") || StartsWith(name, "IEND")) break;  // eXIf comes before
    at += 12 + length;
  }
  return {};
}

Metadata JpegMetadata(const JpegLayout& layout) {
  Metadata m;
  ReadExif(layout.exif, m);
  const std::string xmp = XmpDescription(
      std::string_view(reinterpret_cast<const char*>(layout.xmp.data()), layout.xmp.size()));
  if (!xmp.empty()) m.description = CleanDescription(xmp);
  return m;
}

}  // namespace qm::photos
