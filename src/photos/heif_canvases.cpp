#include "photos/heif_canvases.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "photos/decoders.h"
#include "platform/byte_order.h"

namespace qm::photos {

namespace {

[[noreturn]] void Damaged(const char* what) {
  throw PictureError(std::string("cannot read the HEIF: ") + what);
}

// Reads big-endian numbers from a span, every read checked against the bytes remaining.
class Reader {
 public:
  explicit Reader(ByteSpan data) : data_(data) {}
  bool Has(uint64_t count) const { return count <= data_.size() - at_; }
  uint64_t Number(unsigned bytes) {
    if (!Has(bytes)) Damaged("a box ends in the middle of a field");
    uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) v = (v << 8) | data_[at_++];
    return v;
  }
  uint32_t U8() { return static_cast<uint32_t>(Number(1)); }
  uint32_t U16() { return static_cast<uint32_t>(Number(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Number(4)); }
  // An item number: 16 bits in the boxes' first version, 32 bits after.
  uint32_t Id(uint32_t version) { return version == 0 ? U16() : U32(); }
  ByteSpan Rest() const { return data_.subspan(at_); }
  void Skip(uint64_t count) {
    if (!Has(count)) Damaged("a box ends in the middle of a field");
    at_ += static_cast<std::size_t>(count);
  }

 private:
  ByteSpan data_;
  std::size_t at_ = 0;
};

using FourCc = std::array<char, 4>;

constexpr FourCc Cc(const char (&s)[5]) {
  return {s[0], s[1], s[2], s[3]};
}

// Calls `f(type, payload)` for each box laid end to end in `data`. A box's length must fit in
// what remains; 0 means up to the end, 1 a 64-bit length after the type. The file's own level
// may end in bytes that are not a box (a copy cut short after its pictures, padding): reading
// stops there when `stop_at_damage`.
template <typename F>
void ForEachBox(ByteSpan data, F&& f, bool stop_at_damage = false) {
  while (!data.empty()) {
    uint64_t size = data.size() >= 8 ? LoadBigEndian32(data.data()) : 0, header = 8;
    if (size == 1 && data.size() >= 16) {
      size = uint64_t{LoadBigEndian32(data.data() + 8)} << 32 | LoadBigEndian32(data.data() + 12);
      header = 16;
    } else if (size == 0) {
      size = data.size();
    }
    if (data.size() < header || size < header || size > data.size()) {
      if (stop_at_damage) return;
      Damaged("a box is longer than what holds it");
    }
    FourCc type;
    std::copy_n(data.begin() + 4, 4, type.begin());
    f(type, data.subspan(header, size - header));
    data = data.subspan(size);
  }
}

struct Extent {
  uint64_t offset = 0, length = 0;
};

struct Item {
  FourCc type{};
  bool located = false;
  bool in_idat = false;  // else at an offset of the file
  std::vector<Extent> extents;
  std::vector<uint32_t> derived_from;  // 'dimg' references: the tiles or layers it is made of
  std::vector<uint32_t> properties;    // indices into the property container, from 1
};

struct Property {
  FourCc type{};
  ByteSpan payload;
};

// The item's data, at most `wanted` bytes of it: a view of the file (or of the meta box's own
// data) when it is in one piece, else its extents joined in `joined`.
ByteSpan ItemData(const Item& item, ByteSpan file, ByteSpan idat, std::size_t wanted,
                  std::vector<uint8_t>& joined) {
  if (!item.located) Damaged("an item has no location");
  const ByteSpan from = item.in_idat ? idat : file;
  joined.clear();
  ByteSpan out;
  for (const Extent& e : item.extents) {
    if (e.offset > from.size()) Damaged("an item lies outside the file");
    // A length of 0 stands for everything up to the end.
    const uint64_t available = from.size() - e.offset;
    const uint64_t length = e.length == 0 ? available : e.length;
    if (length > available) Damaged("an item lies outside the file");
    const ByteSpan piece =
        from.subspan(static_cast<std::size_t>(e.offset),
                     static_cast<std::size_t>(std::min<uint64_t>(length, wanted - out.size())));
    if (out.empty()) {
      out = piece;
    } else {
      if (joined.empty()) joined.assign(out.begin(), out.end());
      joined.insert(joined.end(), piece.begin(), piece.end());
      out = joined;
    }
    if (out.size() == wanted) break;
  }
  return out;
}

// The output size a grid ('grid') or overlay ('iovl') describes: after a version and flags byte,
// a grid has its rows and columns, an overlay four 16-bit fill values; then the width and height,
// 32 bits each when the flags' lowest bit is set, else 16.
CanvasSize OutputSize(const Item& item, ByteSpan file, ByteSpan idat) {
  const bool grid = item.type == Cc("grid");
  std::vector<uint8_t> joined;
  Reader r(ItemData(item, file, idat, 20, joined));
  if (r.U8() != 0) Damaged("a grid or overlay of an unknown version");
  const bool wide = r.U8() & 1;
  r.Skip(grid ? 2 : 8);
  const unsigned bytes = wide ? 4 : 2;
  CanvasSize size;
  size.width = static_cast<uint32_t>(r.Number(bytes));
  size.height = static_cast<uint32_t>(r.Number(bytes));
  return size;
}

// Reads a bit string most significant bit first, every read checked against the bits remaining.
class BitReader {
 public:
  explicit BitReader(ByteSpan data) : data_(data) {}
  uint32_t Bits(unsigned count) {
    uint32_t v = 0;
    for (unsigned i = 0; i < count; ++i) {
      if (at_ >= data_.size() * 8) Damaged("a coded picture's parameters end early");
      v = v << 1 | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1);
      ++at_;
    }
    return v;
  }
  void Skip(unsigned count) {
    for (; count > 32; count -= 32) Bits(32);
    Bits(count);
  }
  // An exponential-Golomb number: n zero bits, a one, then n bits.
  uint32_t Golomb() {
    unsigned zeros = 0;
    while (Bits(1) == 0)
      if (++zeros > 31) Damaged("a coded picture's parameters hold a number too large");
    return static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + Bits(zeros));
  }
  // The same as AV1 codes it, where 32 zeros or more stand for the largest number on their own.
  void SkipGolomb32() {
    unsigned zeros = 0;
    while (Bits(1) == 0) ++zeros;
    if (zeros < 32) Skip(zeros);
  }

