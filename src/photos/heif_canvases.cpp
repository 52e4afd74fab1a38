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
};

// The item's data (its extents joined), at most `wanted` bytes of it: a grid's or an overlay's
// description comes first and is short.
std::vector<uint8_t> ItemData(const Item& item, ByteSpan file, ByteSpan idat, std::size_t wanted) {
  if (!item.located) Damaged("a grid or overlay has no location");
  const ByteSpan from = item.in_idat ? idat : file;
  std::vector<uint8_t> out;
  for (const Extent& e : item.extents) {
    if (e.offset > from.size()) Damaged("a grid or overlay lies outside the file");
    // A length of 0 stands for everything up to the end.
    const uint64_t available = from.size() - e.offset;
    const uint64_t length = e.length == 0 ? available : e.length;
    if (length > available) Damaged("a grid or overlay lies outside the file");
    const std::size_t take =
        static_cast<std::size_t>(std::min<uint64_t>(length, wanted - out.size()));
    out.insert(out.end(), from.begin() + static_cast<std::ptrdiff_t>(e.offset),
               from.begin() + static_cast<std::ptrdiff_t>(e.offset + take));
    if (out.size() == wanted) break;
  }
  return out;
}

// The output size a grid ('grid') or overlay ('iovl') describes: after a version and flags byte,
// a grid has its rows and columns, an overlay four 16-bit fill values; then the width and height,
// 32 bits each when the flags' lowest bit is set, else 16.
CanvasSize OutputSize(const Item& item, ByteSpan file, ByteSpan idat) {
  const bool grid = item.type == Cc("grid");
  const std::vector<uint8_t> data = ItemData(item, file, idat, 20);
  Reader r(data);
  if (r.U8() != 0) Damaged("a grid or overlay of an unknown version");
  const bool wide = r.U8() & 1;
  r.Skip(grid ? 2 : 8);
  const unsigned bytes = wide ? 4 : 2;
  CanvasSize size;
  size.width = static_cast<uint32_t>(r.Number(bytes));
  size.height = static_cast<uint32_t>(r.Number(bytes));
  return size;
}

struct Meta {
  std::optional<uint32_t> primary;
  std::map<uint32_t, Item> items;
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
    }
  });
  return meta;
}

}  // namespace

std::vector<CanvasSize> HeifCanvases(ByteSpan file) {
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
  std::vector<CanvasSize> canvases;
  while (!pending.empty()) {
    const uint32_t id = pending.back();
    pending.pop_back();
    const auto it = meta->items.find(id);
    if (!seen.insert(id).second || it == meta->items.end()) continue;
    const Item& item = it->second;
    if (item.type == Cc("grid") || item.type == Cc("iovl"))
      canvases.push_back(OutputSize(item, file, meta->idat));
    pending.insert(pending.end(), item.derived_from.begin(), item.derived_from.end());
  }
  return canvases;
}

}  // namespace qm::photos
