// JPEG decoding through libjpeg into 24-bit RGB rows. Decoder failures come
// back through a setjmp/longjmp error manager and leave as a Boolean with the
// decoder's message. A decoder that runs out of data stops there: the rows
// really decoded are kept and nothing is made up for the rest, so the work
// follows the bytes a picture holds, not the size its header declares.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h relies on size_t and FILE being declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <vector>

#include "extract/JPEGDecode.h"
#include "swf/D_Storages.h"
#include "swf/F_Macromedia.h"

namespace {

constexpr long MaxDecoderMemory = 1L << 30;

struct tJPEGErrorManager {
  jpeg_error_mgr Public;  // first: libjpeg sees a jpeg_error_mgr*
  jmp_buf Escape;
  char Message[JMSG_LENGTH_MAX];
  bool RanOut = false;  // the data ended, or a marker cut the scan short
};

[[noreturn]] void OnJPEGError(j_common_ptr Info) {
  auto* Manager = reinterpret_cast<tJPEGErrorManager*>(Info->err);
  if (Info->err->msg_code == JERR_OUT_OF_MEMORY) NoteMemoryShort();
  (*Info->err->format_message)(Info, Manager->Message);
  std::longjmp(Manager->Escape, 1);
}

// Warnings are silenced (a damaged but decodable picture is shown); the two
// that mean "from here on the decoder fills in" are noted.
void OnJPEGMessage(j_common_ptr Info, int Level) {
  if (Level >= 0) return;
  const int Code = Info->err->msg_code;
  if (Code == JWRN_JPEG_EOF || Code == JWRN_HIT_MARKER)
    reinterpret_cast<tJPEGErrorManager*>(Info->err)->RanOut = true;
}

void OnJPEGOutput(j_common_ptr) {}

// Everything the longjmp may skip over lives here, on the heap, owned by a
// pointer that does not change after setjmp.
struct tJPEGDecoder {
  jpeg_decompress_struct Info{};
  tJPEGErrorManager Errors{};
  TDecodedJPEG Out;
  std::vector<uint8_t> Row;  // one CMYK row
  std::string Failure;
};

// CMYK as Adobe writes it (inverted) or plain.
void CMYKToRGB(const uint8_t* In, uint8_t* Out, uint32_t Width, bool Inverted) {
  for (uint32_t x = 0; x < Width; ++x, In += 4, Out += 3) {
    unsigned C = In[0], M = In[1], Y = In[2], K = In[3];
    if (!Inverted) {
      C = 255 - C;
      M = 255 - M;
      Y = 255 - Y;
      K = 255 - K;
    }
    Out[0] = uint8_t(C * K / 255);
    Out[1] = uint8_t(M * K / 255);
    Out[2] = uint8_t(Y * K / 255);
  }
}

// The header, its size checked against the program's limit and against what
// the data could cover: every block of a complete picture costs at least one
// bit, so a multi-scan picture (whose scans are all read before any row comes
// out) with fewer bits than blocks cannot be whole and is not attempted.
bool StartDecoder(tJPEGDecoder& Decoder, const uint8_t* Data, size_t Size) {
  jpeg_decompress_struct& Info = Decoder.Info;
  jpeg_create_decompress(&Info);
  Info.mem->max_memory_to_use = MaxDecoderMemory;
  jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&Info, TRUE);
  const uint64_t Pixels = uint64_t(Info.image_width) * Info.image_height;
  if (Pixels > MaxBitmapPixels) {
    Decoder.Failure = "The JPEG picture is implausibly large (" + std::to_string(Info.image_width) +
                      " x " + std::to_string(Info.image_height) + ")";
    return false;
  }
  if (jpeg_has_multiple_scans(&Info)) {
    uint64_t Blocks = 0;
    for (int c = 0; c < Info.num_components; ++c)
      Blocks += uint64_t(Info.comp_info[c].width_in_blocks) * Info.comp_info[c].height_in_blocks;
    if (uint64_t(Size) * 8 < Blocks) {
      Decoder.Failure = "The JPEG data is too short for a picture of " +
                        std::to_string(Info.image_width) + " x " +
                        std::to_string(Info.image_height);
      return false;
    }
  }
  return true;
}

