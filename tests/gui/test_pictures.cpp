// The status pictures: decoded with libjpeg, read from the working folder,
// and replaced by the built-in copies when a file is missing or broken.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "app/pictures.h"
#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

QByteArray JpegOf(const QColor& colour) {
  QImage image(16, 8, QImage::Format_RGB888);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 95);
  return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

TEST(Pictures, BuiltInPicturesDecodeAt120) {
  for (Picture p : {Picture::Smile, Picture::Ok, Picture::NoConnection}) {
    const QImage image = LoadPicture(QStringLiteral("/nonexistent-folder"), p);
    ASSERT_FALSE(image.isNull()) << static_cast<int>(p);
    EXPECT_EQ(image.size(), QSize(120, 120));
  }
  EXPECT_EQ(PictureFileName(Picture::Ok), "ok.jpg");
  EXPECT_EQ(PictureFileName(Picture::NoConnection), "no_con.jpeg");
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
  const QImage from_file = LoadPicture(dir, Picture::Ok);
  EXPECT_EQ(from_file.size(), QSize(16, 8));

  // Broken file: the built-in picture stands in.
  WriteFile(dir + "/no_con.jpeg", QByteArray("broken"));
  EXPECT_EQ(LoadPicture(dir, Picture::NoConnection).size(), QSize(120, 120));
}

TEST(Pictures, MissingPictureDoesNotCutTheReactionShort) {
  // No pictures in the working folder: the warning box still comes.
  WindowRig rig(OpenResult::NotOpened);
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_FALSE(rig.window->Controls().ImageSmile->pixmap().isNull());
  EXPECT_EQ(rig.window->Scope().WindowLength, 1000);
}

}  // namespace
}  // namespace tarvin::testing
