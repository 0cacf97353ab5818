// The pictures of ImageSmile: JPEG decoded with libjpeg. The status pictures
// are read from the working folder first, so an operator may replace them; the
// copies built into the program stand in when a file is missing or broken, so
// a reaction never stops half-way for want of a picture.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "control/commands_view.h"

namespace tarvin {

// A null image when the bytes are not a JPEG picture libjpeg can decode.
QImage DecodeJpeg(const QByteArray& bytes);

// "ok.jpg", "no_con.jpeg"; empty for the start picture, which lives only in the program.
QString PictureFileName(LinkSign picture);

// WorkDir/<file name> when readable and decodable, else the built-in copy.
QImage LoadPicture(const QString& work_dir, LinkSign picture);

}  // namespace tarvin
