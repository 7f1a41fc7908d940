// TThumbnailCache: the thumbnails of the open movie, made on demand. The
// grid says which pictures it shows and which lie near; worker threads (one
// per core) draw them from the core's decode path, most wanted first, and
// the cache tells of each as it arrives, on the thread that owns the cache.
// Its memory is capped: past the cap, the thumbnails used longest ago that
// are not in view are dropped, to be drawn again when they are wanted.
#pragma once

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "extract/PictureList.h"
#include "render/Render.h"

class TThumbnailCache : public QObject {
  Q_OBJECT
 public:
  static constexpr size_t DefaultCap = size_t(256) << 20;

  // Threads 0: one per core.
  explicit TThumbnailCache(size_t Cap = DefaultCap, unsigned Threads = 0,
                           QObject* Parent = nullptr);
  // Waits for the thumbnails in hand, then ends the threads.
  ~TThumbnailCache() override;
  TThumbnailCache(const TThumbnailCache&) = delete;
  TThumbnailCache& operator=(const TThumbnailCache&) = delete;

  // A new movie's thumbnails, drawn from Pictures with Settings; Pictures
  // must stay as it is until End (or the next Begin). What was built or
  // asked for before is forgotten.
  void Begin(const TPictureList& Pictures, const TPictureSettings& Settings);
  // No movie: waits for the thumbnails in hand (whose results are dropped)
  // and forgets everything, so Pictures may change.
  void End();

  // The pictures wanted, most wanted first: the first InView of them are in
  // view and are never dropped for the cap. Replaces the earlier wish.
  void Want(const std::vector<int32_t>& Numbers, size_t InView);
  // Thumbnail Number as built, or nothing yet.
  std::optional<TThumbnail> Find(int32_t Number);

  // Every picture wanted is built (or cannot be).
  bool Idle();
  // Every picture in view is.
  bool InViewMade();
  size_t Bytes();
  size_t Count();

 signals:
  // Thumbnail Number of the movie now open is there.
  void Built(int32_t Number);

 private:
  struct TEntry {
    TThumbnail Thumbnail;
    size_t Bytes = 0;
    std::list<int32_t>::iterator Used;  // its place in FUsed, latest last
  };

  void Work();
  void Store(uint64_t Generation, int32_t Number, TThumbnail&& Thumbnail);
  void Trim();  // FLock held

  const size_t FCap;
  std::mutex FLock;
  std::condition_variable FWake;   // work came, or the end
  std::condition_variable FQuiet;  // a thumbnail in hand was finished
  bool FQuit = false;
  uint64_t FGeneration = 0;  // the movie's; results of an earlier one are dropped
  const TPictureList* FPictures = nullptr;
  TPictureSettings FSettings;
  std::vector<int32_t> FWanted;  // most wanted first
  size_t FNext = 0;              // the next of FWanted to look at
  std::unordered_set<int32_t> FInView;
  std::unordered_set<int32_t> FInHand;
  std::unordered_map<int32_t, TEntry> FEntries;
  std::list<int32_t> FUsed;
  size_t FBytes = 0;
  std::vector<std::thread> FThreads;
};
