// quillory-hostile: times what small hostile movies cost. Each movie is built
// here, then opened, its thumbnails built and all its pictures saved (what the
// window does, without painting) in a child process of its own, and
// extracted by quillory-extract. The figures are wall-clock seconds and the
// peak memory of each; the goal is at most 5 s for every movie.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <jpeglib.h>
// clang-format on

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "extract/Export.h"
#include "render/Render.h"

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;
using TClock = std::chrono::steady_clock;

namespace {

constexpr double Goal = 5.0;

void PutUI16(TBytes& Out, uint32_t Value) {
  Out.push_back(uint8_t(Value));
  Out.push_back(uint8_t(Value >> 8));
}

void PutUI32(TBytes& Out, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
}

void Append(TBytes& Out, const TBytes& More) {
  Out.insert(Out.end(), More.begin(), More.end());
}

void Record(TBytes& Out, uint16_t Code, const TBytes& Body) {
  PutUI16(Out, uint32_t(Code) << 6 | 63);  // always the long form
  PutUI32(Out, uint32_t(Body.size()));
  Append(Out, Body);
}

// An uncompressed movie around Records: header, a one-byte RECT, frame rate
// and count, the records.
TBytes PlainMovie(const TBytes& Records) {
  TBytes Movie = {'F', 'W', 'S', 10};
  PutUI32(Movie, uint32_t(8 + 5 + Records.size()));
  Movie.insert(Movie.end(), {0x00, 0x00, 0x18, 0x01, 0x00});
  Append(Movie, Records);
  return Movie;
}

// zlib of Count bytes that Fill produces chunk by chunk, never all at once.
TBytes DeflateStream(uint64_t Count, const std::function<void(uint8_t*, size_t)>& Fill) {
  z_stream Zip{};
  deflateInit(&Zip, Z_BEST_COMPRESSION);
  std::vector<uint8_t> Chunk(1 << 20), Out(1 << 20);
  TBytes Result;
  uint64_t Done = 0;
  int Flush = Z_NO_FLUSH;
  do {
    const size_t Take = size_t(std::min<uint64_t>(Chunk.size(), Count - Done));
    Fill(Chunk.data(), Take);
    Done += Take;
    Flush = Done == Count ? Z_FINISH : Z_NO_FLUSH;
    Zip.next_in = Chunk.data();
    Zip.avail_in = uInt(Take);
    do {
      Zip.next_out = Out.data();
      Zip.avail_out = uInt(Out.size());
      deflate(&Zip, Flush);
      Result.insert(Result.end(), Out.data(), Out.data() + (Out.size() - Zip.avail_out));
    } while (Zip.avail_out == 0);
  } while (Flush != Z_FINISH);
  deflateEnd(&Zip);
  return Result;
}

// A grey 8 x 8 JPEG: the tables-only stream and the complete file.
void GreyJPEG(TBytes& Tables, TBytes& Whole) {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Errors{};
  Info.err = jpeg_std_error(&Errors);
  jpeg_create_compress(&Info);
  Info.image_width = 8;
  Info.image_height = 8;
  Info.input_components = 1;
  Info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&Info);
  unsigned char* Out = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Out, &Size);
  jpeg_write_tables(&Info);
  Tables.assign(Out, Out + Size);
  free(Out);
  Out = nullptr;
  Size = 0;
  jpeg_mem_dest(&Info, &Out, &Size);
  jpeg_start_compress(&Info, TRUE);
  uint8_t Row[8] = {90, 90, 90, 90, 90, 90, 90, 90};
  for (int y = 0; y < 8; ++y) {
    JSAMPROW Line = Row;
    jpeg_write_scanlines(&Info, &Line, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  Whole.assign(Out, Out + Size);
  free(Out);
}

// Frame and scan headers of a one-component picture of Side x Side, no scan data.
TBytes HugeImagePart(uint16_t Side) {
  return {0xFF,          0xD8,
          0xFF,          0xC0,
          0x00,          0x0B,
          0x08,          uint8_t(Side >> 8),
          uint8_t(Side), uint8_t(Side >> 8),
          uint8_t(Side), 0x01,
          0x01,          0x11,
          0x00,          0xFF,
          0xDA,          0x00,
          0x08,          0x01,
          0x01,          0x00,
          0x00,          0x3F,
          0x00};
}

// The same JPEG with its frame header declaring Side x Side.
TBytes Declaring(TBytes Jpeg, uint16_t Side) {
  for (size_t i = 2; i + 8 < Jpeg.size();) {
    if (Jpeg[i] != 0xFF) break;
    const size_t Length = size_t(Jpeg[i + 2]) << 8 | Jpeg[i + 3];
    if (Jpeg[i + 1] == 0xC0) {
      Jpeg[i + 5] = Jpeg[i + 7] = uint8_t(Side >> 8);
      Jpeg[i + 6] = Jpeg[i + 8] = uint8_t(Side);
      break;
    }
    i += 2 + Length;
  }
  return Jpeg;
}

struct TCase {
  std::string Name;
  std::string What;
  std::function<TBytes()> Build;  // movies are made only when timed
};

// DefineBits records of 27 bytes whose joined JPEG declares 8192 x 8192:
// Count of them, or as many as fill Target bytes.
TBytes DefineBitsMovie(size_t Count, size_t Target) {
  TBytes Tables, Grey;
  GreyJPEG(Tables, Grey);
  TBytes Records;
  Record(Records, 8, Tables);
  TBytes Body = {1, 0};
  Append(Body, HugeImagePart(8192));
  for (size_t N = 0; N < Count || PlainMovie(Records).size() + Body.size() + 6 <= Target; ++N)
    Record(Records, 6, Body);
  return PlainMovie(Records);
}

std::vector<TCase> HostileMovies() {
  std::vector<TCase> Cases;
  Cases.push_back({"definebits-10", "10 DefineBits declaring 8192 x 8192 in 27 bytes each",
                   [] { return DefineBitsMovie(10, 0); }});
  Cases.push_back({"definebits-64k", "the same records filling 64 KB",
                   [] { return DefineBitsMovie(0, 65536); }});

  // DefineBitsJPEG3 declaring 8192 x 8192 with a one-byte alpha block.
  Cases.push_back({"jpeg3-64k", "DefineBitsJPEG3 declaring 8192 x 8192, 1-byte alpha, 64 KB", [] {
                     TBytes Tables, Grey;
                     GreyJPEG(Tables, Grey);
                     TBytes Records, Body = {1, 0};
                     const TBytes Jpeg = Declaring(Grey, 8192);
                     PutUI32(Body, uint32_t(Jpeg.size()));
                     Append(Body, Jpeg);
                     Body.push_back(0x78);
                     while (PlainMovie(Records).size() + Body.size() + 6 <= 65536)
                       Record(Records, 35, Body);
                     return PlainMovie(Records);
                   }});

  // DefineBitsJPEG2 whose JPEG holds one row of blocks of an 8192 x 8192 picture.
  Cases.push_back(
      {"jpeg2-cut-64k", "DefineBitsJPEG2 declaring 8192 x 8192 over one block, 64 KB", [] {
         TBytes Tables, Grey;
         GreyJPEG(Tables, Grey);
         TBytes Records, Body = {1, 0};
         TBytes Jpeg = Declaring(Grey, 8192);
         Jpeg.resize(Jpeg.size() - 2);  // no end-of-image: the data runs out
         Append(Body, Jpeg);
         while (PlainMovie(Records).size() + Body.size() + 6 <= 65536) Record(Records, 21, Body);
         return PlainMovie(Records);
       }});

  // One DefineBitsLossless2 of 8192 x 8192 (within the program's limit).
  Cases.push_back({"lossless2-8192", "DefineBitsLossless2 of 8192 x 8192 (not a small movie)", [] {
                     TBytes Body = {1, 0, 5};
                     PutUI16(Body, 8192);
                     PutUI16(Body, 8192);
                     uint64_t Offset = 0;
                     Append(Body, DeflateStream(uint64_t(8192) * 8192 * 4, [&Offset](uint8_t* Out,
                                                                                     size_t Count) {
                              for (size_t i = 0; i < Count; ++i, ++Offset) {
                                static const uint8_t Pixel[4] = {0x80, 0xFF, 0x40, 0x00};
                                Out[i] = Pixel[Offset % 4];
                              }
                            }));
                     TBytes Records;
                     Record(Records, 36, Body);
                     return PlainMovie(Records);
                   }});

  // A zlib movie whose body is 1 GiB of zeros: half a billion End records.
  Cases.push_back({"zeros-1g", "1 MB zlib movie of 1 GiB of zeros", [] {
                     const uint32_t Length = uint32_t(1) << 30;
                     TBytes Movie = {'C', 'W', 'S', 10};
                     PutUI32(Movie, Length);
                     Append(Movie, DeflateStream(Length - 8, [](uint8_t* Out, size_t Count) {
                              std::memset(Out, 0, Count);
                            }));
                     return Movie;
                   }});
  return Cases;
}

double Seconds(TClock::time_point Start) {
  return std::chrono::duration<double>(TClock::now() - Start).count();
}

struct TFigures {
  double Open = 0, Thumbnails = 0, SaveAll = 0;
  int32_t Pictures = 0, Drawn = 0, Saved = 0;
};

// The window's work on one movie: open, every thumbnail, Save all.
TFigures WindowWork(const std::string& Movie, const std::string& Folder) {
  TFigures F;
  fs::create_directories(Folder + "IMAGES/");
  TViewWorkspace W;
  ResetWorkspace(W, 150);
  DropPictureStores(W);
  auto Start = TClock::now();
  OpenAndExtract(W, Movie, Folder + "IMAGES/", nullptr);
  F.Open = Seconds(Start);
  F.Pictures = W.Pictures.Count;
  Start = TClock::now();
  const TPictureSettings Settings;
  for (int32_t N = 0; N < W.Pictures.Count; ++N) {
    // The others are drawn as the mark of undecodable pictures.
    QImage Thumbnail;
    std::string Failure;
    if (BuildThumbnail(W.Pictures, N, Settings, Thumbnail, Failure) && !Thumbnail.isNull())
      ++F.Drawn;
  }
  F.Thumbnails = Seconds(Start);
  Start = TClock::now();
  F.Saved = W.Pictures.Count - SaveAllPictures(W, "Image", nullptr);
  F.SaveAll = Seconds(Start);
  return F;
}

}  // namespace

