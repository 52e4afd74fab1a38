#include "player/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "imaging/slide_loader.h"
#include "picshow/style_catalogue.h"
#include "player/cp1252.h"
#include "player/error_boxes.h"
#include "player/player_messages.h"

namespace qm {

namespace {

QColor ToQColor(TColor c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void SetFillColor(QWidget* w, const QColor& color) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, color);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

// The 28 x 28 pause and play symbols of the hidden control panel.
QPixmap ControlSymbol(bool play) {
  QPixmap pixmap(28, 28);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  if (play) {
    const QPoint triangle[3] = {QPoint(9, 6), QPoint(22, 14), QPoint(9, 22)};
    p.drawPolygon(triangle, 3);
  } else {
    p.drawRect(8, 6, 4, 16);
    p.drawRect(16, 6, 4, 16);
  }
  return pixmap;
}

constexpr int kDesignFontPixels = 11;  // "MS Sans Serif", 8 points at 96 dots per inch

}  // namespace

TfrmMain::TfrmMain(const std::string& executable, QWidget* parent) : QWidget(parent) {
  // Borderless, on top, no taskbar button, covering the primary screen.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
  setWindowTitle(kMainWindowCaption);
  QFont designFont("MS Sans Serif");
  designFont.setPixelSize(kDesignFontPixels);
  setFont(designFont);
  SetFillColor(this, palette().color(QPalette::Button));
  const QSize screen = ScreenSize();
  setGeometry(0, 0, screen.width(), screen.height());

  lblDesc = new QLabel(this);
  lblDesc->setObjectName("lblDesc");
  lblDesc->setTextFormat(Qt::PlainText);
  lblDesc->setWordWrap(true);
  lblDesc->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblDesc->setMargin(0);
  SetFillColor(lblDesc, Qt::white);
  lblDesc->setGeometry(0, 0, 3, 13);

  PicShow1 = new TPicShowWidget(this);
  PicShow1->setObjectName("PicShow1");
  PicShow1->setGeometry(0, 0, 200, 200);
  PicShow1->SetAutoSize(false);
  PicShow1->SetCenter(true);
  PicShow1->SetDelay(50);
  PicShow1->SetOverDraw(false);
  PicShow1->SetStyle(0);
  PicShow1->setFocusPolicy(Qt::NoFocus);

  panControl = new QWidget(this);
  panControl->setObjectName("panControl");
  panControl->setGeometry(298, 118, 28, 28);
  SetFillColor(panControl, Qt::white);
  imgPause = new QLabel(panControl);
  imgPause->setPixmap(ControlSymbol(false));
  imgPause->setGeometry(0, 0, 28, 28);
  imgPlay = new QLabel(panControl);
  imgPlay->setPixmap(ControlSymbol(true));
  imgPlay->setGeometry(0, 0, 28, 28);
  panControl->setVisible(false);

  Timer1 = new QTimer(this);
  Timer1->setInterval(2000);
  connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1TimerFromTimer);
  setFocusPolicy(Qt::StrongFocus);

  // The picture area is drawn over the strip wherever they overlap.
  PicShow1->raise();
  FormCreate(executable);
}

QSize TfrmMain::ScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return QSize(640, 480);
  // Physical pixels: one picture pixel is one screen pixel on a high-density display too.
  return screen->geometry().size() * screen->devicePixelRatio();
}

bool TfrmMain::FormCreate(const std::string& executable) {
  std::string reason;
  if (RunStartupExtraction(executable, state_, *this, &reason)) return true;
  startupFailed_ = true;
  ShowErrorBox(kStartupErrorCaption, kStartupErrorText);
  // The quit request is taken up when the message loop runs.
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  return false;
}

void TfrmMain::SetTimerPeriod(uint32_t milliseconds) {
  Timer1->setInterval(static_cast<int>(milliseconds));
}

void TfrmMain::SetBackgroundColor(TColor color) {
  SetFillColor(this, ToQColor(color));
  PicShow1->SetColor(color);
}

void TfrmMain::LayoutCaptionStrip(int32_t p) {
  const QSize screen = ScreenSize();
  if (p == 0 || p == 2 || p == 4) {
    stripEdge_ = StripEdge::kTop;
    panControl->move(panControl->x(), 0);
  } else if (p == 1 || p == 3 || p == 5) {
    stripEdge_ = StripEdge::kBottom;
    panControl->move(panControl->x(), screen.height() - panControl->height());
  }
  if (p == 0 || p == 1) {
    lblDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    panControl->move(screen.width() - panControl->width(), panControl->y());
  } else if (p == 2 || p == 3) {
    lblDesc->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    panControl->move(screen.width() - panControl->width(), panControl->y());
  } else if (p == 4 || p == 5) {
    lblDesc->setAlignment(Qt::AlignRight | Qt::AlignTop);
    panControl->move(0, panControl->y());
  }
  PlaceLabel();
}