 private:
  ByteSpan data_;
  std::size_t at_ = 0;
};

// HEVC's sequence parameters without the emulation prevention bytes (the 3 after two zero bytes
// that keeps a start code out of the data), as far as the picture size needs: the profile and
// level fields with at most seven sub-layers come to under 110 bytes.
std::vector<uint8_t> Unescaped(ByteSpan nal) {
  std::vector<uint8_t> out;
  unsigned zeros = 0;
  for (std::size_t i = 2; i < nal.size() && out.size() < 256; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    out.push_back(nal[i]);
  }
  return out;
}

// The picture size HEVC sequence parameters give: the size of every frame decoded with them, as
// the codec allocates it (the cropping window is applied after).
CanvasSize HevcPictureSize(ByteSpan nal) {
  const std::vector<uint8_t> rbsp = Unescaped(nal);
  BitReader b(rbsp);
  b.Skip(4);  // video parameter set
  const unsigned sub_layers = b.Bits(3);
  b.Skip(1);
  // The profile, tier and level: 96 bits, then for each sub-layer whether its profile and level
  // follow, padded to eight sub-layers, then those present.
  b.Skip(96);
  std::array<uint32_t, 8> present{};
  for (unsigned i = 0; i < sub_layers; ++i) present[i] = b.Bits(2);
  if (sub_layers > 0) b.Skip(2 * (8 - sub_layers));
  for (unsigned i = 0; i < sub_layers; ++i)
    b.Skip((present[i] & 2 ? 88 : 0) + (present[i] & 1 ? 8 : 0));
  b.Golomb();                      // its own number
  if (b.Golomb() == 3) b.Skip(1);  // 4:4:4 chroma: whether its planes are coded apart
  CanvasSize size;
  size.width = b.Golomb();
  size.height = b.Golomb();
  return size;
}

constexpr unsigned kHevcSequenceParameters = 33;

unsigned HevcNalType(ByteSpan nal) {
  return nal.empty() ? 0 : (nal[0] >> 1) & 63;
}

