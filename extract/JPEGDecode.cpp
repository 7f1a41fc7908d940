// JPEG decoding through libjpeg into a 24-bit RGB image. Decoder failures come
// back through a setjmp/longjmp error manager and leave as EPictureError; the
// library's warnings are silenced (a damaged but decodable picture is shown).
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h relies on size_t and FILE being declared before it.
#include <jpeglib.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "extract/Scripts.h"

namespace {

// No picture of a movie comes near this; a header that claims more is damaged
// or hostile, and the decoder is not asked to allocate for it.
constexpr uint64_t MaxPicturePixels = uint64_t(1) << 26;  // 8192 x 8192
constexpr long MaxDecoderMemory = 1L << 30;

struct tJPEGErrorManager {
  jpeg_error_mgr Public;  // first: libjpeg sees a jpeg_error_mgr*
  jmp_buf Escape;
  char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJPEGError(j_common_ptr Info) {
  auto* Manager = reinterpret_cast<tJPEGErrorManager*>(Info->err);
  (*Info->err->format_message)(Info, Manager->Message);
  std::longjmp(Manager->Escape, 1);
}

void OnJPEGMessage(j_common_ptr, int) {}
void OnJPEGOutput(j_common_ptr) {}

// Everything the longjmp may skip over lives here, on the heap, owned by a
// pointer that does not change after setjmp.
struct tJPEGDecoder {
  jpeg_decompress_struct Info{};
  tJPEGErrorManager Errors{};
  QImage Image;
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

// Answers false with Decoder.Failure set; never lets libjpeg end the process.
bool Decode(tJPEGDecoder& Decoder, const uint8_t* Data, size_t Size) {
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
  jpeg_create_decompress(&Info);
  Info.mem->max_memory_to_use = MaxDecoderMemory;
  jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&Info, TRUE);

  uint64_t Pixels = uint64_t(Info.image_width) * Info.image_height;
  if (Pixels > MaxPicturePixels) {
    Decoder.Failure = "The JPEG picture is implausibly large (" + std::to_string(Info.image_width) +
                      " x " + std::to_string(Info.image_height) + ")";
    jpeg_destroy_decompress(&Info);
    return false;
  }
  bool CMYK = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
  Info.out_color_space = CMYK ? JCS_CMYK : JCS_RGB;  // grayscale becomes RGB too
  jpeg_start_decompress(&Info);

  Decoder.Image = QImage(int(Info.output_width), int(Info.output_height), QImage::Format_RGB888);
  if (Decoder.Image.isNull()) {
    Decoder.Failure = "Not enough memory for a picture of " + std::to_string(Info.output_width) +
                      " x " + std::to_string(Info.output_height);
    jpeg_destroy_decompress(&Info);
    return false;
  }
  if (CMYK) Decoder.Row.resize(size_t(Info.output_width) * 4);
  while (Info.output_scanline < Info.output_height) {
    uint8_t* Line = Decoder.Image.scanLine(int(Info.output_scanline));
    JSAMPROW Rows[1] = {CMYK ? Decoder.Row.data() : Line};
    if (jpeg_read_scanlines(&Info, Rows, 1) != 1) break;
    if (CMYK) CMYKToRGB(Decoder.Row.data(), Line, Info.output_width, Info.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&Info);
  jpeg_destroy_decompress(&Info);
  return true;
}

}  // namespace

QImage DecodeJPEG(const uint8_t* Data, size_t Size) {
  if (Data == nullptr || Size == 0) throw EPictureError("The JPEG data is empty");
  auto Decoder = std::make_unique<tJPEGDecoder>();
  if (!Decode(*Decoder, Data, Size)) throw EPictureError(Decoder->Failure);
  return std::move(Decoder->Image);
}

QImage DecodeJPEGFile(const std::string& FileName) {
  std::ifstream File(FileName, std::ios::binary);
  if (!File) throw EPictureError("Cannot open the file " + FileName);
  std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(File)),
                             std::istreambuf_iterator<char>());
  if (File.bad()) throw EPictureError("Cannot read the file " + FileName);
  return DecodeJPEG(Bytes.data(), Bytes.size());
}