void TfrmMain::LayoutPictureAreaFullScreen() {
  const QSize screen = ScreenSize();
  PicShow1->setGeometry(0, 0, screen.width(), screen.height());
}

void TfrmMain::SetCaptionFont(const std::string& name, TColor color, int32_t size, uint8_t style) {
  QFont font = lblDesc->font();
  if (!name.empty()) font.setFamily(QString::fromStdString(Cp1252ToUtf8(name.substr(0, 31))));
  QPalette pal = lblDesc->palette();
  pal.setColor(QPalette::WindowText, ToQColor(color));
  if (color == 0x00FFFFFF) pal.setColor(QPalette::Window, Qt::black);
  lblDesc->setPalette(pal);
  // Points at 96 dots per inch, as pixels; a negative size is a pixel height, 0 the default.
  if (size != 0) {
    const int64_t magnitude = size < 0 ? -static_cast<int64_t>(size) : size;
    const int64_t pixels = (magnitude * 96 + 36) / 72;
    font.setPixelSize(static_cast<int>(pixels < 1 ? 1 : (pixels > 2000 ? 2000 : pixels)));
  }
  font.setBold(style & kFontBold);
  font.setItalic(style & kFontItalic);
  font.setUnderline(style & kFontUnderline);
  font.setStrikeOut(style & kFontStrikeOut);
  lblDesc->setFont(font);
  AdjustLabelHeight();
}

void TfrmMain::LayoutPictureAreaAgainstStrip(int32_t p) {
  const int h = lblDesc->height();
  const QSize screen = ScreenSize();
  if (p == 0 || p == 2 || p == 4) {
    PicShow1->setGeometry(0, h, PicShow1->width(), PicShow1->height());
  } else if (p == 1 || p == 3 || p == 5) {
    PicShow1->setGeometry(0, 0, PicShow1->width(), screen.height() - h);
  }
}

void TfrmMain::SetTransitionStyle(uint8_t style) {
  PicShow1->SetStyle(style);
}

void TfrmMain::EnableTimer() {
  // A period of 0 never fires.
  if (Timer1->interval() > 0 && !closed_) Timer1->start();
}

void TfrmMain::SetCaption(const std::string& caption) {
  lblDesc->setText(QString::fromStdString(Cp1252ToUtf8(caption)));
  AdjustLabelHeight();
}

void TfrmMain::Timer1Timer() {
  Timer1->stop();
  const auto count = static_cast<int32_t>(state_.slides.size());
  if (state_.slidePosition > count - 1) {
    // An empty list ends the show even when it loops: there is nothing to start again with.
    if (state_.loopFlag == 0 || count == 0) {
      close();
      return;
    }
    state_.slidePosition = 0;
  }
  const recImgItems& slide = state_.slides[static_cast<std::size_t>(state_.slidePosition)];
  // Unrecognised extensions load nothing: the control keeps its previous picture. The decoded
  // bitmap is handed over, not copied: the control's picture is the only one left.
  if (std::optional<TBitmap> picture = LoadSlidePicture(slide.path))
    PicShow1->Picture().Assign(std::move(*picture));
  if (IsRandomStyle(state_.styleValue)) PicShow1->SetStyle(PickRandomStyle());
  PicShow1->Clear();
  repaint();
  PicShow1->Execute();
  SetCaption(slide.caption);
  ++state_.slidePosition;
  // Wait for the end of the transition, handling paints, keys and the completion as they
  // come; between them the main thread sleeps instead of spinning.
  while (PicShow1->Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  EnableTimer();
}

void TfrmMain::Timer1TimerFromTimer() {
  try {
    Timer1Timer();
  } catch (const std::exception& e) {
    ShowErrorBox(kApplicationTitle, ErrorBoxText(e.what()), this);
  }
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  Timer1->stop();
  closed_ = true;
  PicShow1->Stop();
  PicShow1->Clear();
  lblDesc->setText(QString());
  event->accept();
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::AdjustLabelHeight() {
  const QFontMetrics metrics(lblDesc->font());
  int h = metrics.height();
  if (stripEdge_ != StripEdge::kNone && !lblDesc->text().isEmpty())
    h = std::max(h, lblDesc->heightForWidth(width()));
  lblDesc->resize(lblDesc->width(), h);
  PlaceLabel();
}

void TfrmMain::PlaceLabel() {
  const int h = lblDesc->height();
  if (stripEdge_ == StripEdge::kTop) lblDesc->setGeometry(0, 0, width(), h);
  if (stripEdge_ == StripEdge::kBottom) lblDesc->setGeometry(0, height() - h, width(), h);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceLabel();
}

}  // namespace qm