// The sequence parameters in an HEVC decoder configuration ('hvcC'): 22 bytes of profile and
// format, then arrays of NAL units, each unit after its 16-bit length. Returns the length of the
// units' length fields in the item's data.
unsigned HevcConfigSizes(ByteSpan config, std::vector<CanvasSize>& into) {
  Reader r(config);
  r.Skip(21);
  const unsigned length_size = (r.U8() & 3) + 1;
  const uint32_t arrays = r.U8();
  for (uint32_t a = 0; a < arrays; ++a) {
    r.Skip(1);
    const uint32_t units = r.U16();
    for (uint32_t u = 0; u < units; ++u) {
      const uint32_t length = r.U16();
      if (!r.Has(length)) Damaged("a box ends in the middle of a field");
      const ByteSpan nal = r.Rest().first(length);
      if (HevcNalType(nal) == kHevcSequenceParameters) into.push_back(HevcPictureSize(nal));
      r.Skip(length);
    }
  }
  return length_size;
}

// Sequence parameters may also come inside the coded data, each unit after its length; the codec
// takes those too. Walking stops where a length runs past the data, which the library refuses.
void HevcDataSizes(ByteSpan data, unsigned length_size, std::vector<CanvasSize>& into) {
  while (data.size() >= length_size) {
    uint64_t length = 0;
    for (unsigned i = 0; i < length_size; ++i) length = length << 8 | data[i];
    data = data.subspan(length_size);
    if (length > data.size()) return;
    const ByteSpan nal = data.first(static_cast<std::size_t>(length));
    if (HevcNalType(nal) == kHevcSequenceParameters) into.push_back(HevcPictureSize(nal));
    data = data.subspan(static_cast<std::size_t>(length));
  }
}

// The largest frame an AV1 sequence header allows (its frames give their own size up to it).
CanvasSize Av1PictureSize(ByteSpan obu) {
  BitReader b(obu);
  b.Skip(3);        // profile
  b.Skip(1);        // still picture
  if (b.Bits(1)) {  // a reduced header for a single still picture: just its level
    b.Skip(5);
  } else {
    bool decoder_model = false;
    unsigned delay_bits = 0;
    if (b.Bits(1)) {  // timing
      b.Skip(64);
      if (b.Bits(1)) b.SkipGolomb32();  // ticks per picture
      decoder_model = b.Bits(1);
      if (decoder_model) {
        delay_bits = b.Bits(5) + 1;
        b.Skip(32 + 5 + 5);
      }
    }
    const bool display_delay = b.Bits(1);
    const unsigned points = b.Bits(5) + 1;
    for (unsigned i = 0; i < points; ++i) {
      b.Skip(12);                    // the layers it decodes
      if (b.Bits(5) > 7) b.Skip(1);  // level, then tier above level 3.3
      if (decoder_model && b.Bits(1)) b.Skip(2 * delay_bits + 1);
      if (display_delay && b.Bits(1)) b.Skip(4);
    }
  }
  const unsigned width_bits = b.Bits(4) + 1, height_bits = b.Bits(4) + 1;
  CanvasSize size;
  size.width = static_cast<uint32_t>(uint64_t{b.Bits(width_bits)} + 1);
  size.height = static_cast<uint32_t>(uint64_t{b.Bits(height_bits)} + 1);
  return size;
}

// The sequence headers among AV1 units laid end to end, as in an 'av1C' box after its four bytes
// and in the item's data. A unit's header byte gives its type, whether an extension byte follows
// and whether its length follows (a LEB128 number, seven bits a byte); without a length it runs
// to the end. Walking stops at a length past the data, which the decoder refuses.
void Av1Sizes(ByteSpan data, std::vector<CanvasSize>& into) {
  constexpr unsigned kSequenceHeader = 1;
  while (!data.empty()) {
    const uint8_t header = data[0];
    std::size_t at = header & 4 ? 2 : 1;
    uint64_t length = data.size() - std::min(at, data.size());
    if (header & 2) {
      length = 0;
      for (unsigned i = 0;; ++i) {
        if (at >= data.size() || i == 8) return;
        length |= uint64_t{data[at] & 0x7Fu} << (7 * i);
        if (!(data[at++] & 0x80)) break;
      }
    }
    if (at > data.size() || length > data.size() - at) return;
    const ByteSpan obu = data.subspan(at, static_cast<std::size_t>(length));
    if ((header >> 3 & 15) == kSequenceHeader) into.push_back(Av1PictureSize(obu));
    data = data.subspan(at + static_cast<std::size_t>(length));
  }
}

