#include "app/WindowObserver.h"

#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>

#include "app/About.h"
#include "app/Grid.h"
#include "app/Lang.h"
#include "app/PictureView.h"

void TMainForm::TWindowObserver::WalkStarted(const std::string& MoviePath) {
  F.SetPanelText(3, FromStd(MoviePath));
  F.Image2->hide();
  F.Image3->hide();
  F.VDT->show();
  F.FAbout->BeginSplash(F.Lang(mesExtractingPictures));
  F.Repaint(F.FAbout);
  FTimer.start();
}

void TMainForm::TWindowObserver::WalkProgress(int Percent) {
  // Movies can hold hundreds of thousands of records, and a repaint costs
  // far more than one: the screen follows the walk a few times a second.
  if (Percent == FLastPercent || FTimer.elapsed() < 100) return;
  FLastPercent = Percent;
  FTimer.restart();
  F.FAbout->SetSplashProgress(Percent);
  F.repaint();
  F.Repaint(F.FAbout);
}

void TMainForm::TWindowObserver::SaveProgress(int32_t Done, int32_t Total) {
  F.ProgressBar1->setRange(0, std::max(1, Total));
  F.ProgressBar1->setValue(Done);
  F.Repaint(F.TBXStatusBar1);
}

void TMainForm::TWindowObserver::PictureFailed(int32_t Number, const std::string& Message) {
  Failures << F.Lang(mesPNGNotComposed).arg(Number).arg(FromStd(Message));
}

void TMainForm::TWindowObserver::FileNotWritten(int32_t Number, const std::string& FileName,
                                                const std::string& Reason) {
  Failures << F.Lang(mesFileNotWritten).arg(Number).arg(FromStd(FileName), FromStd(Reason));
}

void TMainForm::TWindowObserver::NothingToSave(int32_t Number) {
  Failures << F.Lang(mesNothingToSave).arg(Number);
}

void TMainForm::TWindowObserver::NotEnoughMemory(int32_t Number, TPictureSize Size) {
  Failures << F.MemoryShortSentence(Number, Size);
}

void TSaveRelay::SaveProgress(int32_t Done, int32_t Total) {
  Post([this, Done, Total] { FTarget.SaveProgress(Done, Total); });
}

void TSaveRelay::PictureFailed(int32_t Number, const std::string& Message) {
  Post([this, Number, Message] { FTarget.PictureFailed(Number, Message); });
}

void TSaveRelay::FileNotWritten(int32_t Number, const std::string& FileName,
                                const std::string& Reason) {
  Post([this, Number, FileName, Reason] { FTarget.FileNotWritten(Number, FileName, Reason); });
}

void TSaveRelay::NothingToSave(int32_t Number) {
  Post([this, Number] { FTarget.NothingToSave(Number); });
}

void TSaveRelay::NotEnoughMemory(int32_t Number, TPictureSize Size) {
  Post([this, Number, Size] { FTarget.NotEnoughMemory(Number, Size); });
}

void TSaveRelay::Post(std::function<void()> Call) {
  QMetaObject::invokeMethod(FWindow, std::move(Call), Qt::QueuedConnection);
}
