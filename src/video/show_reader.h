// A show to make a video of: its settings and slides, and the slides' pictures decoded one after
// the other as the player decodes them, from a presentation's payload or from picture files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "payload/payload_format.h"
#include "platform/bitmap.h"

namespace qm::video {

struct ShowSlide {
  std::string name;     // the picture's file name: its extension picks the decoder
  std::string caption;  // Windows-1252
};

struct Show {
  GalleryHeader header;
  std::vector<ShowSlide> slides;
};

// The slides' pictures in show order.
class SlidePictures {
 public:
  virtual ~SlidePictures() = default;
  // The next slide's picture; nothing when its extension has no decoder (the player then keeps
  // the picture it had). The decoders' exceptions pass through.
  virtual std::optional<TBitmap> Next() = 0;
};

// The settings and slides of a presentation, its whole payload checked. Raises EPayloadDamaged
// (the check that failed) or the file's error; `no_payload` is set when the file does not look
// like a presentation at all.
Show ReadShow(const std::string& path, bool* no_payload = nullptr);

// The pictures of a presentation, read from its payload as they are asked for.
std::unique_ptr<SlidePictures> PicturesOfShow(const std::string& path);

// The pictures of the files `paths`, read as they are asked for.
std::unique_ptr<SlidePictures> PicturesOfFiles(std::vector<std::string> paths);

}  // namespace qm::video