struct Meta {
  std::optional<uint32_t> primary;
  std::map<uint32_t, Item> items;
  std::vector<Property> properties;
  std::vector<std::pair<uint32_t, uint32_t>> auxiliary;  // (auxiliary picture, its master)
  ByteSpan idat;
};

void ReadItemInfo(ByteSpan box, Meta& meta) {
  Reader r(box);
  const uint32_t version = r.U8();
  r.Skip(3);
  r.Skip(version == 0 ? 2 : 4);  // the entry count: the entries are read as far as they go
  ForEachBox(r.Rest(), [&](FourCc type, ByteSpan entry) {
    if (type != Cc("infe")) return;
    Reader e(entry);
    const uint32_t entry_version = e.U8();
    e.Skip(3);
    // Entries before version 2 describe files, not pictures.
    if (entry_version < 2) return;
    const uint32_t id = entry_version == 2 ? e.U16() : e.U32();
    e.Skip(2);  // protection index
    for (char& c : meta.items[id].type) c = static_cast<char>(e.U8());
  });
}

void ReadItemLocations(ByteSpan box, Meta& meta) {
  Reader r(box);
  const uint32_t version = r.U8();
  r.Skip(3);
  const uint32_t sizes = r.U16();
  const unsigned offset_size = sizes >> 12, length_size = (sizes >> 8) & 15,
                 base_size = (sizes >> 4) & 15, index_size = version >= 1 ? sizes & 15 : 0;
  for (unsigned s : {offset_size, length_size, base_size, index_size})
    if (s != 0 && s != 4 && s != 8) Damaged("item locations of an unknown field size");
  const uint32_t count = version < 2 ? r.U16() : r.U32();
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t id = version < 2 ? r.U16() : r.U32();
    const uint32_t method = version >= 1 ? r.U16() & 15 : 0;
    r.Skip(2);  // data reference: the file itself
    const uint64_t base = r.Number(base_size);
    const uint32_t extents = r.U16();
    // The first location given for an item holds. Data at an offset into another item is not
    // where grids or overlays are kept: such an item stays without a location.
    Item& item = meta.items[id];
    const bool keep = !item.located && method <= 1;
    if (keep) item.located = true, item.in_idat = method == 1;
    for (uint32_t k = 0; k < extents; ++k) {
      r.Skip(index_size);
      const uint64_t offset = r.Number(offset_size);
      const uint64_t length = r.Number(length_size);
      if (offset > UINT64_MAX - base) Damaged("an item lies outside the file");
      if (keep) item.extents.push_back({base + offset, length});
    }
  }
}

// The item properties: the container ('ipco') lists them, the associations ('ipma') give each
// item the indices of its own, 7 bits each or 15 when the flags' lowest bit is set, after a bit
// that marks it essential.
void ReadProperties(ByteSpan box, Meta& meta) {
  ForEachBox(box, [&](FourCc type, ByteSpan payload) {
    if (type == Cc("ipco")) {
      ForEachBox(payload, [&](FourCc property, ByteSpan content) {
        meta.properties.push_back({property, content});
      });
    } else if (type == Cc("ipma")) {
      Reader r(payload);
      const uint32_t version = r.U8();
      const bool wide = r.Number(3) & 1;
      const uint32_t count = r.U32();
      for (uint32_t i = 0; i < count; ++i) {
        Item& item = meta.items[r.Id(version)];
        const uint32_t associations = r.U8();
        for (uint32_t k = 0; k < associations; ++k)
          item.properties.push_back(wide ? r.U16() & 0x7FFF : r.U8() & 0x7F);
      }
    }
  });
}

void ReadReferences(ByteSpan box, Meta& meta) {
  Reader r(box);
  const uint32_t version = r.U8();
  r.Skip(3);
  ForEachBox(r.Rest(), [&](FourCc type, ByteSpan reference) {
    Reader e(reference);
    const uint32_t from = e.Id(version);
    const uint32_t count = e.U16();
    for (uint32_t k = 0; k < count; ++k) {
      const uint32_t to = e.Id(version);
      if (type == Cc("dimg")) meta.items[from].derived_from.push_back(to);
      if (type == Cc("auxl")) meta.auxiliary.emplace_back(from, to);
    }
  });
}

