// `quenmora render`: composes, without a window, exactly the frames the transition control
// composes for a transition from one picture to another, and writes them as 24-bit PNGs or as
// one animated PNG.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "imaging/png_writer.h"
#include "picshow/render.h"
#include "picshow/style_catalogue.h"
#include "picshow/transition_math.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/pending_output.h"
#include "tools/style_lookup.h"
#include "tools/tool_messages.h"
#include "tools/transition_animation.h"

namespace qm::tool {

namespace {

constexpr const char kUsage[] =
    "usage: quenmora render --style N [--step S] [--seed K] [--delay MS]\n"
    "                       (--progress P | --frames DIR | --animate) OLD NEW OUT.png\n"
    "Composes the transition frame from picture OLD (the old screen contents) to picture NEW (the\n"
    "new picture) as the transition control does, and writes it to OUT.png as a 24-bit PNG. OLD\n"
    "and NEW are decoded as the player decodes slides and must be of equal size.\n"
    "  --style N      style number 0..150 or style name (see 'quenmora styles')\n"
    "  --step S       progress per frame in percent, 1..100 (default 4)\n"
    "  --seed K       the random generator's seed before the first frame, 0..4294967295\n"
    "                 (default 0)\n"
    "  --progress P   the frame at progress P, 0..100\n"
    "  --frames DIR   a whole forward transition: DIR/frame-NNN.png for every frame (NNN = the\n"
    "                 progress), the seed running on from frame to frame; OUT.png gets the last\n"
    "  --animate      the whole forward transition as an animated PNG in OUT.png: the old\n"
    "                 picture (also shown by viewers without animation), then every frame as\n"
    "                 --frames composes it, each held for the delay, the last for a second\n"
    "  --delay MS     with --animate: milliseconds per frame, 0..65535 (default 50, the\n"
    "                 player's)\n";

std::string FramePath(const std::string& dir, int progress) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%03d.png", progress);
  return (std::filesystem::path(dir) / name).string();
}

}  // namespace

int RunRender(const Args& args) {
  RenderSettings settings;
  std::optional<int> style, progress;
  std::optional<std::string> frames_dir;
  bool animate = false;
  uint16_t delay_ms = kDefaultFrameDelayMs;
  const OptionTable options = {
      Value(
          {"--style"},
          [&](const std::string& value) {
            style = ParseStyleArgument(value);
            return style && *style >= 0 && *style <= kMaxStyle;
          },
          "--style takes a style number 0..150 or a style name, not \"{}\""),
      StepOption(settings.step),
      SeedOption(settings.seed),
      Number({"--progress"}, 0, 100, progress, "--progress takes 0..100, not {}"),
      Text({"--frames"}, frames_dir, ""),
      Switch({"--animate"}, animate),
      DelayOption(delay_ms),
  };
  const ParsedLine line = ParseCommandLine(args, options);
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!line.error.empty()) return UsageError(line.error);
  const std::vector<std::string>& files = line.operands;
  if (!style) return UsageError("--style is required");
  if (progress.has_value() + frames_dir.has_value() + animate != 1)
    return UsageError("give exactly one of --progress, --frames and --animate");
  if (files.size() != 3) return UsageError("expected OLD NEW OUT.png");
  settings.style = *style;

  // The output is checked, and its file made, before any work; the frames likewise.
  const std::vector<Input> inputs = PictureInputs({files[0], files[1]});
  std::vector<std::string> frame_paths;
  if (frames_dir) {
    for (int p = StartProgress(false); !ProgressAtEnd(p, false);) {
      p = NextProgress(p, ClampStep(settings.step), false);
      frame_paths.push_back(FramePath(*frames_dir, p));
      if (auto why = CheckOutput(frame_paths.back(), inputs)) return Fail(*why);
    }
  }
  std::optional<PendingOutput> out;
  try {
    out.emplace(files[2], inputs);
    const TBitmap old_picture = LoadTransitionPicture(files[0]);
    const TBitmap new_picture = LoadTransitionPicture(files[1]);
    CheckSameSize(old_picture, new_picture);
    if (progress) {
      TBitmap frame;
      RenderFrame(old_picture, new_picture, settings, *progress, frame);
      WritePng24(frame, out->Sink());
    } else if (animate) {
      AnimateTransition(old_picture, new_picture, settings, delay_ms, out->Sink());
    } else {
      std::filesystem::create_directories(*frames_dir);
      std::size_t k = 0;
      RenderTransition(old_picture, new_picture, settings, [&](int p, const TBitmap& frame) {
        PendingOutput frame_file(frame_paths[k++], inputs);
        try {
          WritePng24(frame, frame_file.Sink());
          frame_file.Commit();
        } catch (const std::exception& e) {
          throw ToolError(frame_file.WriteError(e));
        }
        if (ProgressAtEnd(p, false)) WritePng24(frame, out->Sink());
      });
    }
    out->Commit();
  } catch (const std::filesystem::filesystem_error& e) {
    return Fail("cannot create the folder " + e.path1().string() + ": " + e.code().message());
  } catch (const std::exception& e) {
    return Fail(out ? out->WriteError(e) : Describe(e));
  }
  return 0;
}

}  // namespace qm::tool
