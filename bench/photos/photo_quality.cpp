// How close downscaled photos come to an exact downscale: the original decoded at full size and
// scaled by a Lanczos-3 filter in double precision (separable, no scaling while decoding), once
// in linear light and once on the gamma-encoded values. For each candidate JPEG of the reference
// size prints PSNR (RGB, dB) and SSIM (luma, 8x8 windows) against both.
//
//   photo_quality ORIGINAL.jpg WIDTHxHEIGHT [CANDIDATE.jpg ...]
//
// A candidate "ours" stands for quenmora pack's own result, prepared here by the same code with
// the same defaults (--fit WIDTHxHEIGHT, quality 90); "ours before encoding" is its pixels
// before they are written as JPEG.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photos/prepare.h"
#include "tests/support/pixels.h"

namespace {

using qm::TBitmap;
using qm::photos::Size;
using qm::test::Psnr;

std::vector<uint8_t> Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TBitmap DecodeJpeg(const std::vector<uint8_t>& bytes) {
  qm::photos::DecodeRequest request;
  return qm::photos::Decode(qm::photos::Format::kJpeg,
                            qm::photos::ByteSpan(bytes.data(), bytes.size()), request)
      .pixels;
}

double ToLinear(double v) {
  v /= 255;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double FromLinear(double l) {
  l = std::clamp(l, 0.0, 1.0);
  return 255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055);
}

double Lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-12) return 1;
  if (x >= 3) return 0;
  return 3 * std::sin(M_PI * x) * std::sin(M_PI * x / 3) / (M_PI * M_PI * x * x);
}

// Planes of doubles, channel-major: [c][y][x].
struct Planes {
  int w = 0, h = 0;
  std::vector<double> v;
  double& At(int c, int x, int y) { return v[(static_cast<std::size_t>(c) * h + y) * w + x]; }
};

Planes Resample1D(Planes& in, int tw, int th) {
  Planes out{tw, th, std::vector<double>(3ull * tw * th)};
  const bool across = tw != in.w;
  const int n = across ? in.w : in.h, m = across ? tw : th;
  const double scale = static_cast<double>(n) / m;
  for (int i = 0; i < m; ++i) {
    const double centre = (i + 0.5) * scale;
    const int lo = std::max(0, static_cast<int>(centre - 3 * scale) - 1);
    const int hi = std::min(n, static_cast<int>(centre + 3 * scale) + 2);
    std::vector<double> w;
    double sum = 0;
    for (int k = lo; k < hi; ++k) sum += w.emplace_back(Lanczos3((k + 0.5 - centre) / scale));
    for (int c = 0; c < 3; ++c)
      for (int j = 0; j < (across ? th : tw); ++j) {
        double s = 0;
        for (int k = lo; k < hi; ++k) s += w[k - lo] * (across ? in.At(c, k, j) : in.At(c, j, k));
        (across ? out.At(c, i, j) : out.At(c, j, i)) = s / sum;
      }
  }
  return out;
}

TBitmap Reference(const TBitmap& src, Size target, bool linear) {
  Planes p{src.Width(), src.Height(), std::vector<double>(3ull * src.Width() * src.Height())};
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const double v = src.ScanLine(y)[x * 3 + c];
        p.At(c, x, y) = linear ? ToLinear(v) : v;
      }
  Planes across = Resample1D(p, target.width, p.h);
  Planes down = Resample1D(across, target.width, target.height);
  TBitmap out(target.width, target.height, qm::PixelFormat::pf24bit);
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < target.height; ++y)
      for (int x = 0; x < target.width; ++x) {
        const double v = linear ? FromLinear(down.At(c, x, y)) : down.At(c, x, y);
        out.ScanLine(y)[x * 3 + c] = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
      }
  return out;
}

double Luma(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + x * 3;
  return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
}

double Ssim(const TBitmap& a, const TBitmap& b) {
  const double c1 = 6.5025, c2 = 58.5225;  // (0.01 * 255)^2, (0.03 * 255)^2
  double total = 0;
  int windows = 0;
  for (int y0 = 0; y0 + 8 <= a.Height(); y0 += 4)
    for (int x0 = 0; x0 + 8 <= a.Width(); x0 += 4) {
      double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
      for (int y = y0; y < y0 + 8; ++y)
        for (int x = x0; x < x0 + 8; ++x) ma += Luma(a, x, y), mb += Luma(b, x, y);
      ma /= 64, mb /= 64;
      for (int y = y0; y < y0 + 8; ++y)
        for (int x = x0; x < x0 + 8; ++x) {
          const double da = Luma(a, x, y) - ma, db = Luma(b, x, y) - mb;
          va += da * da, vb += db * db, cov += da * db;
        }
      va /= 63, vb /= 63, cov /= 63;
      total += (2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
      ++windows;
    }
  return total / windows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: photo_quality ORIGINAL.jpg WIDTHxHEIGHT [CANDIDATE.jpg ...]\n");
    return 2;
  }
  const std::vector<uint8_t> original = Read(argv[1]);
  Size box{};
  std::sscanf(argv[2], "%dx%d", &box.width, &box.height);
  qm::photos::PrepareOptions options;
  options.fit = box;
  const qm::photos::Prepared ours =
      qm::photos::PreparePicture(qm::photos::ByteSpan(original.data(), original.size()), options);
  const TBitmap full = DecodeJpeg(original);
  const TBitmap linear = Reference(full, ours.size, true),
                gamma = Reference(full, ours.size, false);
  std::printf("%-40s %8s %8s %8s %8s\n", "candidate", "PSNRlin", "SSIMlin", "PSNRgam", "SSIMgam");
  // Ours before it is written as JPEG too: what the decoding and the filter lose, apart from
  // what the encoder loses.
  std::vector<std::pair<std::string, TBitmap>> candidates = {
      {"ours", DecodeJpeg(ours.data)},
      {"ours before encoding",
       qm::photos::DecodeUpright(qm::photos::ByteSpan(original.data(), original.size()), options)
           .pixels}};
  for (int k = 3; k < argc; ++k) candidates.emplace_back(argv[k], DecodeJpeg(Read(argv[k])));
  for (const auto& [name, picture] : candidates) {
    if (picture.Width() != ours.size.width || picture.Height() != ours.size.height) {
      std::printf("%-40s size %dx%d differs\n", name.c_str(), picture.Width(), picture.Height());
      continue;
    }
    std::printf("%-40s %8.2f %8.4f %8.2f %8.4f\n", name.c_str(), Psnr(picture, linear),
                Ssim(picture, linear), Psnr(picture, gamma), Ssim(picture, gamma));
  }
  return 0;
}