int main(int argc, char** argv) {
  std::string Only = argc > 1 ? argv[1] : "";
  const std::string Tool =
      (fs::absolute(fs::path(argv[0])).parent_path() / "quillory-extract").string();
  char Pattern[] = "/tmp/quillory-hostile-XXXXXX";
  if (!mkdtemp(Pattern)) return 1;
  const std::string Dir = std::string(Pattern) + "/";
  bool AllMet = true;
  std::printf("%-16s %9s %7s %7s %7s %7s %9s %7s %9s  %s\n", "movie", "bytes", "open", "thumbs",
              "saveall", "window", "peak MiB", "tool", "peak MiB", "pictures drawn/saved");
  for (TCase& Case : HostileMovies()) {
    if (!Only.empty() && Case.Name != Only) continue;
    const std::string Movie = Dir + Case.Name + ".swf";
    size_t Bytes = 0;
    {
      const TBytes Made = Case.Build();
      std::ofstream(Movie, std::ios::binary)
          .write(reinterpret_cast<const char*>(Made.data()), std::streamsize(Made.size()));
      Bytes = Made.size();
    }

    // The window's work, in a child so its peak memory is its own.
    int Pipe[2];
    if (pipe(Pipe) != 0) return 1;
    const pid_t Child = fork();
    if (Child == 0) {
      close(Pipe[0]);
      TFigures F = WindowWork(Movie, Dir + Case.Name + "-window/");
      if (write(Pipe[1], &F, sizeof F) != ssize_t(sizeof F)) _exit(1);
      _exit(0);
    }
    close(Pipe[1]);
    TFigures F;
    const bool Got = read(Pipe[0], &F, sizeof F) == ssize_t(sizeof F);
    close(Pipe[0]);
    int Status = 0;
    rusage Usage{};
    wait4(Child, &Status, 0, &Usage);
    const double WindowPeak = double(Usage.ru_maxrss) / 1024;

    const auto Start = TClock::now();
    const std::string Command =
        "'" + Tool + "' --out '" + Dir + Case.Name + "-tool' '" + Movie + "' >/dev/null 2>&1";
    const pid_t ToolRun = fork();
    if (ToolRun == 0) {
      fs::create_directories(Dir + Case.Name + "-tool");
      execl("/bin/sh", "sh", "-c", Command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    wait4(ToolRun, &Status, 0, &Usage);
    const double ToolTime = Seconds(Start);
    const double ToolPeak = double(Usage.ru_maxrss) / 1024;

    const double Window = F.Open + F.Thumbnails + F.SaveAll;
    const bool Met = Got && Window <= Goal && ToolTime <= Goal;
    AllMet = AllMet && Met;
    std::printf("%-16s %9zu %7.2f %7.2f %7.2f %7.2f %9.0f %7.2f %9.0f  %d %d/%d%s\n",
                Case.Name.c_str(), Bytes, F.Open, F.Thumbnails, F.SaveAll, Window, WindowPeak,
                ToolTime, ToolPeak, F.Pictures, F.Drawn, F.Saved, Met ? "" : "  (over 5 s)");
    std::printf("%16s %s\n", "", Case.What.c_str());
    std::fflush(stdout);
    fs::remove_all(Dir + Case.Name + "-window");
    fs::remove_all(Dir + Case.Name + "-tool");
    fs::remove(Movie);
  }
  fs::remove_all(Dir);
  std::printf("%s\n", AllMet ? "every movie within 5 s" : "some movie over 5 s");
  return AllMet ? 0 : 1;
}
