// The status pictures: decoded with libjpeg, read from the working folder,
// and replaced by the built-in copies when a file is missing or broken.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/pictures.h"
#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

// A 16 x 8 picture of one colour, encoded with libjpeg as a camera or an
// editor would: the window decodes with libjpeg, and Qt's own JPEG plugin is
// not part of every build.
QByteArray JpegOf(const QColor& colour) {
  constexpr int kWidth = 16, kHeight = 8;
  std::vector<unsigned char> row;
  for (int x = 0; x < kWidth; ++x)
    row.insert(row.end(),
               {static_cast<unsigned char>(colour.red()), static_cast<unsigned char>(colour.green()),
                static_cast<unsigned char>(colour.blue())});
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* data = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &data, &size);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  JSAMPROW line = row.data();
  while (info.next_scanline < info.image_height) jpeg_write_scanlines(&info, &line, 1);
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
  std::free(data);
  return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

TEST(Pictures, BuiltInPicturesDecodeAt120) {
  for (LinkSign p : {LinkSign::Unknown, LinkSign::Answering, LinkSign::Silent}) {
    const QImage image = LoadPicture(QStringLiteral("/nonexistent-folder"), p);
    ASSERT_FALSE(image.isNull()) << static_cast<int>(p);
    EXPECT_EQ(image.size(), QSize(120, 120));
  }
  EXPECT_EQ(PictureFileName(LinkSign::Answering), "ok.jpg");
  EXPECT_EQ(PictureFileName(LinkSign::Silent), "no_con.jpeg");
}

TEST(Pictures, DecoderRefusesWhatIsNotJpegWithoutEndingTheProgram) {
  EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("not a picture at all")).isNull());
  QByteArray cut = JpegOf(Qt::red);
  cut.truncate(cut.size() / 3);
  // A truncated picture decodes partly or not at all, but returns.
  (void)DecodeJpeg(cut);
  const QImage red = DecodeJpeg(JpegOf(Qt::red));
  ASSERT_EQ(red.size(), QSize(16, 8));
  const QColor c = red.pixelColor(4, 4);
  EXPECT_GT(c.red(), 230);
  EXPECT_LT(c.green(), 30);
}

TEST(Pictures, WorkingFolderFirstThenBuiltIn) {
  TempFolder folder;
  const QString dir = QString::fromStdString(folder.Path().string());
  WriteFile(dir + "/ok.jpg", JpegOf(Qt::blue));
  const QImage from_file = LoadPicture(dir, LinkSign::Answering);
  EXPECT_EQ(from_file.size(), QSize(16, 8));

  // Broken file: the built-in picture stands in.
  WriteFile(dir + "/no_con.jpeg", QByteArray("broken"));
  EXPECT_EQ(LoadPicture(dir, LinkSign::Silent).size(), QSize(120, 120));
}

TEST(Pictures, MissingPictureDoesNotCutTheReactionShort) {
  // No pictures in the working folder: the warning box still comes.
  WindowRig rig(OpenResult::NotOpened);
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_FALSE(rig.window->Controls().ImageSmile->pixmap().isNull());
  EXPECT_EQ(rig.window->Scope().WindowLength(), 1000);
}

}  // namespace
}  // namespace tarvin::testing