bool Decode(tJPEGDecoder& Decoder, const uint8_t* Data, size_t Size, int32_t MinSide) {
  jpeg_decompress_struct& Info = Decoder.Info;
  Info.err = jpeg_std_error(&Decoder.Errors.Public);
  Decoder.Errors.Public.error_exit = OnJPEGError;
  Decoder.Errors.Public.emit_message = OnJPEGMessage;
  Decoder.Errors.Public.output_message = OnJPEGOutput;
  if (setjmp(Decoder.Errors.Escape)) {
    Decoder.Failure = Decoder.Errors.Message;
    jpeg_destroy_decompress(&Info);
    return false;
  }
  if (!StartDecoder(Decoder, Data, Size)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  TDecodedJPEG& Out = Decoder.Out;
  Out.Width = int32_t(Info.image_width);
  Out.Height = int32_t(Info.image_height);
  // The smallest DCT scale (n/8) whose longer side still reaches MinSide.
  const uint32_t Longer = std::max(Info.image_width, Info.image_height);
  unsigned Eighths = 8;
  if (MinSide > 0) {
    for (Eighths = 1; Eighths < 8; ++Eighths)
      if ((uint64_t(Longer) * Eighths + 7) / 8 >= uint64_t(MinSide)) break;
  }
  Info.scale_num = Eighths;
  Info.scale_denom = 8;
  const bool CMYK = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
  Info.out_color_space = CMYK ? JCS_CMYK : JCS_RGB;  // grayscale becomes RGB too
  jpeg_start_decompress(&Info);
  // A multi-scan picture has read all its data by now; whatever it lacked is
  // spread over the whole picture rather than cut off at a row.
  Decoder.Errors.RanOut = false;

  if (!Out.Image.Create(int32_t(Info.output_width), int32_t(Info.output_height), ifRGB24)) {
    Decoder.Failure = "Not enough memory for a picture of " + std::to_string(Info.output_width) +
                      " x " + std::to_string(Info.output_height);
    jpeg_destroy_decompress(&Info);
    return false;
  }
  if (CMYK) Decoder.Row.resize(size_t(Info.output_width) * 4);
  int32_t Real = 0;
  while (Info.output_scanline < Info.output_height) {
    uint8_t* Line = Out.Image.MutableRow(int32_t(Info.output_scanline));
    JSAMPROW Rows[1] = {CMYK ? Decoder.Row.data() : Line};
    if (jpeg_read_scanlines(&Info, Rows, 1) != 1) break;
    // The row that needed the missing data is partly made up: it goes too.
    if (Decoder.Errors.RanOut) break;
    if (CMYK) CMYKToRGB(Decoder.Row.data(), Line, Info.output_width, Info.saw_Adobe_marker);
    ++Real;
  }
  Out.RealRows = Real;
  // No finish: it would read (or make up) the rest of the data.
  jpeg_destroy_decompress(&Info);
  if (Real == 0) {
    Decoder.Failure = "The JPEG data ends before its first row";
    return false;
  }
  return true;
}

}  // namespace

bool ReadJPEGSize(const uint8_t* Data, size_t Size, int32_t& Width, int32_t& Height,
                  std::string& Failure) {
  Width = Height = 0;
  if (Data == nullptr || Size == 0) {
    Failure = "The JPEG data is empty";
    return false;
  }
  auto Decoder = std::make_unique<tJPEGDecoder>();
  jpeg_decompress_struct& Info = Decoder->Info;
  Info.err = jpeg_std_error(&Decoder->Errors.Public);
  Decoder->Errors.Public.error_exit = OnJPEGError;
  Decoder->Errors.Public.emit_message = OnJPEGMessage;
  Decoder->Errors.Public.output_message = OnJPEGOutput;
  if (setjmp(Decoder->Errors.Escape)) {
    Failure = Decoder->Errors.Message;
    jpeg_destroy_decompress(&Info);
    return false;
  }
  const bool Ok = StartDecoder(*Decoder, Data, Size);
  if (Ok) {
    Width = int32_t(Info.image_width);
    Height = int32_t(Info.image_height);
  } else {
    Failure = Decoder->Failure;
  }
  jpeg_destroy_decompress(&Info);
  return Ok;
}

bool DecodeJPEGImage(const uint8_t* Data, size_t Size, int32_t MinSide, TDecodedJPEG& Out,
                     std::string& Failure) {
  Out = TDecodedJPEG();
  if (Data == nullptr || Size == 0) {
    Failure = "The JPEG data is empty";
    return false;
  }
  auto Decoder = std::make_unique<tJPEGDecoder>();
  if (!Decode(*Decoder, Data, Size, MinSide)) {
    Failure = Decoder->Failure;
    return false;
  }
  Out = std::move(Decoder->Out);
  return true;
}
