#include "player/picshow_widget.h"

#include <QCoreApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/exception.h"

namespace qm {

namespace {

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

}  // namespace

TPicShowWidget::TPicShowWidget(QWidget* parent)
    : QWidget(parent), TPicShow(static_cast<PicShowHost&>(*this)) {
  // Opaque: every paint covers every pixel, so nothing erases the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  resize(100, 100);
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) throw EOutOfMemory("no event descriptor for the transition control");
  wake_notifier_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
  QObject::connect(wake_notifier_, &QSocketNotifier::activated, this, [this] {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
    HandleWake();
  });
  deadline_timer_.setSingleShot(true);
  deadline_timer_.setTimerType(Qt::PreciseTimer);
}

TPicShowWidget::~TPicShowWidget() {
  // The widget's half of the object goes first: the transition ends while it is whole.
  EndTransitionForDestruction();
  delete wake_notifier_;
  ::close(wake_fd_);
}

void TPicShowWidget::Present(const TBitmap& image, const TRect& area) {
  if (!painter_) return;
  const QImage pixels(image.Bits(), image.Width(), image.Height(),
                      static_cast<qsizetype>(image.RowBytes()), QImage::Format_RGB32);
  painter_->drawImage(ToQRect(area), pixels, ToQRect(area));
}

void TPicShowWidget::Invalidate(const TRect& area) {
  update(ToQRect(area));
}

void TPicShowWidget::UpdateNow(const TRect& area) {
  if (isVisible() && updatesEnabled()) repaint(ToQRect(area));
}

void TPicShowWidget::WakeMainThread() {
  const uint64_t one = 1;
  // Cannot fail short of the counter's overflow, which a wake-up per frame never reaches.
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void TPicShowWidget::ProcessEvents(Clock::time_point deadline) {
  QCoreApplication::processEvents();
  const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (rest <= 0) return;
  deadline_timer_.start(static_cast<int>(std::min<int64_t>(rest, 1 << 30)));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  deadline_timer_.stop();
}

void TPicShowWidget::paintEvent(QPaintEvent* e) {
  QPainter painter(this);
  painter_ = &painter;
  const QRect r = e->rect();
  HandlePaint(Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
  painter_ = nullptr;
}

void TPicShowWidget::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  HandleResize();
}

void TPicShowWidget::enterEvent(QEnterEvent* e) {
  QWidget::enterEvent(e);
  HandleMouseEnter();
}

void TPicShowWidget::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  HandleMouseLeave();
}

}  // namespace qm
