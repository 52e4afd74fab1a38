#include "payload/payload_writer.h"

#include <sys/stat.h>

#include <memory>

#include "payload/zlib_streams.h"
#include "platform/byte_order.h"
#include "platform/exception.h"

namespace qm {

namespace {

bool AlreadyCompressed(const std::string& file_name) {
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = file_name.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".jpg" || ext == ".jpeg" || ext == ".png";
}

}  // namespace

void WritePresentation(const std::string& player_path, GalleryHeader header,
                       const std::vector<PackSlide>& slides, FileStream& out,
                       const PackProgress& progress) {
  if (slides.size() > static_cast<std::size_t>(INT32_MAX)) throw Exception("too many slides");
  header.count = static_cast<int32_t>(slides.size());

  uint64_t total_picture_bytes = 0;
  std::vector<uint64_t> sizes;
  for (const PackSlide& s : slides) {
    if (s.spool) {
      sizes.push_back(s.spool_size);
      total_picture_bytes += s.spool_size;
      continue;
    }
    FileStream f(s.source_path, FileStream::Mode::kOpenRead);
    sizes.push_back(f.Size());
    if (sizes.back() > UINT32_MAX) throw Exception(s.source_path + ": picture larger than 4 GiB");
    total_picture_bytes += sizes.back();
  }

  {
    FileStream player(player_path, FileStream::Mode::kOpenRead);
    const uint64_t player_size = player.Size();
    if (player_size > UINT32_MAX) throw Exception("player executable larger than 4 GiB");
    out.CopyFrom(player, player_size);
  }
  const uint64_t payload_start = out.Position();

  DeflateSink deflated(out);
  uint8_t header_bytes[kGalleryHeaderSize];
  EncodeGalleryHeader(header, header_bytes);
  deflated.Write(header_bytes, sizeof header_bytes);
  uint64_t done = 0;
  for (std::size_t k = 0; k < slides.size(); ++k) {
    std::unique_ptr<FileStream> file;
    FileStream* picture = slides[k].spool;
    if (picture) {
      picture->Seek(slides[k].spool_offset);
    } else {
      file = std::make_unique<FileStream>(slides[k].source_path, FileStream::Mode::kOpenRead);
      picture = file.get();
      if (picture->Size() != sizes[k])
        throw Exception(slides[k].source_path + ": file changed while packing");
    }
    SlideRecordHead head{static_cast<uint32_t>(sizes[k]), slides[k].file_name, slides[k].caption};
    uint8_t head_bytes[kSlideRecordHeadSize];
    EncodeSlideRecordHead(head, head_bytes);
    deflated.Write(head_bytes, sizeof head_bytes);
    // JPEG and PNG data is compressed already: deflate finds nothing to save in it (a 30-photo
    // presentation came out 0.02 % larger at the best level than stored) and spends as much time
    // on it as on preparing a few of the pictures, so it is stored. Bitmaps and the records'
    // heads, mostly filler, get the best level.
    deflated.SetLevel(AlreadyCompressed(slides[k].file_name) ? 0 : 9);
    deflated.CopyFrom(*picture, sizes[k]);
    deflated.SetLevel(9);
    done += sizes[k];
    if (progress) progress(done, total_picture_bytes);
  }
  deflated.Finish();
  if (deflated.TotalIn() > UINT32_MAX) throw Exception("gallery payload larger than 4 GiB");

  uint8_t tail[8];
  StoreLittleEndian32(tail, static_cast<uint32_t>(deflated.TotalIn()));
  StoreLittleEndian32(tail + 4, static_cast<uint32_t>(payload_start));
  out.WriteBuffer(tail, sizeof tail);
}

}  // namespace qm
