// The thumbnail cache: thumbnails drawn on demand by worker threads, most
// wanted first, within a cap on memory, those of a movie no longer open
// dropped, and a cache that goes while it works ends cleanly.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <set>

#include "extract/Extract.h"
#include "render/ThumbnailCache.h"
#include "tests/support/MovieBuilder.h"

namespace {

// One application for every test here: the cache tells of thumbnails
// through the event loop.
QCoreApplication& Application() {
  static int Argc = 1;
  static char Name[] = "thumbnail_cache_test";
  static char* Argv[] = {Name, nullptr};
  static QCoreApplication App(Argc, Argv);
  return App;
}

bool WaitFor(const std::function<bool()>& Done, int Milliseconds = 20000) {
  QElapsedTimer Clock;
  Clock.start();
  while (!Done()) {
    if (Clock.elapsed() > Milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

class ThumbnailCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { Application(); }
  // A movie of Count pictures of Side x Side, opened into W.
  void OpenMovie(int Count, uint16_t Side, const std::string& Name = "movie.swf") {
    TMovieBuilder Builder(true);
    for (int N = 0; N < Count; ++N)
      Builder.DefineBitsLossless(uint16_t(N + 1), 5, Side, Side,
                                 ARGBData(std::vector<uint32_t>(size_t(Side) * Side,
                                                                0xFF000000u | uint32_t(N * 997))));
    Builder.Save(Temp.Path() + Name);
    ResetWorkspace(W);
    DropPictureStores(W);
    OpenAndExtract(W, Temp.Path() + Name, Temp.Path(), nullptr);
    ASSERT_EQ(W.Pictures.Count, Count);
  }
  static std::vector<int32_t> Range(int32_t From, int32_t To) {
    std::vector<int32_t> Numbers;
    for (int32_t N = From; N < To; ++N) Numbers.push_back(N);
    return Numbers;
  }
  TTempDir Temp;
  TWorkspace W;
  TPictureSettings Settings;
};

TEST_F(ThumbnailCacheTest, ThumbnailsComeAsWantedAndHoldOnlyWhatTheyShow) {
  OpenMovie(6, 4);
  TThumbnailCache Cache(TThumbnailCache::DefaultCap, 2);
  QSignalSpy Built(&Cache, &TThumbnailCache::Built);
  Cache.Begin(W.Pictures, Settings);
  Cache.Want({4, 1}, 1);
  ASSERT_TRUE(WaitFor([&] { return Cache.Idle() && Built.count() == 2; }));
  EXPECT_FALSE(Cache.Find(0));
  const std::optional<TThumbnail> Four = Cache.Find(4);
  ASSERT_TRUE(Four);
  // A 4 x 4 picture keeps its 4 x 4 pixels and is painted at the box's size,
  // as the thumbnail drawn whole would be.
  EXPECT_EQ(Four->Image.size(), QSize(4, 4));
  EXPECT_EQ(Four->Shown, QSize(150, 150));
  QImage Whole;
  std::string Failure;
  ASSERT_TRUE(BuildThumbnail(W.Pictures, 4, Settings, Whole, Failure)) << Failure;
  EXPECT_EQ(Four->Painted(), Whole);
  EXPECT_EQ(Cache.Bytes(), 2u * 4 * 4 * 4);
  Cache.End();
}

TEST_F(ThumbnailCacheTest, MemoryStaysWithinItsCapDroppingThoseLongestUnused) {
  OpenMovie(300, 200);  // thumbnails of 150 x 150: 90 000 bytes each
  constexpr size_t Cap = 20 * 150 * 150 * 4;
  TThumbnailCache Cache(Cap, 2);
  Cache.Begin(W.Pictures, Settings);
  size_t Highest = 0;
  // Scrolling through the movie a screen of 12 at a time, the next three
  // screens wanted too.
  for (int32_t First = 0; First < 300; First += 12) {
    std::vector<int32_t> Wanted = Range(First, std::min(First + 48, 300));
    Cache.Want(Wanted, std::min<size_t>(12, Wanted.size()));
    ASSERT_TRUE(WaitFor([&] {
      Highest = std::max(Highest, Cache.Bytes());
      for (int32_t N = First; N < std::min(First + 12, 300); ++N)
        if (!Cache.Find(N)) return false;
      return true;
    }));
    Highest = std::max(Highest, Cache.Bytes());
    EXPECT_LE(Cache.Bytes(), Cap);
  }
  EXPECT_LE(Highest, Cap);
  EXPECT_LE(Cache.Count(), Cap / (150 * 150 * 4));
  // The first screen was dropped long ago, and is drawn again when wanted.
  EXPECT_FALSE(Cache.Find(0));
  Cache.Want(Range(0, 12), 12);
  ASSERT_TRUE(WaitFor([&] { return Cache.Find(0).has_value(); }));
  Cache.End();
}

TEST_F(ThumbnailCacheTest, ThumbnailsOfAMovieNoLongerOpenAreDropped) {
  OpenMovie(40, 600);  // large enough that some are in hand when the next comes
  TThumbnailCache Cache(TThumbnailCache::DefaultCap, 2);
  std::set<int32_t> Told;
  bool OtherMovie = false;
  QObject::connect(&Cache, &TThumbnailCache::Built, [&](int32_t N) {
    if (OtherMovie) {
      // The first movie's thumbnails are all of pictures 3 and up, which the
      // new one lacks; and its pictures are 600 x 600, the new one's 8 x 8.
      EXPECT_LT(N, 3) << "thumbnail " << N << " of the movie before";
      const std::optional<TThumbnail> Found = Cache.Find(N);
      EXPECT_TRUE(Found && Found->Image.size() == QSize(8, 8))
          << "thumbnail " << N << " told is not of the new movie";
    }
    Told.insert(N);
  });
  Cache.Begin(W.Pictures, Settings);
  // Pictures 0 to 2 not wanted: those in hand at End, the most wanted next,
  // are numbers the new movie does not have, so one kept would show as a
  // thumbnail too many, or be told.
  Cache.Want(Range(3, 40), 37);
  ASSERT_TRUE(WaitFor([&] { return !Told.empty(); }));
  // A new movie: the old one's thumbnails in hand are finished, then forgotten.
  Cache.End();
  OtherMovie = true;
  Told.clear();
  OpenMovie(3, 8, "other.swf");
  Cache.Begin(W.Pictures, Settings);
  QCoreApplication::processEvents();  // anything of the old movie still on its way
  Cache.Want(Range(0, 3), 3);
  // Idle also waits for any thumbnail still in a thread's hands.
  ASSERT_TRUE(WaitFor([&] { return Cache.Idle() && Told.size() == 3; }));
  QCoreApplication::processEvents();  // what was told on the way
  EXPECT_EQ(Cache.Count(), 3u);
  for (int32_t N = 3; N < 40; ++N) EXPECT_FALSE(Cache.Find(N)) << N;
  for (int32_t N = 0; N < 3; ++N) {
    const std::optional<TThumbnail> Found = Cache.Find(N);
    ASSERT_TRUE(Found) << N;
    EXPECT_EQ(Found->Image.size(), QSize(8, 8));
  }
  Cache.End();
}

TEST_F(ThumbnailCacheTest, ACacheThatGoesWhileItWorksEndsCleanly) {
  OpenMovie(60, 800);
  for (int Round = 0; Round < 3; ++Round) {
    auto Cache = std::make_unique<TThumbnailCache>(TThumbnailCache::DefaultCap, 2);
    Cache->Begin(W.Pictures, Settings);
    Cache->Want(Range(0, 60), 12);
    if (Round > 0) {
      ASSERT_TRUE(WaitFor([&] { return Cache->Count() >= size_t(Round); }));
    }
    Cache.reset();  // with thumbnails in hand and many more wanted
    QCoreApplication::processEvents();
  }
}

}  // namespace
