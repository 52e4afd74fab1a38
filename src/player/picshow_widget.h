// The transition control in a Qt widget: the widget is the control's host. It paints the
// control's image, passes on size changes and the mouse, and wakes the main thread for the
// animation thread through an event counter that Qt's event loop watches.
#pragma once

#include <QTimer>
#include <QWidget>

#include "picshow/picshow.h"

class QSocketNotifier;

namespace qm {

class TPicShowWidget : public QWidget, public PicShowHost, public TPicShow {
 public:
  explicit TPicShowWidget(QWidget* parent = nullptr);
  ~TPicShowWidget() override;

  // PicShowHost.
  int ClientWidth() const override { return width(); }
  int ClientHeight() const override { return height(); }
  void SetClientSize(int width, int height) override { resize(width, height); }
  void Present(const TBitmap& image, const TRect& area) override;
  void Invalidate(const TRect& area) override;
  void UpdateNow(const TRect& area) override;
  void WakeMainThread() override;
  void ProcessEvents(Clock::time_point deadline) override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  QPainter* painter_ = nullptr;  // the paint being handled
  int wake_fd_ = -1;
  QSocketNotifier* wake_notifier_ = nullptr;
  QTimer deadline_timer_;  // ends a wait for events at a deadline
};

}  // namespace qm
