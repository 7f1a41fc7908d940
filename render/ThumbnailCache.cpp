#include "render/ThumbnailCache.h"

#include <QMetaObject>
#include <algorithm>

#include "extract/Workers.h"

TThumbnailCache::TThumbnailCache(size_t Cap, unsigned Threads, QObject* Parent)
    : QObject(Parent), FCap(Cap) {
  if (Threads == 0) Threads = TWorkerPool::Cores();
  for (unsigned I = 0; I < Threads; ++I) FThreads.emplace_back([this] { Work(); });
}

TThumbnailCache::~TThumbnailCache() {
  {
    std::lock_guard<std::mutex> Hold(FLock);
    FQuit = true;
  }
  FWake.notify_all();
  for (std::thread& Thread : FThreads) Thread.join();
}

void TThumbnailCache::Begin(const TPictureList& Pictures, const TPictureSettings& Settings) {
  End();
  std::lock_guard<std::mutex> Hold(FLock);
  FPictures = &Pictures;
  FSettings = Settings;
}

void TThumbnailCache::End() {
  std::unique_lock<std::mutex> Hold(FLock);
  ++FGeneration;  // what is in hand now is dropped when it comes
  FPictures = nullptr;
  FWanted.clear();
  FNext = 0;
  FInView.clear();
  FQuiet.wait(Hold, [this] { return FInHand.empty(); });
  FEntries.clear();
  FUsed.clear();
  FBytes = 0;
}

void TThumbnailCache::Want(const std::vector<int32_t>& Numbers, size_t InView) {
  {
    std::lock_guard<std::mutex> Hold(FLock);
    if (!FPictures) return;
    FWanted.clear();
    FInView.clear();
    for (size_t I = 0; I < Numbers.size(); ++I) {
      const int32_t N = Numbers[I];
      if (N < 0 || N >= FPictures->Count) continue;
      if (I < InView) FInView.insert(N);
      FWanted.push_back(N);
    }
    FNext = 0;
  }
  FWake.notify_all();
}

std::optional<TThumbnail> TThumbnailCache::Find(int32_t Number) {
  std::lock_guard<std::mutex> Hold(FLock);
  const auto Found = FEntries.find(Number);
  if (Found == FEntries.end()) return std::nullopt;
  FUsed.splice(FUsed.end(), FUsed, Found->second.Used);  // the latest used
  return Found->second.Thumbnail;
}

bool TThumbnailCache::Idle() {
  std::lock_guard<std::mutex> Hold(FLock);
  if (!FInHand.empty()) return false;
  return std::all_of(FWanted.begin(), FWanted.end(),
                     [this](int32_t N) { return FEntries.count(N) > 0; });
}

bool TThumbnailCache::InViewMade() {
  std::lock_guard<std::mutex> Hold(FLock);
  return std::all_of(FInView.begin(), FInView.end(),
                     [this](int32_t N) { return FEntries.count(N) > 0; });
}

size_t TThumbnailCache::Bytes() {
  std::lock_guard<std::mutex> Hold(FLock);
  return FBytes;
}

size_t TThumbnailCache::Count() {
  std::lock_guard<std::mutex> Hold(FLock);
  return FEntries.size();
}

void TThumbnailCache::Work() {
  std::unique_lock<std::mutex> Hold(FLock);
  for (;;) {
    // The most wanted picture that is neither built nor in another thread's hands.
    while (!FQuit && FPictures && FNext < FWanted.size() &&
           (FEntries.count(FWanted[FNext]) || FInHand.count(FWanted[FNext])))
      ++FNext;
    if (FQuit) return;
    if (!FPictures || FNext >= FWanted.size()) {
      FWake.wait(Hold);
      continue;
    }
    const int32_t Number = FWanted[FNext++];
    const uint64_t Generation = FGeneration;
    const TPictureList& Pictures = *FPictures;
    const TPictureSettings Settings = FSettings;
    FInHand.insert(Number);
    Hold.unlock();
    // The list stays as it is while a thumbnail of it is in hand: End waits.
    TThumbnail Thumbnail;
    std::string Failure;
    try {
      DrawThumbnail(Pictures, Number, Settings, Thumbnail, Failure);
    } catch (const std::exception&) {
      // Memory refused on the way: the picture shows the mark of one that
      // cannot be drawn, and the others are still made.
      Thumbnail = TThumbnail();
      Thumbnail.Failed = true;
    }
    Hold.lock();
    FInHand.erase(Number);
    Store(Generation, Number, std::move(Thumbnail));
    FQuiet.notify_all();
  }
}

void TThumbnailCache::Store(uint64_t Generation, int32_t Number, TThumbnail&& Thumbnail) {
  if (Generation != FGeneration) return;  // a movie no longer open
  const auto [Place, New] = FEntries.try_emplace(Number);
  TEntry& Entry = Place->second;
  if (New) Entry.Used = FUsed.insert(FUsed.end(), Number);
  FBytes -= Entry.Bytes;
  Entry.Thumbnail = std::move(Thumbnail);
  Entry.Bytes = size_t(Entry.Thumbnail.Image.sizeInBytes());
  FBytes += Entry.Bytes;
  Trim();
  // Told on the cache's own thread, where the grid paints it.
  QMetaObject::invokeMethod(
      this,
      [this, Generation, Number] {
        bool Current;
        {
          std::lock_guard<std::mutex> Hold(FLock);
          Current = Generation == FGeneration && FEntries.count(Number);
        }
        if (Current) emit Built(Number);
      },
      Qt::QueuedConnection);
}

void TThumbnailCache::Trim() {
  // The thumbnails used longest ago go first; those in view stay, even past
  // the cap, since they are on the screen.
  for (auto It = FUsed.begin(); FBytes > FCap && It != FUsed.end();) {
    const int32_t Number = *It;
    if (FInView.count(Number)) {
      ++It;
      continue;
    }
    It = FUsed.erase(It);
    const auto Found = FEntries.find(Number);
    FBytes -= Found->second.Bytes;
    FEntries.erase(Found);
  }
}