Meta ReadMeta(ByteSpan box) {
  Meta meta;
  Reader r(box);
  r.Skip(4);  // version and flags
  ForEachBox(r.Rest(), [&](FourCc type, ByteSpan payload) {
    if (type == Cc("pitm")) {
      Reader p(payload);
      const uint32_t version = p.U8();
      p.Skip(3);
      meta.primary = p.Id(version);
    } else if (type == Cc("iinf")) {
      ReadItemInfo(payload, meta);
    } else if (type == Cc("iloc")) {
      ReadItemLocations(payload, meta);
    } else if (type == Cc("iref")) {
      ReadReferences(payload, meta);
    } else if (type == Cc("idat")) {
      meta.idat = payload;
    } else if (type == Cc("iprp")) {
      ReadProperties(payload, meta);
    }
  });
  return meta;
}

// The frames the codec allocates for a coded item: the sizes in its decoder configuration and in
// the sequence headers its data brings.
std::vector<CanvasSize> CodedFrames(const Meta& meta, const Item& item, ByteSpan file) {
  const bool hevc = item.type == Cc("hvc1") || item.type == Cc("hev1");
  std::vector<CanvasSize> frames;
  if (!hevc && item.type != Cc("av01")) return frames;
  unsigned length_size = 4;
  for (uint32_t index : item.properties) {
    if (index == 0 || index > meta.properties.size()) continue;
    const Property& p = meta.properties[index - 1];
    if (hevc && p.type == Cc("hvcC")) length_size = HevcConfigSizes(p.payload, frames);
    if (!hevc && p.type == Cc("av1C") && p.payload.size() >= 4)
      Av1Sizes(p.payload.subspan(4), frames);
  }
  // Data the library cannot find it refuses by itself.
  if (!item.located) return frames;
  std::vector<uint8_t> joined;
  const ByteSpan data = ItemData(item, file, meta.idat, SIZE_MAX, joined);
  if (hevc)
    HevcDataSizes(data, length_size, frames);
  else
    Av1Sizes(data, frames);
  return frames;
}

}  // namespace

HeifSizes ReadHeifSizes(ByteSpan file, unsigned tiles_at_once) {
  std::optional<Meta> meta;
  ForEachBox(
      file,
      [&](FourCc type, ByteSpan payload) {
        if (type == Cc("meta") && !meta) meta = ReadMeta(payload);
      },
      true);
  if (!meta || !meta->primary) Damaged("no primary picture");
  // The pictures decoded: the primary one, its auxiliary pictures, and what they are derived
  // from, each visited once however the references loop.
  std::vector<uint32_t> pending{*meta->primary};
  for (const auto& [auxiliary, master] : meta->auxiliary)
    if (master == *meta->primary) pending.push_back(auxiliary);
  std::set<uint32_t> seen;
  std::map<uint32_t, uint64_t> largest_frame;  // pixels, by coded item
  HeifSizes sizes;
  while (!pending.empty()) {
    const uint32_t id = pending.back();
    pending.pop_back();
    const auto it = meta->items.find(id);
    if (!seen.insert(id).second || it == meta->items.end()) continue;
    const Item& item = it->second;
    if (item.type == Cc("grid") || item.type == Cc("iovl"))
      sizes.canvases.push_back(OutputSize(item, file, meta->idat));
    for (const CanvasSize frame : CodedFrames(*meta, item, file)) {
      sizes.frames.push_back(frame);
      uint64_t& largest = largest_frame[id];
      largest = std::max(largest, uint64_t{frame.width} * frame.height);
    }
    pending.insert(pending.end(), item.derived_from.begin(), item.derived_from.end());
  }
  // The tiles of a grid, decoded `tiles_at_once` at a time: the largest frames together.
  for (const auto& [id, item] : meta->items) {
    if (item.type != Cc("grid") || !seen.count(id)) continue;
    std::vector<uint64_t> tiles;
    for (const uint32_t tile : item.derived_from)
      if (largest_frame.count(tile)) tiles.push_back(largest_frame[tile]);
    const std::size_t together = std::min<std::size_t>(tiles_at_once, tiles.size());
    std::partial_sort(tiles.begin(), tiles.begin() + static_cast<std::ptrdiff_t>(together),
                      tiles.end(), std::greater<>());
    uint64_t pixels = 0;
    for (std::size_t k = 0; k < together; ++k) pixels += tiles[k];
    sizes.tile_pixels_at_once = std::max(sizes.tile_pixels_at_once, pixels);
  }
  return sizes;
}

}  // namespace qm::photos
