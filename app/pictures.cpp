#include "app/pictures.h"

#include <jpeglib.h>

#include <QFile>
#include <csetjmp>
#include <cstdio>

// The pictures are linked from a static library: their resource must be
// registered by name, or the linker leaves it out.
static void RegisterBuiltInPictures() { Q_INIT_RESOURCE(pictures); }

namespace tarvin {

namespace {

// libjpeg reports fatal errors through error_exit, which by default ends the process.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

void Silence(j_common_ptr, int) {}

// No C++ object with a destructor lives in this frame across setjmp.
bool DecodeInto(const unsigned char* data, unsigned long size, QImage* out) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnJpegError;
  errors.base.emit_message = Silence;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *out = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                QImage::Format_RGB888);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

QString BuiltIn(LinkSign picture) {
  switch (picture) {
    case LinkSign::Answering:
      return QStringLiteral(":/pictures/ok.jpg");
    case LinkSign::Silent:
      return QStringLiteral(":/pictures/no_con.jpeg");
    case LinkSign::Unknown:
      break;
  }
  return QStringLiteral(":/pictures/smile.jpg");
}

QImage DecodeFile(const QString& path) {
  static const bool registered = (RegisterBuiltInPictures(), true);
  (void)registered;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return DecodeJpeg(file.readAll());
}

}  // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  QImage image;
  if (!DecodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()),
                  static_cast<unsigned long>(bytes.size()), &image))
    return {};
  return image;
}

QString PictureFileName(LinkSign picture) {
  switch (picture) {
    case LinkSign::Answering:
      return QStringLiteral("ok.jpg");
    case LinkSign::Silent:
      return QStringLiteral("no_con.jpeg");
    case LinkSign::Unknown:
      break;
  }
  return {};
}

QImage LoadPicture(const QString& work_dir, LinkSign picture) {
  const QString name = PictureFileName(picture);
  if (!name.isEmpty()) {
    QImage image = DecodeFile(work_dir + QLatin1Char('/') + name);
    if (!image.isNull()) return image;
  }
  return DecodeFile(BuiltIn(picture));
}

}  // namespace tarvin
