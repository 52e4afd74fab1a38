// TfrmMain: the presentation window. Borderless, on top, full screen, no taskbar button; a
// caption strip `lblDesc` at the top or bottom edge and the picture area `PicShow1` over the
// rest. Start-up (FormCreate) extracts the gallery and lays the window out from its header.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "player/extraction.h"
#include "player/picshow_widget.h"

namespace qm {

class TfrmMain : public QWidget, public GallerySettingsSink {
  Q_OBJECT

 public:
  // Builds the window from its description, then runs FormCreate on `executable`.
  explicit TfrmMain(const std::string& executable, QWidget* parent = nullptr);

  // Start-up: extraction and layout. On failure shows the start-up error box and requests
  // the end of the program. Returns whether start-up succeeded.
  bool FormCreate(const std::string& executable);

  const PlayerState& State() const { return state_; }

  // The slide sequencer's tick: shows the slide at the slide position and waits for its
  // transition to end. Decoding errors pass to the caller.
  void Timer1Timer();
  // The timer's tick as the framework runs it: an error shows the default error box, and the
  // show halts on the previous slide.
  void Timer1TimerFromTimer();

  bool StartupFailed() const { return startupFailed_; }

  // Children, named as in the window's description.
  QLabel* lblDesc = nullptr;
  TPicShowWidget* PicShow1 = nullptr;
  QWidget* panControl = nullptr;
  QLabel* imgPause = nullptr;
  QLabel* imgPlay = nullptr;
  QTimer* Timer1 = nullptr;

  // GallerySettingsSink: the gallery header applied to the window.
  void SetTimerPeriod(uint32_t milliseconds) override;
  void SetBackgroundColor(TColor color) override;
  void LayoutCaptionStrip(int32_t p) override;
  void LayoutPictureAreaFullScreen() override;
  void SetCaptionFont(const std::string& name, TColor color, int32_t size, uint8_t style) override;
  void LayoutPictureAreaAgainstStrip(int32_t p) override;
  void SetTransitionStyle(uint8_t style) override;

  // The screen the window covers, in physical pixels.
  static QSize ScreenSize();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // FormKeyDown: Escape, whatever the shift state, closes the window.
  void keyPressEvent(QKeyEvent* event) override;
  // FormCloseQuery: stops the show; never refuses the close. Closing ends the program.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Keeps the label's automatic height: as many lines as its text needs at its width.
  void AdjustLabelHeight();
  void SetCaption(const std::string& caption);
  void EnableTimer();
  void PlaceLabel();

  enum class StripEdge { kNone, kTop, kBottom };
  StripEdge stripEdge_ = StripEdge::kNone;
  PlayerState state_;
  bool startupFailed_ = false;
  bool closed_ = false;
};

}  // namespace qm
